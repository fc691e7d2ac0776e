#pragma once

#include "link/IspBus.h"
#include "link/Link.h"

namespace kelvo {

// The programming cable on the parallel port: every step is done at once
// with exactly the design's register accesses and pause writes, so a reply
// is known as soon as Receive returns (its handle is the byte itself).
class ParallelIspBus final : public IspBus {
public:
    explicit ParallelIspBus(Link& link) : link_(link) {}

    Link& link() { return link_; }

    Clock& clock() override { return link_.clock(); }
    void CalibrateDelay(float delayMultiplier, CalibrationClock clock) override {
        link_.CalibrateDelay(delayMultiplier, clock);
    }
    void DriveReset(Family family, bool high) override;
    void Send(Family family, std::uint8_t value) override { link_.SendByte(family, value); }
    Reply Receive(Family family) override { return link_.ReceiveByte(family); }
    void Wait(IspWait wait) override {
        for (std::uint32_t i = 0; i < wait.calibratedDelays; ++i)
            link_.CalibratedDelay();
    }
    bool Known(Reply) const override { return true; }
    std::uint8_t Value(Reply reply) override { return static_cast<std::uint8_t>(reply); }
    void Flush() override {}
    void WriteControl(std::uint8_t value) override { link_.WriteControl(value); }
    void WriteStatus(std::uint8_t value) override { link_.WriteStatus(value); }

private:
    Link& link_;
};

} // namespace kelvo
