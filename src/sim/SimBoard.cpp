#include "sim/SimBoard.h"

#include "link/Link.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kelvo {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

SimBoard::SimBoard(SimBoardState state) : state_(std::move(state)) {
    state_.data.resize(SimDataSize(state_.family), 0xFF);
    state_.code.resize(SimCodeSize(state_.family), 0xFF);
    // A zero cycle would stop virtual time and with it every self-timed write.
    cycleNs_ = state_.busCycleNs == 0 ? 1 : state_.busCycleNs;
    const SimFaults& f = state_.faults;
    dataPort_ = (f.noBoard || f.noPower) ? -1 : state_.address;
    statusPort_ = f.noBoard ? -1 : state_.address + kStatusRegister;
    // The 8051 port pin carrying MISO has a pull-up and reads 1 between
    // answers; the AVR echoes what it received.
    idleOut_ = state_.family == Family::Avr ? 0x00 : 0xFF;
    shiftOut_ = nextOut_ = idleOut_;
    pageBuffer_.fill(0xFF);

    std::uint64_t seed = f.bitErrorSeed;
    rng_ = SplitMix64(seed) | 1; // xorshift must not start at 0
    if (f.bitErrorRate >= 1.0)
        errorThreshold_ = std::numeric_limits<std::uint64_t>::max();
    else if (f.bitErrorRate > 0.0)
        errorThreshold_ = static_cast<std::uint64_t>(f.bitErrorRate * 18446744073709551616.0);
}

bool SimBoard::Selected() const {
    // The AVR is programmed while RESET is held low, the 8051 part while high.
    const bool resetHigh = (lines_ & kLineReset) != 0;
    return state_.family == Family::Avr ? !resetHigh : resetHigh;
}

void SimBoard::OnLines(std::uint8_t value) {
    const std::uint8_t old = lines_;
    lines_ = value;
    if ((old ^ value) & kLineReset) {
        // Entering or leaving reset starts the serial interface afresh.
        enabled_ = false;
        ResetFraming();
        if (!Selected())
            OnFirmwareStart();
    }
    if (!Selected())
        return;
    const bool wasHigh = (old & kLineSck) != 0;
    const bool isHigh = (value & kLineSck) != 0;
    if (!wasHigh && isHigh)
        OnRisingEdge((value & kLineMosi) != 0);
    else if (wasHigh && !isHigh)
        OnFallingEdge();
}

void SimBoard::OnFirmwareStart() {
    // The board's firmware treats a settings block of nothing but 0xFF as a
    // request for factory settings and writes its factory block back.
    const std::size_t n = SimSettingsBytes(state_.family);
    if (state_.faults.noPower || state_.factorySettings.size() != n)
        return;
    const auto first = state_.data.begin();
    if (std::all_of(first, first + static_cast<std::ptrdiff_t>(n),
                    [](std::uint8_t b) { return b == 0xFF; }))
        std::copy(state_.factorySettings.begin(), state_.factorySettings.end(), first);
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

std::uint8_t SimBoard::StatusRead() {
    const std::uint8_t others = state_.floatingStatus & static_cast<std::uint8_t>(~kLineMiso);
    if (state_.faults.noPower)
        return others;
    if (!Selected())
        return state_.floatingStatus;
    bool miso = (shiftOut_ & 0x80) != 0;
    if (errorThreshold_ != 0 && FlipBit())
        miso = !miso;
    return miso ? static_cast<std::uint8_t>(others | kLineMiso) : others;
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

bool SimBoard::BusyWith(Memory memory) const {
    return busy() && (busyMemory_ == memory || busyMemory_ == Memory::All);
}

void SimBoard::StartBusy(Memory memory, std::uint64_t durationNs) {
    busyMemory_ = memory;
    busyUntil_ = now_ + durationNs;
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
        } else if (op == 0xA0) {
            const std::size_t address = ((frame_[1] & 0x01u) << 8) | frame_[2];
            nextOut_ = BusyWith(Memory::Data) ? 0xFF : ReadData(address);
        } else if (op == 0x20 || op == 0x28) {
            const std::size_t word = ((frame_[1] & 0x0Fu) << 8) | frame_[2];
            nextOut_ = BusyWith(Memory::Code) ? 0xFF : state_.code[word * 2 + (op == 0x28)];
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
        if (!enabled_)
            OnEnable();
        return;
    }
    if (!enabled_)
        return;
    switch (op) {
    case 0xAC:
        if ((frame_[1] & 0xE0) == 0x80) {
            state_.code.assign(state_.code.size(), 0xFF);
            if (!state_.eesave)
                state_.data.assign(state_.data.size(), 0xFF);
            StartBusy(Memory::All, kAvrChipEraseNs);
        }
        break;
    case 0xC0:
        state_.data[((frame_[1] & 0x01u) << 8) | frame_[2]] = frame_[3];
        StartBusy(Memory::Data, kAvrEepromWriteNs);
        break;
    case 0x40:
    case 0x48:
        pageBuffer_[(frame_[2] & 0x1Fu) * 2 + (op == 0x48)] = frame_[3];
        break;
    case 0x4C: {
        // Flash cells only go from 1 to 0: a page write without a chip erase
        // before it gives the AND of old and new contents.
        const std::size_t start = ((((frame_[1] & 0x0Fu) << 8) | frame_[2]) & 0xFE0u) * 2;
        for (std::size_t i = 0; i < kAvrPageBytes; ++i)
            state_.code[start + i] &= pageBuffer_[i];
        pageBuffer_.fill(0xFF);
        StartBusy(Memory::Code, kAvrPageWriteNs);
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
            nextOut_ = BusyWith(Memory::Code) ? 0xFF : state_.code[address % k8051CodeSize];
        else if (op == 5)
            nextOut_ = BusyWith(Memory::Data) ? 0xFF : ReadData(address % k8051DataSize);
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
            state_.code.assign(state_.code.size(), 0xFF);
            StartBusy(Memory::Code, k8051ChipEraseNs);
        } else if (enabled_ && frame_[1] == 0xFF) {
            enabled_ = false; // closing: no more instructions until the next enable
        }
        return;
    }
    if (!enabled_)
        return;
    if (op == 2) {
        // Code cells only go from 1 to 0 without a chip erase.
        state_.code[address % k8051CodeSize] &= frame_[2];
        StartBusy(Memory::Code, k8051ByteWriteNs);
    } else if (op == 6) {
        state_.data[address % k8051DataSize] = frame_[2];
        StartBusy(Memory::Data, k8051ByteWriteNs);
    }
}

} // namespace kelvo
