#pragma once

#include "link/Clock.h"
#include "link/Port.h"
#include "sim/SimBoardState.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelvo {

// Self-timed write durations (datasheet figures).
inline constexpr std::uint64_t kAvrEepromWriteNs = 9'000'000;
inline constexpr std::uint64_t kAvrPageWriteNs = 4'500'000;
inline constexpr std::uint64_t kAvrChipEraseNs = 9'000'000;
inline constexpr std::uint64_t k8051ByteWriteNs = 2'500'000;
// The 8051 chip erase is followed by about 24 ms of waits and a reset cycle
// before the next instruction; 10 ms is well inside that.
inline constexpr std::uint64_t k8051ChipEraseNs = 10'000'000;

// Virtual time starts on a whole second, far from zero, so every run of the
// same accesses sees the same clock.
inline constexpr std::uint64_t kSimStartNs = 1'000'000'000ull * 1'000'000'000ull;

// A board on the programming cable, modelled at the pins: it watches the data
// register (MOSI D0, SCK D1, RESET D2), answers on status bit 5 (MISO), and
// runs the part's serial programming interface. It is also the clock of the
// run: every port access takes one bus cycle of virtual time.
class SimBoard final : public Port, public Clock {
public:
    explicit SimBoard(SimBoardState state);

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        now_ += cycleNs_;
        if (port == dataPort_ && value != lines_) [[unlikely]]
            OnLines(value);
    }
    std::uint8_t PortRead(std::uint16_t port) override {
        now_ += cycleNs_;
        return port == statusPort_ ? StatusRead() : state_.floatingStatus;
    }

    std::int64_t NowSeconds() override { return static_cast<std::int64_t>(now_ / 1'000'000'000); }
    void SleepMs(std::uint32_t milliseconds) override { now_ += milliseconds * 1'000'000ull; }

    // Memories and settings as they are now (for writing back).
    const SimBoardState& state() const { return state_; }
    std::uint64_t nowNs() const { return now_; }
    // True while a self-timed write or erase is still running.
    bool busy() const { return now_ < busyUntil_; }
    std::uint32_t enableCount() const { return enableCount_; }

private:
    enum class Memory { None, Data, Code, All };

    void OnLines(std::uint8_t value);
    void ResetFraming();
    // The part leaves reset and its firmware starts.
    void OnFirmwareStart();
    void OnRisingEdge(bool mosi);
    void OnFallingEdge();
    void OnByte(std::uint8_t value);
    void OnAvrByte(std::uint8_t value);
    void On8051Byte(std::uint8_t value);
    void OnEnable();
    std::uint8_t StatusRead();
    std::uint8_t ReadData(std::size_t address) const;
    bool BusyWith(Memory memory) const;
    void StartBusy(Memory memory, std::uint64_t durationNs);
    bool FlipBit();
    bool Selected() const;

    SimBoardState state_;
    std::uint64_t now_ = kSimStartNs;
    std::uint64_t cycleNs_;
    int dataPort_;   // -1 when nothing on the cable sees the data register
    int statusPort_; // -1 when nothing drives the status inputs
    std::uint8_t lines_ = 0x00;

    // Serial interface.
    bool enabled_ = false;
    std::uint32_t enableCount_ = 0;
    std::uint8_t shiftIn_ = 0;
    int bitCount_ = 0;
    bool byteDone_ = false;
    std::uint8_t shiftOut_;
    std::uint8_t nextOut_;
    std::uint8_t idleOut_;
    std::array<std::uint8_t, 4> frame_{};
    std::size_t frameIndex_ = 0;

    // Self-timed operations.
    std::uint64_t busyUntil_ = 0;
    Memory busyMemory_ = Memory::None;

    std::array<std::uint8_t, kAvrPageBytes> pageBuffer_;

    std::uint64_t rng_;
    std::uint64_t errorThreshold_ = 0; // flip when a draw is below this
};

} // namespace kelvo
