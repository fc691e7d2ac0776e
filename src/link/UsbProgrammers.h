#pragma once

#include "link/FtdiDevice.h"
#include "link/UsbaspDevice.h"

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

// What a device with this USB identifier is, if Kelvo drives it. A USBasp's
// identifier is shared with other hobby devices: its strings decide.
inline std::optional<UsbProgrammerFound> UsbProgrammerModel(std::uint16_t vendorId,
                                                            std::uint16_t productId) {
    using Kind = UsbProgrammerFound::Kind;
    if (vendorId == kUsbaspVendorId && productId == kUsbaspProductId)
        return UsbProgrammerFound{Kind::Usbasp, kUsbaspProduct, {}, {}, false};
    if (vendorId == kFtdiVendorId)
        for (const FtdiModel& m : kFtdiModels)
            if (m.productId == productId)
                return UsbProgrammerFound{Kind::Ftdi, m.name, {}, {}, false};
    return std::nullopt;
}

// Every supported programmer on the machine's buses; false and a message
// when the buses cannot be looked at (or this build has no USB support).
bool ListUsbProgrammers(std::vector<UsbProgrammerFound>& found, std::string& error);

} // namespace kelvo
