#pragma once

#include <cstdint>

namespace kelvo {

// Whole seconds of a clock that only moves forward (delay calibration,
// time-left estimate) and sleeping (the fixed pauses of some flows).
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowSeconds() = 0;
    virtual void SleepMs(std::uint32_t milliseconds) = 0;
};

// The machine's monotonic clock: setting the wall clock during a calibration
// or a firmware write must not bend the delays or the time left.
class SystemClock final : public Clock {
public:
    std::int64_t NowSeconds() override;
    void SleepMs(std::uint32_t milliseconds) override;
};

} // namespace kelvo
