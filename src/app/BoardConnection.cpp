#include "app/BoardConnection.h"

#include "app/SimConnection.h"
#include "files/ConnectionSettings.h"
#include "link/FtdiIspBus.h"
#include "link/UsbaspBus.h"

#include <chrono>

namespace kelvo {

namespace {

// A real parallel port on the machine's own clock.
class RealConnection final : public BoardConnection {
public:
    explicit RealConnection(std::unique_ptr<Port> port) : port_(std::move(port)) {}
    Port& port() override { return *port_; }
    Clock& clock() override { return clock_; }
    bool Save(std::string&) override { return true; }
    std::uint64_t BusTimeNs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }

private:
    std::unique_ptr<Port> port_;
    SystemClock clock_;
};

// A USB programmer on the machine's own clock.
class UsbConnection final : public BoardConnection {
public:
    Port& port() override { return noPort_; }
    Clock& clock() override { return clock_; }
    IspBus* programmer() override { return bus_.get(); }
    bool Save(std::string&) override { return true; }
    std::uint64_t BusTimeNs() override {
        return static_cast<std::uint64_t>(clock_.NowMicroseconds()) * 1000;
    }

    SystemClock clock_;
    std::unique_ptr<UsbaspDevice> usbasp_; // the FTDI bus owns its device
    std::unique_ptr<IspBus> bus_;

private:
    NoParallelPort noPort_;
};

const char kUdevHint[] =
    " The kelvo package installs a udev rule that gives the person at the computer access; "
    "without it, copy 60-kelvo-programmers.rules to /etc/udev/rules.d/ and plug the programmer "
    "in again (see docs/programmers.md).";

std::string FtdiOpenMessage(const FtdiOpenResult& r, const std::string& serial) {
    switch (r.error) {
    case FtdiOpenError::NotBuiltIn:
        return "This build of Kelvo has no FTDI support: USB programmers work on Linux only "
               "for now.";
    case FtdiOpenError::NotFound:
        return serial.empty() ? "No FTDI programmer (FT232R, FT232H or FT2232H) found. Plug "
                                "it in, check its USB cable, and see that kelvo-cli programmers "
                                "lists it."
                              : "No FTDI programmer with serial \"" + serial +
                                    "\" found (kelvo-cli programmers lists those connected).";
    case FtdiOpenError::PermissionDenied:
        return "The FTDI programmer cannot be opened: permission denied." + std::string(kUdevHint);
    default:
        return "The FTDI programmer cannot be used: " + r.detail;
    }
}

std::unique_ptr<Port> OpenRealPort(const ConnectionRequest& request, std::uint16_t portBase,
                                   std::string& error) {
    if (request.device && request.driver != PortDriver::Ppdev) {
        error =
            "--port " + *request.device + " names a ppdev device; it needs --port-driver ppdev.";
        return nullptr;
    }
    switch (request.driver) {
    case PortDriver::Ppdev:
        return request.device ? OpenPpdevDevice(*request.device, portBase, error)
                              : OpenPpdevPort(portBase, error, request.ppdevPaths);
    case PortDriver::Direct:
        return OpenDirectIoPort(portBase, error);
    case PortDriver::Inpout:
#ifdef _WIN32
        return OpenInpoutPort(error);
#else
        error = "The inpout32 port driver exists on Windows only; use ppdev or direct.";
        return nullptr;
#endif
    case PortDriver::Simulated:
        break;
    }
    return nullptr;
}

bool ParseHexAddress(std::string text, std::int32_t& port) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.erase(0, 2);
    const std::optional<std::int32_t> value = PortAddressFromToken(text);
    if (!value || text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    port = *value;
    return true;
}

} // namespace

ConnectionOption TakeConnectionOption(const std::vector<std::string>& arguments, std::size_t& i,
                                      ConnectionRequest& request, std::string& error) {
    const std::string& a = arguments[i];
    if (a != "--sim" && a != "--port-driver" && a != "--port" && a != "--programmer" &&
        a != "--ftdi-pins")
        return ConnectionOption::NotOne;
    if (i + 1 >= arguments.size()) {
        error = a + " needs a value";
        return ConnectionOption::Bad;
    }
    const std::string& value = arguments[++i];
    if (a == "--sim") {
        request.simFile = value;
    } else if (a == "--programmer") {
        if (!ParseProgrammer(value, request.programmer, error))
            return ConnectionOption::Bad;
    } else if (a == "--ftdi-pins") {
        if (!ParseFtdiPins(value, request.programmer.pins, error))
            return ConnectionOption::Bad;
    } else if (a == "--port-driver") {
        if (value == "ppdev") {
            request.driver = PortDriver::Ppdev;
        } else if (value == "direct") {
            request.driver = PortDriver::Direct;
        } else if (value == "inpout") {
            request.driver = PortDriver::Inpout;
        } else {
            error = "unknown port driver \"" + value + "\" (use ppdev, direct or inpout)";
            return ConnectionOption::Bad;
        }
    } else if (value.find_first_of("/\\") != std::string::npos) {
        request.device = value;
        request.portOverride.reset();
    } else {
        std::int32_t port = 0;
        if (!ParseHexAddress(value, port)) {
            error = "--port wants a hexadecimal I/O address from 1 to FFFF, such as 378 or "
                    "0x378, or a device such as /dev/parport0; got \"" +
                    value + "\"";
            return ConnectionOption::Bad;
        }
        request.portOverride = port;
        request.device.reset();
    }
    // --sim chooses the simulated board whatever --port-driver says.
    if (request.simFile)
        request.driver = PortDriver::Simulated;
    return ConnectionOption::Taken;
}

std::optional<std::int32_t> RequestedPortBase(const ConnectionRequest& request) {
    if (request.device) {
        if (const std::optional<std::uint16_t> base =
                ParportDeviceBase(*request.device, request.ppdevPaths))
            return *base;
        return std::nullopt;
    }
    return request.portOverride;
}

std::string SimulatedBoardNotice(const std::string& file) {
    return "simulated board " + file + ", no hardware is used";
}

std::unique_ptr<BoardConnection> OpenBoardConnection(const ConnectionRequest& request,
                                                     std::uint16_t portBase, std::string& error) {
    if (request.driver == PortDriver::Simulated)
        return OpenSimulatedConnection(request, portBase, error);
    if (request.programmer.kind != ProgrammerKind::Parallel) {
        auto usb = std::make_unique<UsbConnection>();
        const std::string& serial = request.programmer.serial;
        if (request.programmer.kind == ProgrammerKind::Usbasp) {
            usb->usbasp_ = OpenUsbasp(serial, error);
            if (usb->usbasp_)
                usb->bus_ = std::make_unique<UsbaspBus>(*usb->usbasp_, usb->clock_);
        } else {
            FtdiSelector selector;
            selector.serial = serial;
            FtdiOpenResult opened = OpenFtdiDevice(selector);
            if (opened.device)
                usb->bus_ = MakeFtdiBus(std::move(opened.device), usb->clock_,
                                        request.programmer.pins, error);
            else
                error = FtdiOpenMessage(opened, serial);
        }
        if (!usb->bus_) {
            error += "\nTo try it without hardware, give --sim FILE as well: a simulated board "
                     "reached through a simulated programmer.";
            return nullptr;
        }
        return usb;
    }
    std::unique_ptr<Port> port = OpenRealPort(request, portBase, error);
    if (!port)
        return nullptr;
    return std::make_unique<RealConnection>(std::move(port));
}

} // namespace kelvo
