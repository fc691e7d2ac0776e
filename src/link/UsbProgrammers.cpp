#include "link/UsbProgrammers.h"

#include "link/FtdiDevice.h"
#include "link/UsbaspDevice.h"

namespace kelvo {

namespace {

const FtdiModel* FtdiModelOf(std::uint16_t vendorId, std::uint16_t productId) {
    if (vendorId == kFtdiVendorId)
        for (const FtdiModel& m : kFtdiModels)
            if (m.productId == productId)
                return &m;
    return nullptr;
}

} // namespace

bool MayBeProgrammer(std::uint16_t vendorId, std::uint16_t productId) {
    return (vendorId == kUsbaspVendorId && productId == kUsbaspProductId) ||
           FtdiModelOf(vendorId, productId);
}

std::optional<UsbProgrammerFound> IdentifyProgrammer(const UsbDeviceSeen& seen) {
    using Opened = UsbDeviceSeen::Opened;
    UsbProgrammerFound found;
    if (const FtdiModel* ftdi = FtdiModelOf(seen.vendorId, seen.productId)) {
        found.kind = UsbProgrammerFound::Kind::Ftdi;
        found.model = ftdi->name;
    } else if (!MayBeProgrammer(seen.vendorId, seen.productId) || seen.opened == Opened::Failed ||
               (seen.opened == Opened::Yes &&
                (seen.manufacturer != kUsbaspManufacturer || seen.product != kUsbaspProduct))) {
        return std::nullopt;
    } else {
        found.model = kUsbaspProduct;
    }
    found.where = seen.where;
    found.denied = seen.opened == Opened::Denied;
    if (seen.opened == Opened::Yes)
        found.serial = seen.serial;
    return found;
}

} // namespace kelvo
