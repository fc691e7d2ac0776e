#pragma once

#include "link/IspBus.h"
#include "link/UsbaspProgrammer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelvo {

// The programming protocols through a USBasp. Steps are queued and sent in
// as few requests as the programmer takes: a loaded flash page and its write
// go out as one flash write, runs of flash reads as flash reads of up to a
// block, every other instruction as one transmit. Waits are kept on the
// clock. The USBasp holds RESET low to program, so it programs AVR parts
// only.
class UsbaspBus final : public IspBus {
public:
    UsbaspBus(UsbaspDevice& device, Clock& clock) : programmer_(device), clock_(clock) {}

    Clock& clock() override { return clock_; }
    bool CanProgram(Family family) const override { return family == Family::Avr; }
    void CalibrateDelay(float, CalibrationClock) override {} // its waits come from the clock
    void DriveReset(Family family, bool high) override;
    void Send(Family family, std::uint8_t value) override;
    Reply Receive(Family family) override;
    void Wait(IspWait wait) override;
    bool Known(Reply reply) const override { return reply < values_.size(); }
    std::uint8_t Value(Reply reply) override;
    void Flush() override;
    std::string Fault() const override;

    const UsbaspProgrammer& programmer() const { return programmer_; }

private:
    enum class StepKind { Reset, Wait, Instruction };
    struct Step {
        StepKind kind;
        bool high = false;    // Reset
        std::uint32_t us = 0; // Wait
        std::array<std::uint8_t, 4> out{};
        std::uint8_t receives = 0; // bit i: byte i is a reply
        std::uint8_t length = 0;   // bytes of the instruction queued
    };

    void Byte(std::uint8_t value, bool receive);
    void Push(const Step& step);
    std::size_t SendPage(std::size_t first);
    std::size_t SendReads(std::size_t first);
    void SendInstruction(const Step& step);
    void Resolve(std::uint8_t value) { values_.push_back(value); }

    UsbaspProgrammer programmer_;
    Clock& clock_;
    std::vector<Step> queue_;
    Step frame_{StepKind::Instruction};
    std::size_t replies_ = 0;          // handed out so far
    std::vector<std::uint8_t> values_; // of the replies sent so far, in order
    std::size_t queuedReads_ = 0;
    bool connected_ = false;
    bool skipWait_ = false;
};

} // namespace kelvo
