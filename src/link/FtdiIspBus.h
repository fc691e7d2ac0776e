#pragma once

#include "link/FtdiDevice.h"
#include "link/IspBus.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kelvo {

// How long a board let run is left alone before the next operation.
inline constexpr std::int64_t kFtdiRunBeforeNextUs = 1'000'000;

// Bytes per second the bit-bang engine clocks: two bytes make one clock
// period, so SCK runs at 250 kHz with 2 us in each phase, which an ATmega8
// takes from a 1 MHz clock up.
inline constexpr int kFtdiByteRate = 500'000;

// An FTDI chip in synchronous bit-bang mode as the programming cable. Each
// bit is two pin states (data with the clock low, then the clock high); the
// chip samples every input just before it puts out the next byte, so the
// part's answer bit is read in the sample of the clock-high byte. Steps are
// queued and go out in writes as large as the chip allows, each followed by
// reading back its samples; a wait sends what is queued and keeps the next
// write back on the clock until the datasheet minimum has passed.
class FtdiIspBus final : public IspBus {
public:
    // The device must already be in synchronous bit-bang mode (MakeFtdiBus).
    FtdiIspBus(std::unique_ptr<FtdiDevice> device, Clock& clock, FtdiPins pins);

    Clock& clock() override { return clock_; }
    // Waits come from the clock; there is nothing to measure. A board let
    // run by the operation before is given the second the parallel port's
    // calibration gives it, so its firmware is up (and has restored its
    // factory block after an erase) before it is put back into reset.
    void CalibrateDelay(float, CalibrationClock) override;
    void DriveReset(Family family, bool high) override;
    void Send(Family family, std::uint8_t value) override;
    Reply Receive(Family family) override;
    void Wait(IspWait wait) override;
    bool Known(Reply reply) const override { return reply < known_; }
    std::uint8_t Value(Reply reply) override;
    void Flush() override;
    std::string Fault() const override { return fault_; }

    FtdiDevice& device() { return *device_; }

private:
    void Put(bool sck, bool mosi);
    void ClockLow();
    void Exchange(std::size_t count);
    void Fail(const std::string& what);

    std::unique_ptr<FtdiDevice> device_;
    Clock& clock_;
    FtdiPins pins_;
    std::uint8_t resetBit_ = 0; // the reset line's level, as an output bit
    bool running_ = false;      // the reset line lets the part run
    std::int64_t runSinceUs_ = 0;
    bool sckHigh_ = false;

    std::vector<std::uint8_t> out_; // pin states not yet sent
    std::uint64_t sent_ = 0;        // bytes sent so far: out_[0] is byte number sent_
    // A bit of a reply waiting for its sample: which byte's sample and where
    // it goes.
    struct SampleBit {
        std::uint64_t byte;
        Reply reply;
        std::uint8_t mask;
    };
    std::deque<SampleBit> samples_;
    std::vector<std::uint8_t> replies_;
    Reply known_ = 0;              // replies before this one are known
    std::int64_t notBeforeUs_ = 0; // the next write waits for this clock reading
    std::string fault_;
};

// Puts the chip into synchronous bit-bang mode at kFtdiByteRate with the
// header's lines as outputs and returns the programmer's bus; nothing, and
// libftdi's words in `error`, when the chip refuses. The wiring must be
// Valid().
std::unique_ptr<FtdiIspBus> MakeFtdiBus(std::unique_ptr<FtdiDevice> device, Clock& clock,
                                        const FtdiPins& pins, std::string& error);

} // namespace kelvo
