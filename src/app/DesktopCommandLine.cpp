#include "app/DesktopCommandLine.h"

#include "app/CommandLineInfo.h"
#include "files/ConnectionSettings.h"

namespace kelvo {

PortDriver DefaultPortDriver() {
#ifdef _WIN32
    return PortDriver::Inpout;
#else
    return PortDriver::Ppdev;
#endif
}

bool ParseDesktopCommandLine(const std::vector<std::string>& arguments, DesktopCommandLine& out,
                             std::string& error) {
    out.connection.driver = DefaultPortDriver();
    CommandLineInfo switches(out.options);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool takesValue = a == "--sim" || a == "--port-driver" || a == "--port";
        if (takesValue && i + 1 >= arguments.size()) {
            error = a + " needs a value";
            return false;
        }
        if (a == "--sim") {
            out.connection.driver = PortDriver::Simulated;
            out.connection.simFile = arguments[++i];
        } else if (a == "--port-driver") {
            const std::string& name = arguments[++i];
            if (name == "ppdev") {
                out.connection.driver = PortDriver::Ppdev;
            } else if (name == "direct") {
                out.connection.driver = PortDriver::Direct;
            } else if (name == "inpout") {
                out.connection.driver = PortDriver::Inpout;
            } else {
                error = "unknown port driver \"" + name + "\" (use ppdev, direct or inpout)";
                return false;
            }
        } else if (a == "--port") {
            const std::string& text = arguments[++i];
            const std::optional<std::int32_t> port = PortAddressFromToken(text);
            if (!port || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                error = "--port wants a hexadecimal I/O address from 1 to FFFF, such as 378; "
                        "got \"" +
                        text + "\"";
                return false;
            }
            out.portOverride = *port;
        } else if (a == "--user-folder") {
            out.userFolder = true;
        } else if (a == "--help" || a == "-h") {
            out.showHelp = true;
        } else if (a == "--version") {
            out.showVersion = true;
        } else {
            switches.ParseArgument(a); // unknown parameters are ignored silently
        }
    }
    // --sim chooses the simulated board whatever --port-driver says.
    if (out.connection.simFile)
        out.connection.driver = PortDriver::Simulated;
    out.boardTypeName = switches.boardTypeName();
    return true;
}

std::string DesktopUsage() {
    return "Usage: kelvo [switches] [--sim FILE] [--port-driver ppdev|direct|inpout] [--port HEX]\n"
           "             [--user-folder]\n"
           "\n"
           "  --sim FILE           run on the simulated board kept in FILE (made with\n"
           "                       kelvo-cli sim-create); it is written back after every flow\n"
           "  --port-driver NAME   the real port's driver: ppdev (Linux, the default there),\n"
           "                       direct (Linux, root only) or inpout (Windows, the default\n"
           "                       there)\n"
           "  --port HEX           parallel-port base address, e.g. 378 (wins over\n"
           "                       ConnSettings.dat)\n"
           "  --user-folder        start in the per-user folder ($XDG_CONFIG_HOME/kelvo,\n"
           "                       created when missing) instead of the current one, so\n"
           "                       ConnSettings.dat is kept there (the menu entry does this)\n"
           "\n"
           "Service switches, each with a leading - or /: initprogramming pintest\n"
           "displaydatamemraw bypassreadcheck bypassfirmwarecheck AVRonly 8051only\n"
           "bypassfwboardcheck delaymultFACTOR boardtypeNAME\n";
}

} // namespace kelvo
