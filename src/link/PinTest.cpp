#include "link/PinTest.h"

namespace kelvo {

namespace {

// Control bit 0 drives pin 1 (nStrobe) through an inverter.
constexpr std::uint8_t kPin1Low = 0x01;
constexpr std::uint8_t kPin1High = 0x00;

// Status inputs: the bit each pin shows up in (Busy, pin 11, inverted) and
// the value the test writes to the status address before reading it.
struct StatusPin {
    int pin;
    std::uint8_t mask;
    bool inverted;
    std::uint8_t written;
};
constexpr StatusPin kStatusPins[] = {
    {10, 0x40, false, 0x0F},
    {11, 0x80, true, 0x08},
    {12, 0x20, false, 0x04},
    {13, 0x10, false, 0x02},
};

std::string PinHighText(int pin) {
    return "Pin " + std::to_string(pin) + " is now high.";
}

} // namespace

void RunPinTest(Link& link, const std::function<void(const std::string&)>& showMessage) {
    link.WriteControl(kPin1Low);
    link.WriteStatus(0x00);
    link.WriteData(0x00);
    link.WriteControl(kPin1High);
    showMessage(PinHighText(1));
    link.WriteControl(kPin1Low);
    // Pins 2 to 9 are data bits 0 to 7, one at a time.
    for (int pin = 2; pin <= 9; ++pin) {
        link.WriteData(static_cast<std::uint8_t>(1u << (pin - 2)));
        showMessage(PinHighText(pin));
    }
    link.WriteData(0x00);
    for (const StatusPin& p : kStatusPins) {
        link.WriteStatus(p.written);
        const bool high = ((link.ReadStatus() & p.mask) != 0) != p.inverted;
        // Inputs: the level read, never a claim that the test drove it.
        showMessage("Pin " + std::to_string(p.pin) +
                    (high ? " reads high."
                          : " reads low. Pins 10 to 13 are inputs driven by the cable, not by "
                            "this test."));
    }
    link.WriteControl(0x00);
    link.WriteStatus(0x00);
    link.WriteData(0x00);
}

} // namespace kelvo
