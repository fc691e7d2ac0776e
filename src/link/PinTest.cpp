#include "link/PinTest.h"

namespace kelvo {

namespace {

void AllLow(Link& link) {
    link.WriteControl(0x00);
    link.WriteStatus(0x00);
    link.WriteData(0x00);
}

} // namespace

void RunPinTest(Link& link, const std::function<void(const std::string&)>& showMessage) {
    auto pinHigh = [&](int pin) { showMessage("Pin " + std::to_string(pin) + " is now high."); };
    AllLow(link);
    link.WriteControl(0x01);
    pinHigh(1);
    link.WriteControl(0x00);
    // Pins 2 to 9 are data bits 0 to 7, one at a time.
    for (int pin = 2; pin <= 9; ++pin) {
        link.WriteData(static_cast<std::uint8_t>(1u << (pin - 2)));
        pinHigh(pin);
    }
    link.WriteData(0x00);
    const std::uint8_t statusSteps[] = {0x0F, 0x08, 0x04, 0x02};
    for (int pin = 10; pin <= 13; ++pin) {
        link.WriteStatus(statusSteps[pin - 10]);
        pinHigh(pin);
    }
    AllLow(link);
}

} // namespace kelvo
