#include "link/FtdiIspBus.h"

#include <algorithm>
#include <utility>

namespace kelvo {

namespace {

// Reads that bring nothing before the chip counts as gone: with the latency
// timer at 1 ms, about a second without a sample.
constexpr int kMaxEmptyReads = 1000;

} // namespace

bool FtdiPins::Valid() const {
    const int bits[] = {sck, mosi, miso, reset};
    unsigned seen = 0;
    for (int b : bits) {
        if (b < 0 || b > 7 || (seen & (1u << b)))
            return false;
        seen |= 1u << b;
    }
    return true;
}

FtdiIspBus::FtdiIspBus(std::unique_ptr<FtdiDevice> device, Clock& clock, FtdiPins pins)
    : device_(std::move(device)), clock_(clock), pins_(pins) {}

void FtdiIspBus::Put(bool sck, bool mosi) {
    const auto capacity = static_cast<std::size_t>(FtdiRoundTripBytes(device_->Chip()));
    if (out_.size() == capacity)
        Exchange(capacity);
    out_.push_back(static_cast<std::uint8_t>(resetBit_ | (sck ? 1u << pins_.sck : 0u) |
                                             (mosi ? 1u << pins_.mosi : 0u)));
    sckHigh_ = sck;
}

void FtdiIspBus::ClockLow() {
    if (sckHigh_)
        Put(false, false);
}

void FtdiIspBus::CalibrateDelay(float, CalibrationClock) {
    if (running_)
        notBeforeUs_ = std::max(notBeforeUs_, runSinceUs_ + kFtdiRunBeforeNextUs);
}

void FtdiIspBus::DriveReset(Family family, bool high) {
    resetBit_ = high ? static_cast<std::uint8_t>(1u << pins_.reset) : 0;
    Put(false, false);
    const bool running = high == (family == Family::Avr);
    if (running && !running_) {
        Flush();
        runSinceUs_ = clock_.NowMicroseconds();
    }
    running_ = running;
}

void FtdiIspBus::Send(Family, std::uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool b = ((value >> bit) & 1) != 0;
        Put(false, b); // data set up, clock low (the part shifts its answer out)
        Put(true, b);  // the part takes the bit on the rising edge
    }
}

IspBus::Reply FtdiIspBus::Receive(Family) {
    const Reply reply = replies_.size();
    replies_.push_back(0);
    for (int bit = 7; bit >= 0; --bit) {
        Put(false, false);
        Put(true, false);
        // The clock-high byte's sample is taken before it goes out: the
        // line as the falling edge before left it.
        samples_.push_back({sent_ + out_.size() - 1, reply, static_cast<std::uint8_t>(1u << bit)});
    }
    return reply;
}

void FtdiIspBus::Wait(IspWait wait) {
    if (wait.minimumUs == 0)
        return;
    Flush();
    notBeforeUs_ = clock_.NowMicroseconds() + wait.minimumUs;
}

std::uint8_t FtdiIspBus::Value(Reply reply) {
    if (!Known(reply))
        Flush();
    return replies_[reply];
}

void FtdiIspBus::Flush() {
    ClockLow();
    const auto capacity = static_cast<std::size_t>(FtdiRoundTripBytes(device_->Chip()));
    while (!out_.empty())
        Exchange(std::min(capacity, out_.size()));
}

void FtdiIspBus::Exchange(std::size_t count) {
    if (!fault_.empty()) {
        out_.clear();
        samples_.clear();
        known_ = replies_.size();
        return;
    }
    const std::int64_t now = clock_.NowMicroseconds();
    if (now < notBeforeUs_)
        clock_.SleepMs(static_cast<std::uint32_t>((notBeforeUs_ - now + 999) / 1000));
    const int size = static_cast<int>(count);
    if (device_->WriteData(out_.data(), size) != size)
        return Fail("writing to it failed");
    std::vector<std::uint8_t> in(count);
    int got = 0;
    for (int empty = 0; got < size;) {
        const int n = device_->ReadData(in.data() + got, size - got);
        if (n < 0)
            return Fail("reading from it failed");
        if (n == 0 && ++empty > kMaxEmptyReads)
            return Fail("it sent nothing back");
        got += n;
    }
    const std::uint64_t first = sent_;
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(count));
    sent_ += count;
    while (!samples_.empty() && samples_.front().byte < sent_) {
        const SampleBit s = samples_.front();
        samples_.pop_front();
        if ((in[s.byte - first] >> pins_.miso) & 1)
            replies_[s.reply] |= s.mask;
    }
    known_ = samples_.empty() ? replies_.size() : samples_.front().reply;
}

void FtdiIspBus::Fail(const std::string& what) {
    fault_ =
        "The FTDI programmer stopped answering: " + what + " (" + device_->ErrorString() + ").";
    out_.clear();
    samples_.clear();
    known_ = replies_.size();
}

std::unique_ptr<FtdiIspBus> MakeFtdiBus(std::unique_ptr<FtdiDevice> device, Clock& clock,
                                        const FtdiPins& pins, std::string& error) {
    if (device->SetBitmode(pins.OutputMask(), true) < 0 || device->SetBaudrate(kFtdiByteRate) < 0 ||
        device->Purge() < 0) {
        error = device->ErrorString();
        return nullptr;
    }
    return std::make_unique<FtdiIspBus>(std::move(device), clock, pins);
}

#ifndef KELVO_HAVE_LIBFTDI
FtdiOpenResult OpenFtdiDevice(const FtdiSelector&) {
    return {nullptr, FtdiOpenError::NotBuiltIn, "this Kelvo was built without libftdi1"};
}
#endif

} // namespace kelvo
