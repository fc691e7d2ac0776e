#pragma once

#include "link/Clock.h"
#include "link/Port.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kelvo {

enum class PortDriver {
    Simulated, // the simulated board (the default when no real port is chosen)
    Ppdev,     // Linux /dev/parportN
    Direct,    // Linux ioperm/outb, root only
    Inpout,    // Windows inpout32.dll
};

// What the user chose on the command line.
struct ConnectionRequest {
    PortDriver driver = PortDriver::Simulated;
    std::optional<std::string> simFile; // state file of the simulated board
};

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
};

// Opens the chosen backend for the port at portBase. Returns null and a
// message that says how to fix it when the port cannot be used.
std::unique_ptr<BoardConnection> OpenBoardConnection(const ConnectionRequest& request,
                                                     std::uint16_t portBase, std::string& error);

} // namespace kelvo
