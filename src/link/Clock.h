#pragma once

#include <cstdint>

namespace kelvo {

// A clock that only moves forward, read in whole seconds or in
// microseconds (delay calibration, time-left estimate, the waits of
// programmers that keep their own time), and sleeping (the fixed pauses of
// some flows). Both readings come from the same clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowSeconds() = 0;
    virtual std::int64_t NowMicroseconds() = 0;
    virtual void SleepMs(std::uint32_t milliseconds) = 0;
};

// The machine's monotonic clock: setting the wall clock during a calibration
// or a firmware write must not bend the delays or the time left.
class SystemClock final : public Clock {
public:
    std::int64_t NowSeconds() override;
    std::int64_t NowMicroseconds() override;
    void SleepMs(std::uint32_t milliseconds) override;
};

} // namespace kelvo
