#include "app/BoardConnection.h"

#include "app/SimConnection.h"
#include "link/PortBackends.h"

namespace kelvo {

namespace {

// A real parallel port on the machine's own clock.
class RealConnection final : public BoardConnection {
public:
    explicit RealConnection(std::unique_ptr<Port> port) : port_(std::move(port)) {}
    Port& port() override { return *port_; }
    Clock& clock() override { return clock_; }
    bool Save(std::string&) override { return true; }

private:
    std::unique_ptr<Port> port_;
    SystemClock clock_;
};

std::unique_ptr<Port> OpenRealPort(PortDriver driver, std::uint16_t portBase, std::string& error) {
    switch (driver) {
    case PortDriver::Ppdev:
        return OpenPpdevPort(portBase, error);
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

} // namespace

std::unique_ptr<BoardConnection> OpenBoardConnection(const ConnectionRequest& request,
                                                     std::uint16_t portBase, std::string& error) {
    if (request.driver == PortDriver::Simulated)
        return OpenSimulatedConnection(request, portBase, error);
    std::unique_ptr<Port> port = OpenRealPort(request.driver, portBase, error);
    if (!port)
        return nullptr;
    return std::make_unique<RealConnection>(std::move(port));
}

} // namespace kelvo
