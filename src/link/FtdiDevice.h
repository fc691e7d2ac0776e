#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kelvo {

// The FTDI chips Kelvo drives in synchronous bit-bang mode.
enum class FtdiChip { Ft232r, Ft232h, Ft2232h };

// Bytes one write may carry before its samples are read back: in synchronous
// bit-bang mode the chip clocks a byte out only while its buffer towards the
// host has room for the sample, so a write must fit into what the chip can
// hold in both directions (FT232R: 256 bytes from the host, 128 towards it;
// FT232H: 1 KB each way; FT2232H: 4 KB each way per channel).
inline constexpr int FtdiRoundTripBytes(FtdiChip chip) {
    switch (chip) {
    case FtdiChip::Ft232r:
        return 256 + 128;
    case FtdiChip::Ft232h:
        return 2 * 1024;
    case FtdiChip::Ft2232h:
        return 2 * 4096;
    }
    return 128;
}

// Which of the chip's eight bit-bang data bits (D0..D7; on an FT232R D0 TXD,
// D1 RXD, D2 RTS#, D3 CTS#, D4 DTR#; on the H chips ADBUS0..7) carries each
// line of the programming header. The default puts the lines where the
// chips' serial engines have them: SCK on D0, MOSI on D1, MISO on D2, RESET
// on D3.
struct FtdiPins {
    int sck = 0;
    int mosi = 1;
    int miso = 2;
    int reset = 3;

    bool operator==(const FtdiPins&) const = default;
    // Four different bits, each 0..7.
    bool Valid() const;
    std::uint8_t OutputMask() const {
        return static_cast<std::uint8_t>((1u << sck) | (1u << mosi) | (1u << reset));
    }
};

// The few libftdi calls the programmer needs, so the library stays behind
// one small file and a simulated chip can stand in for it. Results are
// libftdi's: 0 or a byte count on success, negative on failure.
class FtdiDevice {
public:
    virtual ~FtdiDevice() = default;
    virtual FtdiChip Chip() const = 0;
    // Synchronous bit-bang with the given output bits, or back to the serial
    // engine when `syncBitbang` is false.
    virtual int SetBitmode(std::uint8_t outputMask, bool syncBitbang) = 0;
    // Bytes clocked per second in bit-bang mode.
    virtual int SetBaudrate(int baudrate) = 0;
    virtual int WriteData(const std::uint8_t* data, int size) = 0;
    // Returns what has arrived, up to `size` bytes; 0 when nothing has yet.
    virtual int ReadData(std::uint8_t* data, int size) = 0;
    // Drops what either buffer of the chip holds.
    virtual int Purge() = 0;
    // What the last failure was, in libftdi's words.
    virtual std::string ErrorString() const = 0;
};

// The chips' USB identifiers as they leave the factory.
inline constexpr std::uint16_t kFtdiVendorId = 0x0403;
struct FtdiModel {
    std::uint16_t productId;
    const char* name;
};
inline constexpr FtdiModel kFtdiModels[] = {
    {0x6001, "FT232R"}, {0x6014, "FT232H"}, {0x6010, "FT2232H"}};

// Which programmer to open: the one with this serial number, or the first
// one found of any supported model when it is empty.
struct FtdiSelector {
    std::string serial;
};

enum class FtdiOpenError { None, NotBuiltIn, NotFound, PermissionDenied, Failed };

struct FtdiOpenResult {
    std::unique_ptr<FtdiDevice> device;
    FtdiOpenError error = FtdiOpenError::None;
    std::string detail; // libftdi's words, for the user
};

// Opens the first matching programmer through libftdi (channel A of a
// two-channel chip), trying the models in the order of kFtdiModels;
// NotBuiltIn when this build has no libftdi.
FtdiOpenResult OpenFtdiDevice(const FtdiSelector& selector);

} // namespace kelvo
