#include "sim/SimUsbasp.h"

#include "link/Link.h"

#include <algorithm>

namespace kelvo {

namespace {
constexpr std::uint32_t kTickUs = 320; // the firmware's timer period
constexpr std::uint8_t kPollRetries = 30;
constexpr std::uint32_t kPollTicks = 15; // 4.8 ms, one flash page write
} // namespace

SimUsbasp::SimUsbasp(Port& board, Clock& clock, std::uint16_t address)
    : board_(board), clock_(clock), address_(address) {
    Lines(kLineReset);
}

void SimUsbasp::Lines(std::uint8_t value) {
    lines_ = value;
    board_.PortWrite(address_, value);
}

std::uint8_t SimUsbasp::Transmit(std::uint8_t out) {
    // Mode 0: MOSI set up and MISO sampled while SCK is low, SCK pulsed.
    std::uint8_t in = 0;
    const auto held = static_cast<std::uint8_t>(lines_ & ~(kLineMosi | kLineSck));
    for (int bit = 7; bit >= 0; --bit) {
        const auto line = static_cast<std::uint8_t>(held | (((out >> bit) & 1) ? kLineMosi : 0));
        Lines(line);
        const std::uint8_t status = board_.PortRead(static_cast<std::uint16_t>(address_ + 1));
        in = static_cast<std::uint8_t>((in << 1) | ((status & kLineMiso) ? 1 : 0));
        Lines(line | kLineSck);
        Lines(line);
    }
    return in;
}

void SimUsbasp::UpdateExtended(std::uint32_t address) {
    // Sent before the first flash access after a connect, even for parts
    // without an extended address byte, which ignore it.
    const auto hi = static_cast<std::uint8_t>(address >> 17);
    if (hi == hiAddress_)
        return;
    hiAddress_ = hi;
    for (std::uint8_t b : {std::uint8_t{0x4D}, std::uint8_t{0x00}, hi, std::uint8_t{0x00}})
        Transmit(b);
}

std::uint8_t SimUsbasp::ReadFlash(std::uint32_t address) {
    UpdateExtended(address);
    Transmit(static_cast<std::uint8_t>(0x20 | ((address & 1) << 3)));
    Transmit(static_cast<std::uint8_t>(address >> 9));
    Transmit(static_cast<std::uint8_t>(address >> 1));
    return Transmit(0);
}

void SimUsbasp::WriteFlash(std::uint32_t address, std::uint8_t value) {
    UpdateExtended(address);
    Transmit(static_cast<std::uint8_t>(0x40 | ((address & 1) << 3)));
    Transmit(static_cast<std::uint8_t>(address >> 9));
    Transmit(static_cast<std::uint8_t>(address >> 1));
    Transmit(value);
}

std::uint32_t SimUsbasp::Ticks() {
    return static_cast<std::uint32_t>(clock_.NowMicroseconds() / kTickUs);
}

void SimUsbasp::ClockWait(std::uint32_t ticks) {
    // The clock sleeps in whole milliseconds: a little longer, never shorter.
    clock_.SleepMs((ticks * kTickUs + 999) / 1000);
}

void SimUsbasp::FlushPage(std::uint32_t address, std::uint8_t pollValue) {
    UpdateExtended(address);
    for (std::uint8_t b : {std::uint8_t{0x4C}, static_cast<std::uint8_t>(address >> 9),
                           static_cast<std::uint8_t>(address >> 1), std::uint8_t{0x00}})
        Transmit(b);
    // A byte that reads 0xFF when written cannot be polled for: wait instead.
    if (pollValue == 0xFF) {
        ClockWait(kPollTicks);
        return;
    }
    // The page reads 0xFF until it is written; given up after 30 periods.
    std::uint8_t retries = kPollRetries;
    std::uint32_t start = Ticks();
    while (retries != 0) {
        if (ReadFlash(address) != 0xFF)
            return;
        if (static_cast<std::uint8_t>(Ticks() - start) > kPollTicks) {
            --retries;
            start = Ticks();
        }
    }
}

int SimUsbasp::Control(bool in, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                       std::uint8_t* data, std::uint16_t length, UsbFailure& failure) {
    if (unplugAt_ && transfers_ >= *unplugAt_) {
        // Pulled out, it lets go of the lines and the board runs.
        if (lines_ != kLineReset)
            Lines(kLineReset);
        failure = UsbFailure::Gone;
        return -1;
    }
    ++transfers_;
    clock_.SleepMs(1);
    std::uint8_t reply[4] = {};
    int replyLength = 0;
    switch (request) {
    case kUsbaspConnect:
        // RESET and SCK low, a positive RESET pulse, RESET low again.
        hiAddress_ = 0xFF;
        Lines(0x00);
        Lines(kLineReset);
        Lines(0x00);
        break;
    case kUsbaspDisconnect:
        // The lines float; the board's pull-up takes RESET high.
        Lines(kLineReset);
        break;
    case kUsbaspTransmit:
        reply[0] = Transmit(static_cast<std::uint8_t>(value));
        reply[1] = Transmit(static_cast<std::uint8_t>(value >> 8));
        reply[2] = Transmit(static_cast<std::uint8_t>(index));
        reply[3] = Transmit(static_cast<std::uint8_t>(index >> 8));
        replyLength = 4;
        break;
    case kUsbaspSetIspSck:
        replyLength = 1; // 0: taken; the simulated board keeps up at any speed
        break;
    case kUsbaspReadFlash:
        progAddress_ = value;
        if (!in)
            return 0;
        for (std::uint16_t i = 0; i < length; ++i)
            data[i] = ReadFlash(progAddress_++);
        return length;
    case kUsbaspWriteFlash: {
        progAddress_ = value;
        pageSize_ = static_cast<std::uint16_t>((index & 0xFF) + ((index >> 8) & 0xF0) * 16);
        blockFlags_ = static_cast<std::uint8_t>((index >> 8) & 0x0F);
        if (blockFlags_ & kUsbaspBlockFirst)
            pageCounter_ = pageSize_;
        if (in)
            return 0;
        for (std::uint16_t i = 0; i < length; ++i, ++progAddress_) {
            WriteFlash(progAddress_, data[i]);
            if (pageSize_ != 0 && --pageCounter_ == 0) {
                FlushPage(progAddress_, data[i]);
                pageCounter_ = pageSize_;
            }
        }
        // The last block flushes a page it left part-filled.
        if (length != 0 && (blockFlags_ & kUsbaspBlockLast) && pageCounter_ != pageSize_)
            FlushPage(progAddress_ - 1, data[length - 1]);
        return length;
    }
    default:
        break;
    }
    if (!in)
        return 0;
    const int n = std::min<int>(replyLength, length);
    std::copy_n(reply, n, data);
    return n;
}

} // namespace kelvo
