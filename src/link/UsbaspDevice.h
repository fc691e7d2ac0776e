#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvo {

// The USBasp programmer as its firmware presents it: vendor control requests
// on endpoint 0. A V-USB identifier shared with other hobby devices, so the
// strings are checked too.
inline constexpr std::uint16_t kUsbaspVendorId = 0x16C0;
inline constexpr std::uint16_t kUsbaspProductId = 0x05DC;
inline constexpr char kUsbaspManufacturer[] = "www.fischl.de";
inline constexpr char kUsbaspProduct[] = "USBasp";

// Request numbers (bRequest). Setup packet bytes 2..5 (wValue, wIndex, low
// byte first) carry the arguments.
enum UsbaspRequest : std::uint8_t {
    kUsbaspConnect = 1,    // drive the lines, pulse RESET, leave it low
    kUsbaspDisconnect = 2, // let go of every line
    kUsbaspTransmit = 3,   // four bytes out on the serial lines, four back
    kUsbaspReadFlash = 4,  // wValue: byte address; reads wLength bytes
    kUsbaspEnableProg = 5, // sends Programming Enable itself; 0 when answered
    kUsbaspWriteFlash = 6, // wValue: byte address, wIndex: page size and block flags
    kUsbaspSetLongAddress = 9,
    kUsbaspSetIspSck = 10, // wValue low byte: the serial clock option; answers 0
};

// Block flags of a flash write (upper byte of wIndex, low nibble).
inline constexpr std::uint8_t kUsbaspBlockFirst = 0x01;
inline constexpr std::uint8_t kUsbaspBlockLast = 0x02;
// Serial clock option 9: 187.5 kHz, slow enough for a part clocked at 1 MHz.
inline constexpr std::uint8_t kUsbaspSck187k = 9;

// Why a transfer moved nothing.
enum class UsbFailure { None, Gone, Refused };

// The thin boundary around the library: one control transfer. `in` moves up
// to `length` bytes from the device into `data`, otherwise `length` bytes of
// `data` to it. Returns the bytes moved, or -1 and sets `failure`.
class UsbaspDevice {
public:
    virtual ~UsbaspDevice() = default;
    virtual int Control(bool in, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                        std::uint8_t* data, std::uint16_t length, UsbFailure& failure) = 0;
};

// Opens the USBasp with that serial, or the only one when `serial` is empty.
// Null and a message a person can act on (none found, several, permission
// denied) otherwise.
std::unique_ptr<UsbaspDevice> OpenUsbasp(const std::string& serial, std::string& error);

} // namespace kelvo
