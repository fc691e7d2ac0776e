#pragma once

#include "link/CalibrationClock.h"
#include "link/Clock.h"
#include "link/Family.h"
#include "link/Port.h"

#include <cstdint>

namespace kelvo {

// Registers of the parallel port, relative to portBase.
inline constexpr std::uint16_t kDataRegister = 0;
inline constexpr std::uint16_t kStatusRegister = 1;
inline constexpr std::uint16_t kControlRegister = 2;
// Writes to this port only take bus time; they are the link's time unit.
inline constexpr std::uint16_t kPausePort = 0x80;

// Cable lines (25-pin connector).
inline constexpr std::uint8_t kLineMosi = 0x01;  // data D0, pin 2, to the microcontroller
inline constexpr std::uint8_t kLineSck = 0x02;   // data D1, pin 3, serial clock
inline constexpr std::uint8_t kLineReset = 0x04; // data D2, pin 4, reset
inline constexpr std::uint8_t kLineMiso = 0x20;  // status bit 5, pin 12, from the microcontroller

inline constexpr std::uint16_t kDefaultPortBase = 0x378;
inline constexpr std::uint32_t kDefaultDelayCount = 10000;

// count x multiplier rounded to single precision, as the product of two
// floats is, then truncated toward zero; a count beyond 32 bits is held at
// the largest. Worked out in integers, so every build gets the same count
// whatever its floating-point unit.
std::uint32_t ScaleDelayCount(std::uint32_t count, float multiplier);

// One set per process: the port address, the calibrated delay and the data
// bits held while bytes are clocked.
struct LinkParams {
    std::int32_t portBase = kDefaultPortBase;
    std::uint32_t delayCount = kDefaultDelayCount;
    std::uint8_t dataShadow8051 = 0x00;
    std::uint8_t dataShadowAvr = 0x00;
};

// The bit-level primitives both programming protocols are built from.
class Link {
public:
    Link(Port& port, Clock& clock, LinkParams& params)
        : port_(port), clock_(clock), params_(params) {}

    Port& port() { return port_; }
    Clock& clock() { return clock_; }
    LinkParams& params() { return params_; }

    std::uint16_t DataAddress() const { return static_cast<std::uint16_t>(params_.portBase); }
    void WriteData(std::uint8_t value) { port_.PortWrite(DataAddress(), value); }
    void WriteStatus(std::uint8_t value) {
        port_.PortWrite(static_cast<std::uint16_t>(DataAddress() + kStatusRegister), value);
    }
    void WriteControl(std::uint8_t value) {
        port_.PortWrite(static_cast<std::uint16_t>(DataAddress() + kControlRegister), value);
    }
    std::uint8_t ReadStatus() {
        return port_.PortRead(static_cast<std::uint16_t>(DataAddress() + kStatusRegister));
    }

    void IoPause() { port_.PortWrite(kPausePort, 0x00); }
    void IoPauses(std::uint32_t count) { port_.PortWriteRepeated(kPausePort, 0x00, count); }
    void CalibratedDelay();
    // Measures how many pause writes make about 3 ms and stores the count,
    // scaled by delayMultiplier, in delayCount.
    void CalibrateDelay(float delayMultiplier, CalibrationClock clock);

    void SendByte(Family family, std::uint8_t value);
    std::uint8_t ReceiveByte(Family family);

    void HoldResetAvr();
    void ReleaseResetAvr();

private:
    std::uint8_t Shadow(Family family) const {
        return family == Family::Avr ? params_.dataShadowAvr : params_.dataShadow8051;
    }

    Port& port_;
    Clock& clock_;
    LinkParams& params_;
};

} // namespace kelvo
