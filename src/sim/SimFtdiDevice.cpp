#include "sim/SimFtdiDevice.h"

#include "link/Link.h"

#include <algorithm>

namespace kelvo {

namespace {

// libftdi's words for the failures the programmer can meet.
constexpr char kGone[] = "USB device unavailable";
constexpr char kWriteFailed[] = "usb bulk write failed";

// The fastest bit-bang clock: libftdi multiplies the rate by four and the
// R chip's baud generator stops at 3 MBd, the H chips' at 12 MBd.
int MaxByteRate(FtdiChip chip) {
    return (chip == FtdiChip::Ft232r ? 3'000'000 : 12'000'000) / 4;
}

} // namespace

int SimFtdiDevice::SetBitmode(std::uint8_t outputMask, bool syncBitbang) {
    if (unplugged_)
        return Refuse(kGone);
    outputMask_ = outputMask;
    bitbang_ = syncBitbang;
    return 0;
}

int SimFtdiDevice::SetBaudrate(int baudrate) {
    if (unplugged_)
        return Refuse(kGone);
    if (baudrate <= 0 || baudrate > MaxByteRate(chip_))
        return Refuse("Unsupported baudrate. Note: bitbang baudrates are automatically "
                      "multiplied by 4");
    byteNs_ = 1'000'000'000ull / static_cast<std::uint64_t>(baudrate);
    return 0;
}

std::uint8_t SimFtdiDevice::Sample() {
    // Every input floats high but the one the board's MISO drives.
    const std::uint16_t status =
        static_cast<std::uint16_t>(board_.state().address + kStatusRegister);
    const bool miso = (board_.PortRead(status) & kLineMiso) != 0;
    std::uint8_t inputs = 0xFF;
    if (!miso)
        inputs = static_cast<std::uint8_t>(inputs & ~(1u << wiring_.miso));
    return static_cast<std::uint8_t>((pins_ & outputMask_) | (inputs & ~outputMask_));
}

void SimFtdiDevice::Output(std::uint8_t value) {
    pins_ = value;
    const std::uint8_t levels = static_cast<std::uint8_t>((value & outputMask_) | ~outputMask_);
    const auto line = [&](int bit, std::uint8_t mask) {
        return ((levels >> bit) & 1) ? mask : std::uint8_t{0};
    };
    board_.PortWrite(board_.state().address,
                     static_cast<std::uint8_t>(line(wiring_.mosi, kLineMosi) |
                                               line(wiring_.sck, kLineSck) |
                                               line(wiring_.reset, kLineReset)));
}

int SimFtdiDevice::WriteData(const std::uint8_t* data, int size) {
    if (unplugged_)
        return Refuse(kGone);
    const std::uint64_t start = board_.nowNs();
    ++roundTrips_;
    bytesMoved_ += static_cast<std::uint64_t>(size);
    if (!bitbang_)
        return size; // the serial engine sends it on TXD; no pin changes
    const auto room = static_cast<std::size_t>(FtdiRoundTripBytes(chip_));
    const std::size_t fits = room > samples_.size() ? room - samples_.size() : 0;
    const std::size_t clocked = std::min(fits, static_cast<std::size_t>(size));
    const std::uint64_t cycleNs = 2ull * board_.state().busCycleNs; // one sample, one output
    for (std::size_t i = 0; i < clocked; ++i) {
        samples_.push_back(Sample());
        Output(data[i]);
        if (byteNs_ > cycleNs)
            board_.Idle(byteNs_ - cycleNs);
    }
    const std::uint64_t spent = board_.nowNs() - start;
    if (spent < kSimUsbRoundTripNs)
        board_.Idle(kSimUsbRoundTripNs - spent);
    if (clocked < static_cast<std::size_t>(size))
        return Refuse(kWriteFailed); // stalled until the write timed out
    return size;
}

int SimFtdiDevice::ReadData(std::uint8_t* data, int size) {
    if (unplugged_)
        return Refuse(kGone);
    const std::size_t n = std::min(samples_.size(), static_cast<std::size_t>(size));
    std::copy_n(samples_.begin(), n, data);
    samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n));
    bytesMoved_ += n;
    return static_cast<int>(n);
}

int SimFtdiDevice::Purge() {
    if (unplugged_)
        return Refuse(kGone);
    samples_.clear();
    return 0;
}

} // namespace kelvo
