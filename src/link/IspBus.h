#pragma once

#include "link/CalibrationClock.h"
#include "link/Clock.h"
#include "link/Family.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvo {

// Control register value written before enable, erase and closing sequences
// (bit 4 only: the interrupt enable, no cable pin).
inline constexpr std::uint8_t kControlProgramming = 0x10;

// A wait between two steps of a programming sequence, in both the forms a
// programmer may keep time in: the parallel port counts calibrated delays
// (its only clock is the bus time of its writes), a programmer with a clock
// of its own waits at least the datasheet minimum.
struct IspWait {
    std::uint32_t calibratedDelays = 0;
    std::uint32_t minimumUs = 0;
};

// What the programming protocols ask of whatever drives the four lines of the
// board's programming header (data in, data out, clock, reset): reset levels,
// bytes clocked out and in, waits. Below it sit the parallel port, which does
// every step at once with the design's register accesses, and USB
// programmers, which may queue steps and send them in batches.
//
// Queued work goes out at the latest when a reply's value is asked for or on
// Flush(); the order of all steps is kept. Nothing here may depend on a
// platform or a USB library: a Windows build adds its programmers behind the
// same interface.
class IspBus {
public:
    // Names a byte clocked in by Receive. Its value is known once the work
    // queued up to it has gone out.
    using Reply = std::size_t;

    virtual ~IspBus() = default;

    // The clock the operation's time-left estimate reads.
    virtual Clock& clock() = 0;

    // Whether the programmer can hold this family's part in programming mode
    // (some drive reset for one family only). An operation for a family it
    // cannot program fails without touching the lines.
    virtual bool CanProgram(Family family) const {
        (void)family;
        return true;
    }

    // Called first by every board operation, before its first wait.
    virtual void CalibrateDelay(float delayMultiplier, CalibrationClock clock) = 0;

    // Sets the reset line to the given level for the family's part: the AVR
    // part is programmed while it is low, the 8051 part while it is high.
    // Data and clock lines go low with it.
    virtual void DriveReset(Family family, bool high) = 0;
    // Clocks one byte out, most significant bit first.
    virtual void Send(Family family, std::uint8_t value) = 0;
    // Clocks one byte in, most significant bit first, with the data line to
    // the part held low.
    virtual Reply Receive(Family family) = 0;
    // Nothing reaches the part until the wait has passed.
    virtual void Wait(IspWait wait) = 0;

    // Whether the reply's value is known without sending anything more.
    virtual bool Known(Reply reply) const = 0;
    // The reply's value; sends the queued work first when needed.
    virtual std::uint8_t Value(Reply reply) = 0;
    // Sends everything queued. Every board operation ends with it.
    virtual void Flush() = 0;

    // Why the programmer stopped answering (unplugged, an I/O error), in
    // words for the user; empty while it works. Once set, an operation
    // ends at its next step as if stopped.
    virtual std::string Fault() const { return {}; }

    // The parallel port's control register and status address, which carry
    // no line of the header; the design writes them around its sequences.
    // Other programmers have nothing to do.
    virtual void WriteControl(std::uint8_t value) { (void)value; }
    virtual void WriteStatus(std::uint8_t value) { (void)value; }
};

} // namespace kelvo
