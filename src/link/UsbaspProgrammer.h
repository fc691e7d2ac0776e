#pragma once

#include "link/UsbaspDevice.h"

#include <array>
#include <cstdint>
#include <span>

namespace kelvo {

// The USBasp's requests as the programming protocols use them. Once the
// device has vanished every call is a no-op that reads 0xFF, as the cable's
// input does with nothing on it, and gone() says so.
class UsbaspProgrammer {
public:
    explicit UsbaspProgrammer(UsbaspDevice& device) : device_(device) {}

    // Drives the lines and leaves RESET low after a pulse (the firmware's
    // connect), at the slowest clock the parts always follow.
    void Connect();
    // Lets go of the lines; the board's pull-up takes RESET high.
    void Disconnect();
    // One four-byte instruction out, the four bytes clocked back in.
    std::array<std::uint8_t, 4> Transmit(const std::array<std::uint8_t, 4>& out);
    // Loads a flash page from `data` at byte address `address` and writes it:
    // the firmware sends the load instructions and the page write, then waits
    // the write out.
    void WriteFlashPage(std::uint32_t address, std::uint16_t pageBytes,
                        std::span<const std::uint8_t> data);
    // Reads flash bytes from `address` on, in as few requests as the device
    // takes.
    void ReadFlash(std::uint32_t address, std::span<std::uint8_t> out);

    bool gone() const { return gone_; }
    std::uint64_t roundTrips() const { return roundTrips_; }
    std::uint64_t bytesMoved() const { return bytesMoved_; }

private:
    int Request(bool in, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                std::uint8_t* data, std::uint16_t length);

    UsbaspDevice& device_;
    bool gone_ = false;
    std::uint64_t roundTrips_ = 0;
    std::uint64_t bytesMoved_ = 0;
};

} // namespace kelvo
