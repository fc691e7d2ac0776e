#pragma once

#include "link/FtdiDevice.h"
#include "sim/SimBoard.h"

#include <cstdint>
#include <deque>
#include <string>

namespace kelvo {

// One USB round trip (a write and the read of its samples) in the board's
// virtual time.
inline constexpr std::uint64_t kSimUsbRoundTripNs = 1'000'000;

// An FTDI chip in synchronous bit-bang mode wired to the simulated board's
// programming header: `wiring` says which data bit goes to which line. Each
// byte written is clocked out after the inputs were sampled (so a sample
// shows the pins as the byte before left them); the board sees the header
// lines through its data register (MOSI 0x01, SCK 0x02, RESET 0x04) and
// answers on status bit 0x20, one bus cycle each. A bit that is not an
// output floats high on the chip's pull-up. The chip clocks a byte only
// while its buffers have room, so a write larger than they hold beyond the
// samples not yet read stalls and fails as libftdi's bulk write would. A
// write and the read of its samples take a round trip of 1 ms, or the
// clocking time when that is longer.
class SimFtdiDevice final : public FtdiDevice {
public:
    explicit SimFtdiDevice(SimBoard& board, FtdiChip chip = FtdiChip::Ft232r, FtdiPins wiring = {})
        : board_(board), chip_(chip), wiring_(wiring) {}

    FtdiChip Chip() const override { return chip_; }
    int SetBitmode(std::uint8_t outputMask, bool syncBitbang) override;
    int SetBaudrate(int baudrate) override;
    int WriteData(const std::uint8_t* data, int size) override;
    int ReadData(std::uint8_t* data, int size) override;
    int Purge() override;
    std::string ErrorString() const override { return error_; }

    // Pulled out of its socket: every call fails from now on.
    void Unplug() { unplugged_ = true; }

    std::uint64_t roundTrips() const { return roundTrips_; }
    std::uint64_t bytesMoved() const { return bytesMoved_; } // written plus read back

private:
    int Refuse(std::string error) {
        error_ = std::move(error);
        return -1;
    }
    std::uint8_t Sample();
    void Output(std::uint8_t value);

    SimBoard& board_;
    FtdiChip chip_;
    FtdiPins wiring_;
    std::uint8_t outputMask_ = 0;
    bool bitbang_ = false;
    std::uint64_t byteNs_ = 0; // from the baud rate; 0 until one is set
    std::uint8_t pins_ = 0xFF; // last byte written
    std::deque<std::uint8_t> samples_;
    bool unplugged_ = false;
    std::string error_ = "all fine";
    std::uint64_t roundTrips_ = 0;
    std::uint64_t bytesMoved_ = 0;
};

} // namespace kelvo
