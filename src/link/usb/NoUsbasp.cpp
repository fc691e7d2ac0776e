// Builds without libusb-1.0 (Windows for now) know the USB programmers by
// name only.
#include "link/UsbProgrammers.h"
#include "link/UsbaspDevice.h"

namespace kelvo {

namespace {
const char kNoUsb[] = "This build of Kelvo has no USB support: USB programmers work on Linux only "
                      "for now.";
}

bool ListUsbProgrammers(std::vector<UsbProgrammerFound>&, std::string& error) {
    error = kNoUsb;
    return false;
}

std::unique_ptr<UsbaspDevice> OpenUsbasp(const std::string&, std::string& error) {
    error = kNoUsb;
    return nullptr;
}

} // namespace kelvo
