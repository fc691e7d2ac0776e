#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

// One supported programmer seen on the machine's buses, as kelvo-cli lists
// it.
struct UsbProgrammerFound {
    enum class Kind { Usbasp, Ftdi } kind = Kind::Usbasp;
    std::string model;   // "USBasp", "FT232R", "FT232H", "FT2232H"
    std::string serial;  // empty: it has none, or it could not be opened to read it
    std::string where;   // "bus 1 device 5"
    bool denied = false; // seen, but this user may not open it
};

// One device on a bus, as far as opening it showed.
struct UsbDeviceSeen {
    enum class Opened { Yes, Denied, Failed };
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string where;
    Opened opened = Opened::Failed;
    std::string manufacturer, product, serial; // read when it opened
};

// Whether a device with this identifier may be a supported programmer, and
// so is worth opening to look.
bool MayBeProgrammer(std::uint16_t vendorId, std::uint16_t productId);

// The programmer the device is, if it is one. An FTDI chip is known by its
// identifier alone; the USBasp's is shared with other hobby devices, so one
// that opened must carry its strings, and one that failed to open for
// another reason than permission is left out.
std::optional<UsbProgrammerFound> IdentifyProgrammer(const UsbDeviceSeen& seen);

// Every supported programmer on the machine's buses; false and a message
// when the buses cannot be looked at (or this build has no USB support).
bool ListUsbProgrammers(std::vector<UsbProgrammerFound>& found, std::string& error);

} // namespace kelvo
