// The only code that calls libusb-1.0: finding the supported programmers,
// opening and talking to a USBasp. Everything above it is tested against
// simulated devices.
#include "link/UsbProgrammers.h"
#include "link/UsbaspDevice.h"

#include <libusb.h>

namespace kelvo {

namespace {

constexpr unsigned kTimeoutMs = 5000;

const char kUdevHint[] =
    "The kelvo package installs a udev rule that gives the person at the computer access; "
    "without it, copy 60-kelvo-programmers.rules to /etc/udev/rules.d/ and plug the programmer "
    "in again (see docs/programmers.md).";

struct Session {
    libusb_context* context = nullptr;
    ~Session() {
        if (context)
            libusb_exit(context);
    }
};

class LibusbUsbasp final : public UsbaspDevice {
public:
    LibusbUsbasp(std::unique_ptr<Session> session, libusb_device_handle* handle)
        : session_(std::move(session)), handle_(handle) {}
    ~LibusbUsbasp() override { libusb_close(handle_); }

    int Control(bool in, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                std::uint8_t* data, std::uint16_t length, UsbFailure& failure) override {
        const int direction = in ? LIBUSB_ENDPOINT_IN : LIBUSB_ENDPOINT_OUT;
        const auto type = static_cast<std::uint8_t>(int{LIBUSB_REQUEST_TYPE_VENDOR} |
                                                    int{LIBUSB_RECIPIENT_DEVICE} | direction);
        const int r =
            libusb_control_transfer(handle_, type, request, value, index, data, length, kTimeoutMs);
        if (r >= 0)
            return r;
        failure = r == LIBUSB_ERROR_NO_DEVICE || r == LIBUSB_ERROR_IO ? UsbFailure::Gone
                                                                      : UsbFailure::Refused;
        return -1;
    }

private:
    std::unique_ptr<Session> session_; // outlives the handle
    libusb_device_handle* handle_;
};

std::string Text(libusb_device_handle* handle, std::uint8_t index) {
    unsigned char text[128];
    const int n = index ? libusb_get_string_descriptor_ascii(handle, index, text, sizeof text) : 0;
    return n > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n))
                 : std::string();
}

// One supported programmer, with its handle when it opened; the handle
// stays open only for the caller that keeps it.
struct Candidate {
    UsbProgrammerFound found;
    libusb_device_handle* handle = nullptr;
};

std::vector<Candidate> Scan(libusb_context* context) {
    std::vector<Candidate> out;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context, &list);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 ||
            !MayBeProgrammer(d.idVendor, d.idProduct))
            continue;
        UsbDeviceSeen seen;
        seen.vendorId = d.idVendor;
        seen.productId = d.idProduct;
        seen.where = "bus " + std::to_string(libusb_get_bus_number(list[i])) + " device " +
                     std::to_string(libusb_get_device_address(list[i]));
        libusb_device_handle* handle = nullptr;
        const int opened = libusb_open(list[i], &handle);
        seen.opened = opened == 0                     ? UsbDeviceSeen::Opened::Yes
                      : opened == LIBUSB_ERROR_ACCESS ? UsbDeviceSeen::Opened::Denied
                                                      : UsbDeviceSeen::Opened::Failed;
        if (opened == 0) {
            seen.manufacturer = Text(handle, d.iManufacturer);
            seen.product = Text(handle, d.iProduct);
            seen.serial = Text(handle, d.iSerialNumber);
        }
        if (std::optional<UsbProgrammerFound> found = IdentifyProgrammer(seen))
            out.push_back({*found, opened == 0 ? handle : nullptr});
        else if (opened == 0)
            libusb_close(handle);
    }
    if (n >= 0)
        libusb_free_device_list(list, 1);
    return out;
}

std::unique_ptr<Session> Start(std::string& error) {
    auto session = std::make_unique<Session>();
    if (libusb_init(&session->context) != 0) {
        session->context = nullptr;
        error = "USB cannot be used on this computer (libusb could not start).";
        return nullptr;
    }
    return session;
}

} // namespace

bool ListUsbProgrammers(std::vector<UsbProgrammerFound>& found, std::string& error) {
    const std::unique_ptr<Session> session = Start(error);
    if (!session)
        return false;
    for (Candidate& c : Scan(session->context)) {
        if (c.handle)
            libusb_close(c.handle);
        found.push_back(c.found);
    }
    return true;
}

std::unique_ptr<UsbaspDevice> OpenUsbasp(const std::string& serial, std::string& error) {
    std::unique_ptr<Session> session = Start(error);
    if (!session)
        return nullptr;
    std::vector<Candidate> matching;
    std::string denied;
    for (Candidate& c : Scan(session->context)) {
        if (c.found.kind == UsbProgrammerFound::Kind::Usbasp && c.found.denied)
            denied = c.found.where;
        else if (c.found.kind == UsbProgrammerFound::Kind::Usbasp &&
                 (serial.empty() || c.found.serial == serial))
            matching.push_back(c);
        else if (c.handle)
            libusb_close(c.handle);
    }
    if (matching.size() == 1)
        return std::make_unique<LibusbUsbasp>(std::move(session), matching[0].handle);
    for (Candidate& c : matching)
        libusb_close(c.handle);
    if (matching.size() > 1)
        error = "Several USBasp programmers are connected; name one with --programmer "
                "usbasp:SERIAL (kelvo-cli programmers lists them).";
    else if (!denied.empty())
        error = "The USBasp on " + denied + " cannot be opened: permission denied. " + kUdevHint;
    else
        error = serial.empty() ? "No USBasp programmer found. Plug it in, check its USB cable, "
                                 "and see that kelvo-cli programmers lists it."
                               : "No USBasp programmer with serial \"" + serial +
                                     "\" found (kelvo-cli programmers lists those connected).";
    return nullptr;
}

} // namespace kelvo
