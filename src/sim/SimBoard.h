#pragma once

#include "link/Clock.h"
#include "link/Port.h"
#include "sim/SimBoardState.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace kelvo {

// Self-timed operations (datasheet figures).
inline constexpr std::uint64_t kAvrEepromWriteNs = 9'000'000; // ATmega8 tWD_EEPROM
inline constexpr std::uint64_t kAvrPageWriteNs = 4'500'000;   // tWD_FLASH
inline constexpr std::uint64_t kAvrChipEraseNs = 9'000'000;   // tWD_ERASE
inline constexpr std::uint64_t k8051ByteWriteNs = 2'500'000;  // AT89S8252 byte write
inline constexpr std::uint64_t k8051ChipEraseNs = 16'000'000; // AT89S8252 chip erase
// ATmega8 serial programming: Programming Enable only 20 ms after RESET fell.
inline constexpr std::uint64_t kAvrEnableAfterResetNs = 20'000'000;
// The board's firmware is up this long after the part leaves reset.
inline constexpr std::uint64_t kFirmwareStartNs = 100'000'000;

// Virtual time starts on a whole second, far from zero, so every run of the
// same accesses sees the same clock.
inline constexpr std::uint64_t kSimStartNs = 1'000'000'000ull * 1'000'000'000ull;

// Real time, which a paced board keeps step with.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual std::chrono::steady_clock::time_point Now() = 0;
    virtual void SleepUntil(std::chrono::steady_clock::time_point when) = 0;
};

// The machine's monotonic clock.
WallClock& SystemWallClock();

// A board on the programming cable, modelled at the pins: it watches the data
// register (MOSI D0, SCK D1, RESET D2), answers on status bit 5 (MISO), and
// runs the part's serial programming interface with the datasheets' timing
// rules. It is also the clock of the run: every port access takes one bus
// cycle of virtual time.
class SimBoard final : public Port, public Clock {
public:
    explicit SimBoard(SimBoardState state, WallClock& wall = SystemWallClock());

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        Advance(cycleNs_);
        if (port == state_.address) [[unlikely]]
            OnDataRegister(value);
        else if (port == controlPort_) [[unlikely]]
            control_ = value;
    }
    void PortWriteRepeated(std::uint16_t port, std::uint8_t value, std::uint32_t count) override;
    std::uint8_t PortRead(std::uint16_t port) override {
        Advance(cycleNs_);
        return port == statusPort_ ? StatusRead() : state_.floatingStatus;
    }

    std::int64_t NowSeconds() override { return static_cast<std::int64_t>(now_ / 1'000'000'000); }
    std::int64_t NowMicroseconds() override { return static_cast<std::int64_t>(now_ / 1'000); }
    void SleepMs(std::uint32_t milliseconds) override { Advance(milliseconds * 1'000'000ull); }
    // Lets `ns` of virtual time pass with the lines as they are (a programmer
    // that keeps its own time, between the bytes it clocks).
    void Idle(std::uint64_t ns) { Advance(ns); }

    // Level of connector pin 1..25 of the board's port as a meter would see
    // it: control bits 0, 1 and 3 and status bit 7 pass through inverters.
    bool PinHigh(int pin) const;

    // Lets virtual time run on until nothing is pending: a write in progress
    // finishes and a part out of reset starts its firmware, as they would on
    // a powered board after the program ends. A paced board does not wait
    // for it: nobody waits for a board once the program is done with it.
    void Settle();

    // Memories and settings as they are now (for writing back).
    const SimBoardState& state() const { return state_; }
    std::uint64_t nowNs() const { return now_; }
    // True while a self-timed write or erase is still running.
    bool busy() const { return pending_.active && now_ < pending_.endNs; }
    std::uint32_t enableCount() const { return enableCount_; }

private:
    enum class Memory { Data, Code, All };

    // Lock mode 2 (LB1 programmed): no further programming. Mode 3 (LB1 and
    // LB2): no verification either. The same bits on both parts.
    bool ProgrammingLocked() const { return (state_.lockBits & 0x01) == 0; }
    bool VerifyLocked() const { return (state_.lockBits & 0x03) == 0; }

    // One self-timed write or erase: the cells it changes and their values.
    struct Cell {
        bool code;
        std::uint32_t address;
        std::uint8_t value;
    };
    struct Pending {
        bool active = false;
        Memory memory = Memory::Data;
        bool erase = false;
        std::uint8_t written = 0xFF; // the byte sent, for DATA polling
        std::uint64_t startNs = 0;
        std::uint64_t endNs = 0;
        std::vector<Cell> cells;
    };

    void Advance(std::uint64_t ns) {
        now_ += ns;
        if (now_ >= nextEventNs_) [[unlikely]]
            RunEvents();
    }
    void RunEvents();
    void ScheduleNextEvent();
    void Pace();

    void OnDataRegister(std::uint8_t value);
    void OnResetChange();
    void ResetFraming();
    void StartFirmware();
    void OnRisingEdge(bool mosi);
    void OnFallingEdge();
    void OnByte(std::uint8_t value);
    void OnAvrByte(std::uint8_t value);
    void On8051Byte(std::uint8_t value);
    void OnEnable();
    std::uint8_t StatusRead();
    std::uint8_t StatusLines() const;
    std::uint8_t ReadData(std::size_t address) const;
    std::uint8_t ReadWhileBusy(Memory memory, std::uint8_t value) const;
    std::uint8_t& CellRef(const Cell& cell);
    void StartWrite(Memory memory, std::uint64_t durationNs, std::vector<Cell> cells,
                    std::uint8_t written);
    void StartErase(std::uint64_t durationNs, bool data);
    void FinishWrite();
    void CutWriteShort();
    bool FlipBit();
    bool Sees() const { return !state_.faults.noBoard && !state_.faults.noPower; }
    bool Selected() const;

    SimBoardState state_;
    std::uint64_t now_ = kSimStartNs;
    std::uint64_t nextEventNs_ = 0;
    std::uint64_t cycleNs_;
    int controlPort_;
    int statusPort_;              // -1 when nothing drives the status inputs
    std::uint8_t lines_ = 0x00;   // data register
    std::uint8_t control_ = 0x00; // control register

    // Serial interface.
    bool enabled_ = false;
    std::uint32_t enableCount_ = 0;
    std::uint64_t resetEnteredNs_; // when the part last went into programming reset
    std::uint64_t frameStartNs_ = 0;
    std::uint8_t shiftIn_ = 0;
    int bitCount_ = 0;
    bool byteDone_ = false;
    std::uint8_t shiftOut_;
    std::uint8_t nextOut_;
    std::uint8_t idleOut_;
    std::array<std::uint8_t, 4> frame_{};
    std::size_t frameIndex_ = 0;

    Pending pending_;
    std::uint64_t firmwareStartNs_ = 0; // 0: not about to start
    std::array<std::uint8_t, kAvrPageBytes> pageBuffer_;

    // Pacing to the wall clock.
    WallClock* wall_; // a pointer, so a board can be assigned another
    std::chrono::steady_clock::time_point paceWall_;
    std::uint64_t paceVirtualNs_ = 0; // virtual time at paceWall_
    std::uint64_t lastPaceNs_ = 0;    // virtual time of the last look at the wall clock
    std::uint64_t nextPaceNs_ = 0;
    bool settling_ = false; // virtual time runs on without the wall clock

    std::uint64_t rng_;
    std::uint64_t errorThreshold_ = 0; // flip when a draw is below this
};

} // namespace kelvo
