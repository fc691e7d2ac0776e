#pragma once

#include "link/Clock.h"
#include "link/Port.h"
#include "link/UsbaspDevice.h"

#include <cstdint>
#include <optional>

namespace kelvo {

// A USBasp on a board's programming header, answering its requests as the
// programmer's firmware does and driving the board's pins through the port
// (MOSI, SCK and RESET in the data register, MISO in the status register).
// Each control transfer takes 1 ms of the board's time, the pins their bus
// cycles on top. Only the requests Kelvo sends are modelled: connect,
// disconnect, transmit, flash read, flash write in pages, and clock speed;
// any other answers nothing, like an unknown one.
class SimUsbasp final : public UsbaspDevice {
public:
    // `address` is the board's data register. The lines start released: the
    // board's pull-up holds RESET high.
    SimUsbasp(Port& board, Clock& clock, std::uint16_t address);

    int Control(bool in, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                std::uint8_t* data, std::uint16_t length, UsbFailure& failure) override;

    // The programmer is pulled out after this many more transfers.
    void UnplugAfter(std::uint64_t transfers) { unplugAt_ = transfers_ + transfers; }
    std::uint64_t transfers() const { return transfers_; }

private:
    void Lines(std::uint8_t value);
    std::uint8_t Transmit(std::uint8_t out);
    void UpdateExtended(std::uint32_t address);
    std::uint8_t ReadFlash(std::uint32_t address);
    void WriteFlash(std::uint32_t address, std::uint8_t value);
    void FlushPage(std::uint32_t address, std::uint8_t pollValue);
    std::uint32_t Ticks(); // the firmware's 320 µs clock
    void ClockWait(std::uint32_t ticks);

    Port& board_;
    Clock& clock_;
    std::uint16_t address_;
    std::uint8_t lines_ = 0;

    std::uint64_t transfers_ = 0;
    std::optional<std::uint64_t> unplugAt_;

    std::uint32_t progAddress_ = 0;
    std::uint8_t hiAddress_ = 0xFF;
    std::uint16_t pageSize_ = 0;
    std::uint16_t pageCounter_ = 0;
    std::uint8_t blockFlags_ = 0;
};

} // namespace kelvo
