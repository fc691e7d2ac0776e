#include "sim/SimBoard.h"

#include "link/Link.h"

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>

namespace kelvo {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A paced board checks the wall clock every 2 ms of real time.
constexpr double kPaceStepNs = 2'000'000.0;
// Virtual time this far behind the wall clock means the program was waiting.
constexpr auto kPaceSlack = std::chrono::milliseconds(100);

class SteadyWallClock final : public WallClock {
public:
    std::chrono::steady_clock::time_point Now() override {
        return std::chrono::steady_clock::now();
    }
    void SleepUntil(std::chrono::steady_clock::time_point when) override {
        std::this_thread::sleep_until(when);
    }
};

} // namespace

WallClock& SystemWallClock() {
    static SteadyWallClock clock;
    return clock;
}

SimBoard::SimBoard(SimBoardState state, WallClock& wall) : state_(std::move(state)), wall_(&wall) {
    state_.data.resize(SimDataSize(state_.family), 0xFF);
    state_.code.resize(SimCodeSize(state_.family), 0xFF);
    // A zero cycle would stop virtual time and with it every self-timed write.
    cycleNs_ = state_.busCycleNs == 0 ? 1 : state_.busCycleNs;
    const SimFaults& f = state_.faults;
    controlPort_ = state_.address + kControlRegister;
    statusPort_ = f.noBoard ? -1 : state_.address + kStatusRegister;
    // The 8051 port pin carrying MISO has a pull-up and reads 1 between
    // answers; the AVR echoes what it received.
    idleOut_ = state_.family == Family::Avr ? 0x00 : 0xFF;
    shiftOut_ = nextOut_ = idleOut_;
    pageBuffer_.fill(0xFF);
    // The data register starts at 0: an AVR part is held in reset, an 8051
    // part runs its firmware.
    resetEnteredNs_ = now_;
    if (Sees() && !Selected())
        firmwareStartNs_ = now_ + kFirmwareStartNs;
    paceWall_ = wall_->Now();
    paceVirtualNs_ = lastPaceNs_ = nextPaceNs_ = now_;

    std::uint64_t seed = f.bitErrorSeed;
    rng_ = SplitMix64(seed) | 1; // xorshift must not start at 0
    if (f.bitErrorRate >= 1.0)
        errorThreshold_ = std::numeric_limits<std::uint64_t>::max();
    else if (f.bitErrorRate > 0.0)
        errorThreshold_ = static_cast<std::uint64_t>(f.bitErrorRate * 18446744073709551616.0);
    ScheduleNextEvent();
}

void SimBoard::PortWriteRepeated(std::uint16_t port, std::uint8_t value, std::uint32_t count) {
    if (count == 0)
        return;
    if (port == state_.address || port == controlPort_) {
        PortWrite(port, value); // the repeats change no line
        --count;
    }
    Advance(count * cycleNs_);
}

void SimBoard::Settle() {
    settling_ = true;
    if (pending_.active)
        Advance(pending_.endNs > now_ ? pending_.endNs - now_ : 0);
    if (firmwareStartNs_ != 0)
        Advance(firmwareStartNs_ > now_ ? firmwareStartNs_ - now_ : 0);
    settling_ = false;
    // Pacing takes up from here, as after the program waited elsewhere.
    paceWall_ = wall_->Now();
    paceVirtualNs_ = lastPaceNs_ = nextPaceNs_ = now_;
    ScheduleNextEvent();
}

void SimBoard::RunEvents() {
    if (pending_.active && now_ >= pending_.endNs)
        FinishWrite();
    if (firmwareStartNs_ != 0 && now_ >= firmwareStartNs_)
        StartFirmware();
    if (state_.pace > 0.0 && !settling_ && now_ >= nextPaceNs_)
        Pace();
    ScheduleNextEvent();
}

void SimBoard::ScheduleNextEvent() {
    std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
    if (pending_.active)
        next = std::min(next, pending_.endNs);
    if (firmwareStartNs_ != 0)
        next = std::min(next, firmwareStartNs_);
    if (state_.pace > 0.0)
        next = std::min(next, nextPaceNs_);
    nextEventNs_ = next;
}

void SimBoard::Pace() {
    // Sleep until the wall clock, scaled by the pace, has caught up with
    // virtual time; never let virtual time run ahead of it.
    using namespace std::chrono;
    const auto wallNow = wall_->Now();
    const auto dueNow = [&] {
        return paceWall_ + duration_cast<steady_clock::duration>(duration<double, std::nano>(
                               static_cast<double>(now_ - paceVirtualNs_) / state_.pace));
    };
    auto due = dueNow();
    if (wallNow - due > kPaceSlack) {
        // The program was waiting (a message box, a file dialog): take up
        // from the last check instead of racing through the time missed.
        paceWall_ = wallNow;
        paceVirtualNs_ = lastPaceNs_;
        due = dueNow();
    }
    if (due > wallNow)
        wall_->SleepUntil(due);
    lastPaceNs_ = now_;
    nextPaceNs_ =
        now_ + std::max<std::uint64_t>(1, static_cast<std::uint64_t>(kPaceStepNs * state_.pace));
}

bool SimBoard::Selected() const {
    // The AVR is programmed while RESET is held low, the 8051 part while high.
    const bool resetHigh = (lines_ & kLineReset) != 0;
    return state_.family == Family::Avr ? !resetHigh : resetHigh;
}

void SimBoard::OnDataRegister(std::uint8_t value) {
    const std::uint8_t old = lines_;
    lines_ = value;
    if (old == value || !Sees())
        return;
    if ((old ^ value) & kLineReset)
        OnResetChange();
    if (!Selected())
        return;
    const bool wasHigh = (old & kLineSck) != 0;
    const bool isHigh = (value & kLineSck) != 0;
    if (!wasHigh && isHigh)
        OnRisingEdge((value & kLineMosi) != 0);
    else if (wasHigh && !isHigh)
        OnFallingEdge();
}

void SimBoard::OnResetChange() {
    // Entering or leaving reset starts the serial interface afresh.
    enabled_ = false;
    ResetFraming();
    if (Selected()) {
        resetEnteredNs_ = now_;
        firmwareStartNs_ = 0; // back in reset before the firmware was up
    } else {
        // Leaving programming mode stops a self-timed write or erase where
        // it stands.
        if (pending_.active)
            CutWriteShort();
        firmwareStartNs_ = now_ + kFirmwareStartNs;
    }
    ScheduleNextEvent();
}

void SimBoard::StartFirmware() {
    firmwareStartNs_ = 0;
    // An erased or half-written chip does not run.
    const auto first = state_.code.begin();
    const auto vectorEnd = first + static_cast<std::ptrdiff_t>(SimResetVectorBytes(state_.family));
    if (state_.codeCutShort ||
        std::all_of(first, vectorEnd, [](std::uint8_t b) { return b == 0xFF; }))
        return;
    // The board's firmware treats a settings block of nothing but 0xFF as a
    // request for factory settings and writes its factory block back.
    const std::size_t n = SimSettingsBytes(state_.family);
    if (state_.factorySettings.size() != n)
        return;
    const auto data = state_.data.begin();
    if (std::all_of(data, data + static_cast<std::ptrdiff_t>(n),
                    [](std::uint8_t b) { return b == 0xFF; }))
        std::copy(state_.factorySettings.begin(), state_.factorySettings.end(), data);
}

void SimBoard::ResetFraming() {
    shiftIn_ = 0;
    bitCount_ = 0;
    byteDone_ = false;
    shiftOut_ = nextOut_ = idleOut_;
    frameIndex_ = 0;
}

bool SimBoard::FlipBit() {
    rng_ ^= rng_ >> 12;
    rng_ ^= rng_ << 25;
    rng_ ^= rng_ >> 27;
    return rng_ * 0x2545F4914F6CDD1Dull < errorThreshold_;
}

void SimBoard::OnRisingEdge(bool mosi) {
    if (bitCount_ == 0 && frameIndex_ == 0)
        frameStartNs_ = now_;
    if (errorThreshold_ != 0 && FlipBit())
        mosi = !mosi;
    shiftIn_ = static_cast<std::uint8_t>((shiftIn_ << 1) | (mosi ? 1 : 0));
    if (++bitCount_ == 8) {
        bitCount_ = 0;
        byteDone_ = true;
        OnByte(shiftIn_);
    }
}

void SimBoard::OnFallingEdge() {
    // The output changes on the falling edge: the next byte's first bit once
    // a byte is complete, otherwise the next bit of the current one.
    if (byteDone_) {
        shiftOut_ = nextOut_;
        byteDone_ = false;
    } else {
        shiftOut_ = static_cast<std::uint8_t>(shiftOut_ << 1);
    }
}

std::uint8_t SimBoard::StatusLines() const {
    const std::uint8_t others = state_.floatingStatus & static_cast<std::uint8_t>(~kLineMiso);
    if (state_.faults.noBoard)
        return state_.floatingStatus;
    if (state_.faults.noPower)
        return others;
    if (!Selected())
        return state_.floatingStatus;
    return (shiftOut_ & 0x80) ? static_cast<std::uint8_t>(others | kLineMiso) : others;
}

std::uint8_t SimBoard::StatusRead() {
    std::uint8_t status = StatusLines();
    if (errorThreshold_ != 0 && Sees() && Selected() && FlipBit())
        status ^= kLineMiso;
    return status;
}

bool SimBoard::PinHigh(int pin) const {
    switch (pin) {
    case 1:
        return (control_ & 0x01) == 0; // nStrobe
    case 14:
        return (control_ & 0x02) == 0; // nAutoFeed
    case 16:
        return (control_ & 0x04) != 0; // nInit
    case 17:
        return (control_ & 0x08) == 0; // nSelectIn
    case 10:
        return (StatusLines() & 0x40) != 0; // nAck
    case 11:
        return (StatusLines() & 0x80) == 0; // Busy
    case 12:
        return (StatusLines() & 0x20) != 0; // paper end
    case 13:
        return (StatusLines() & 0x10) != 0; // select
    case 15:
        return (StatusLines() & 0x08) != 0; // nError
    default:
        // Pins 2 to 9 are the data register; 18 to 25 are ground.
        return pin >= 2 && pin <= 9 && ((lines_ >> (pin - 2)) & 1) != 0;
    }
}

void SimBoard::OnByte(std::uint8_t value) {
    if (state_.family == Family::Avr)
        OnAvrByte(value);
    else
        On8051Byte(value);
}

std::uint8_t SimBoard::ReadData(std::size_t address) const {
    std::uint8_t value = state_.data[address];
    const SimFaults& f = state_.faults;
    if (f.stuckAddress >= 0 && static_cast<std::size_t>(f.stuckAddress) == address) {
        const auto mask = static_cast<std::uint8_t>(1u << (f.stuckBit & 7));
        value = f.stuckLevel ? static_cast<std::uint8_t>(value | mask)
                             : static_cast<std::uint8_t>(value & ~mask);
    }
    return value;
}

std::uint8_t SimBoard::ReadWhileBusy(Memory memory, std::uint8_t value) const {
    if (!busy())
        return value;
    if (state_.family == Family::Avr) {
        // A location being programmed reads 0xFF; we answer so for the whole
        // memory, and for every memory during a chip erase.
        const bool hit = pending_.memory == memory || pending_.memory == Memory::All;
        return hit ? 0xFF : value;
    }
    // DATA polling: during a byte write a read gives the complement of the
    // written byte's top bit. What a chip erase answers is not documented;
    // 0x00 is never what an erased cell holds.
    return pending_.erase ? 0x00 : static_cast<std::uint8_t>(pending_.written ^ 0x80);
}

std::uint8_t& SimBoard::CellRef(const Cell& cell) {
    return cell.code ? state_.code[cell.address] : state_.data[cell.address];
}

void SimBoard::StartWrite(Memory memory, std::uint64_t durationNs, std::vector<Cell> cells,
                          std::uint8_t written) {
    pending_.active = true;
    pending_.memory = memory;
    pending_.erase = false;
    pending_.written = written;
    pending_.startNs = now_;
    pending_.endNs = now_ + durationNs;
    pending_.cells = std::move(cells);
    ScheduleNextEvent();
}

void SimBoard::StartErase(std::uint64_t durationNs, bool data) {
    std::vector<Cell> cells;
    cells.reserve(state_.code.size() + (data ? state_.data.size() : 0));
    for (std::size_t a = 0; a < state_.code.size(); ++a)
        cells.push_back({true, static_cast<std::uint32_t>(a), 0xFF});
    if (data)
        for (std::size_t a = 0; a < state_.data.size(); ++a)
            cells.push_back({false, static_cast<std::uint32_t>(a), 0xFF});
    StartWrite(Memory::All, durationNs, std::move(cells), 0xFF);
    pending_.erase = true;
}

void SimBoard::FinishWrite() {
    for (const Cell& c : pending_.cells)
        CellRef(c) = c.value;
    if (pending_.erase)
        state_.lockBits = 0xFF;
    if (pending_.memory != Memory::Data)
        state_.codeCutShort = false;
    pending_.active = false;
}

void SimBoard::CutWriteShort() {
    // Cells move towards their new value over the whole write time. Cut off
    // part-way, each bit still to change has changed with the share of the
    // time that ran; which bits is fixed by address and bit, so runs repeat.
    const double done = static_cast<double>(now_ - pending_.startNs) /
                        static_cast<double>(pending_.endNs - pending_.startNs);
    const auto threshold = static_cast<std::uint64_t>(done * 18446744073709551616.0);
    for (const Cell& c : pending_.cells) {
        std::uint8_t& cell = CellRef(c);
        const std::uint8_t change = cell ^ c.value;
        for (int bit = 0; bit < 8; ++bit) {
            std::uint64_t key = (std::uint64_t{c.address} << 4) | (bit << 1) | (c.code ? 1 : 0);
            if (((change >> bit) & 1) && SplitMix64(key) < threshold)
                cell = static_cast<std::uint8_t>(cell ^ (1u << bit));
        }
    }
    if (pending_.memory != Memory::Data)
        state_.codeCutShort = true;
    pending_.active = false;
}

void SimBoard::OnEnable() {
    ++enableCount_;
    if (enableCount_ >= state_.faults.answerFromEnable)
        enabled_ = true;
}

void SimBoard::OnAvrByte(std::uint8_t value) {
    frame_[frameIndex_++] = value;
    nextOut_ = value; // each byte is echoed while the next one is clocked
    const std::uint8_t op = frame_[0];

    if (frameIndex_ == 3) {
        // A read answers in the fourth byte of its instruction.
        if (!enabled_)
            return;
        if (op == 0x30) {
            const unsigned index = frame_[2] & 0x03;
            nextOut_ = index < 3 ? state_.signature[index] : 0xFF;
        } else if (op == 0x58 && frame_[1] == 0x00) {
            nextOut_ = static_cast<std::uint8_t>(0xC0 | (state_.lockBits & 0x3F));
        } else if (op == 0xA0) {
            const std::size_t address = ((frame_[1] & 0x01u) << 8) | frame_[2];
            nextOut_ = ReadWhileBusy(Memory::Data, ReadData(address));
        } else if (op == 0x20 || op == 0x28) {
            const std::size_t word = ((frame_[1] & 0x0Fu) << 8) | frame_[2];
            nextOut_ =
                ReadWhileBusy(Memory::Code, VerifyLocked() ? std::uint8_t{0xFF}
                                                           : state_.code[word * 2 + (op == 0x28)]);
        }
        return;
    }
    if (frameIndex_ < 4)
        return;
    frameIndex_ = 0;

    // An instruction that arrives while a write or erase runs is lost.
    if (busy())
        return;
    if (op == 0xAC && frame_[1] == 0x53) {
        // Sent less than 20 ms after the RESET pulse, it finds the part not
        // yet listening.
        if (!enabled_ && frameStartNs_ >= resetEnteredNs_ + kAvrEnableAfterResetNs)
            OnEnable();
        return;
    }
    if (!enabled_)
        return;
    // Locked against programming, the part takes no EEPROM or flash write.
    if (ProgrammingLocked() && (op == 0xC0 || op == 0x4C))
        return;
    switch (op) {
    case 0xAC:
        if ((frame_[1] & 0xE0) == 0x80)
            StartErase(kAvrChipEraseNs, !state_.eesave);
        break;
    case 0xC0: {
        const auto address = static_cast<std::uint32_t>(((frame_[1] & 0x01u) << 8) | frame_[2]);
        StartWrite(Memory::Data, kAvrEepromWriteNs, {{false, address, frame_[3]}}, frame_[3]);
        break;
    }
    case 0x40:
    case 0x48:
        pageBuffer_[(frame_[2] & 0x1Fu) * 2 + (op == 0x48)] = frame_[3];
        break;
    case 0x4C: {
        // Flash cells only go from 1 to 0: a page write without a chip erase
        // before it gives the AND of old and new contents.
        const std::size_t start = ((((frame_[1] & 0x0Fu) << 8) | frame_[2]) & 0xFE0u) * 2;
        std::vector<Cell> cells;
        for (std::size_t i = 0; i < kAvrPageBytes; ++i)
            cells.push_back({true, static_cast<std::uint32_t>(start + i),
                             static_cast<std::uint8_t>(state_.code[start + i] & pageBuffer_[i])});
        pageBuffer_.fill(0xFF);
        StartWrite(Memory::Code, kAvrPageWriteNs, std::move(cells), 0xFF);
        break;
    }
    default:
        break; // fuses, lock bits and the rest are not modelled
    }
}

void SimBoard::On8051Byte(std::uint8_t value) {
    frame_[frameIndex_++] = value;
    nextOut_ = idleOut_;
    // Address bits 12..8 ride in bits 7..3 of the first byte.
    const unsigned op = frame_[0] & 0x07u;
    const std::size_t address = (static_cast<std::size_t>(frame_[0] >> 3) << 8) | frame_[1];

    if (frameIndex_ == 2) {
        // A read answers in the third byte of its instruction.
        if (!enabled_)
            return;
        if (op == 1)
            nextOut_ =
                ReadWhileBusy(Memory::Code, VerifyLocked() ? std::uint8_t{0xFF}
                                                           : state_.code[address % k8051CodeSize]);
        else if (op == 5)
            nextOut_ = ReadWhileBusy(Memory::Data, ReadData(address % k8051DataSize));
        return;
    }
    if (frameIndex_ < 3)
        return;
    frameIndex_ = 0;

    if (busy())
        return;
    if (frame_[0] == 0xAC) {
        if (frame_[1] == 0x53) {
            if (!enabled_)
                OnEnable();
        } else if (enabled_ && frame_[1] == 0x04) {
            StartErase(k8051ChipEraseNs, true); // code and data memory
        } else if (enabled_ && frame_[1] == 0xFF) {
            enabled_ = false; // closing: no more instructions until the next enable
        }
        return;
    }
    if (!enabled_)
        return;
    if (op == 2 && !ProgrammingLocked()) {
        // Code cells only go from 1 to 0 without a chip erase.
        const auto a = static_cast<std::uint32_t>(address % k8051CodeSize);
        StartWrite(Memory::Code, k8051ByteWriteNs,
                   {{true, a, static_cast<std::uint8_t>(state_.code[a] & frame_[2])}}, frame_[2]);
    } else if (op == 6) {
        const auto a = static_cast<std::uint32_t>(address % k8051DataSize);
        StartWrite(Memory::Data, k8051ByteWriteNs, {{false, a, frame_[2]}}, frame_[2]);
    }
}

} // namespace kelvo
