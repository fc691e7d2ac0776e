#pragma once

#include "app/BoardConnection.h"
#include "app/UserFolder.h"
#include "ops/RunOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

// What the desktop program takes from its command line: the service
// switches, and which board to talk to.
struct DesktopCommandLine {
    RunOptions options;
    std::optional<std::string> boardTypeName; // -boardtypeNAME
    ConnectionRequest connection;             // the real port unless --sim
    bool userFolder = false;                  // --user-folder: start in the per-user folder
    bool showHelp = false;
    bool showVersion = false;
};

// Parses the arguments after the program name. Service switches may start
// with "-" or "/" and anything unknown is ignored; only a bad value of
// --sim, --port-driver or --port is an error (false, with a message).
bool ParseDesktopCommandLine(const std::vector<std::string>& arguments, DesktopCommandLine& out,
                             std::string& error);

// Why the window cannot open here, as one line, or nothing. On X11 and
// Wayland systems a session names its display in the environment; without
// one (and without a platform chosen with -platform or QT_QPA_PLATFORM) Qt
// would abort.
std::optional<std::string> MissingDisplay(const std::vector<std::string>& arguments,
                                          const EnvironmentLookup& environment);

// Usage text for --help.
std::string DesktopUsage();

} // namespace kelvo
