#pragma once

#include "files/ProgrammerChoice.h"
#include "link/Clock.h"
#include "link/IspBus.h"
#include "link/Port.h"
#include "link/PortBackends.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

enum class PortDriver {
    Simulated, // the simulated board, only ever chosen explicitly
    Ppdev,     // Linux /dev/parportN
    Direct,    // Linux ioperm/outb, root only
    Inpout,    // Windows inpout32.dll
};

// The real port driver of this platform, used unless another is chosen:
// ppdev on Linux, inpout on Windows.
constexpr PortDriver DefaultPortDriver() {
#ifdef _WIN32
    return PortDriver::Inpout;
#else
    return PortDriver::Ppdev;
#endif
}

// What the user chose on the command line. Both programs start from the
// real port; a simulated board is always asked for by name.
struct ConnectionRequest {
    PortDriver driver = DefaultPortDriver();
    std::optional<std::string> simFile;       // state file of the simulated board
    std::optional<std::int32_t> portOverride; // --port HEX: wins over ConnSettings.dat
    std::optional<std::string> device;        // --port /dev/parportN (ppdev)
    PpdevPaths ppdevPaths;                    // where ppdev devices are looked up
    // What reaches the board: the parallel cable unless chosen otherwise. A
    // simulated board is then reached through a simulated programmer.
    ProgrammerChoice programmer;
};

enum class ConnectionOption { NotOne, Taken, Bad };

// Takes a connection option at arguments[i] (--sim FILE, --port-driver NAME,
// --port HEX|0xHEX|/dev/parportN, any path a device, --programmer NAME[:SERIAL],
// --ftdi-pins LIST) into `request`, moving i past its value.
// Both programs' parsers use it, so the options mean the same in both. Bad:
// `error` says what is wrong.
ConnectionOption TakeConnectionOption(const std::vector<std::string>& arguments, std::size_t& i,
                                      ConnectionRequest& request, std::string& error);

// The port address the request fixes: --port's address, or the base address
// the kernel lists for a device named with --port; nothing when the address
// comes from ConnSettings.dat.
std::optional<std::int32_t> RequestedPortBase(const ConnectionRequest& request);

// The one line that says a run uses no hardware.
std::string SimulatedBoardNotice(const std::string& file);

// A port and a clock to run board operations on, open for one run.
class BoardConnection {
public:
    virtual ~BoardConnection() = default;
    virtual Port& port() = 0;
    virtual Clock& clock() = 0;
    // A simulated board writes its state file back now (the desktop program
    // does this after every flow); a real port has nothing to write. Returns
    // false with a message when that fails.
    virtual bool Save(std::string& error) = 0;
    // Ends the run: a simulated board writes its state file back and lets
    // other runs have it again.
    virtual bool Close(std::string& error) { return Save(error); }
    // Time on the bus in nanoseconds, from an arbitrary start: the simulated
    // board's own time, the machine's monotonic clock for a real port.
    virtual std::uint64_t BusTimeNs() = 0;
    // The USB programmer board operations go through; null for the
    // parallel port, whose accesses go through port().
    virtual IspBus* programmer() { return nullptr; }
};

// A USB programmer's run has no parallel port: the port the flows are given
// reads as an open line and drives nothing.
class NoParallelPort final : public Port {
public:
    void PortWrite(std::uint16_t, std::uint8_t) override {}
    std::uint8_t PortRead(std::uint16_t) override { return 0xFF; }
};

// Opens the chosen backend for the port at portBase. Returns null and a
// message that names the device, the reason and the fix when the port cannot
// be used.
std::unique_ptr<BoardConnection> OpenBoardConnection(const ConnectionRequest& request,
                                                     std::uint16_t portBase, std::string& error);

} // namespace kelvo
