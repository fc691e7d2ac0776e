#include "app/DesktopCommandLine.h"

#include "app/CommandLineInfo.h"

namespace kelvo {

bool ParseDesktopCommandLine(const std::vector<std::string>& arguments, DesktopCommandLine& out,
                             std::string& error) {
    CommandLineInfo switches(out.options);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const ConnectionOption connection =
            TakeConnectionOption(arguments, i, out.connection, error);
        if (connection == ConnectionOption::Bad)
            return false;
        if (connection == ConnectionOption::Taken) {
            continue;
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
    out.boardTypeName = switches.boardTypeName();
    return true;
}

std::optional<std::string> MissingDisplay(const std::vector<std::string>& arguments,
                                          const EnvironmentLookup& environment) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)arguments;
    (void)environment;
    return std::nullopt;
#else
    for (const std::string& a : arguments)
        if (a == "-platform" || a == "--platform")
            return std::nullopt;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const std::optional<std::string> value = environment(name);
        if (value && !value->empty())
            return std::nullopt;
    }
    return "kelvo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
           "kelvo-cli does the same work in a terminal";
#endif
}

std::string DesktopUsage() {
    return "Usage: kelvo [switches] [--sim FILE] [--port-driver ppdev|direct|inpout] [--port HEX]\n"
           "             [--programmer NAME[:SERIAL]] [--ftdi-pins LIST] [--user-folder]\n"
           "\n"
           "  --sim FILE           run on the simulated board kept in FILE (made with\n"
           "                       kelvo-cli sim-create); it is written back after every flow\n"
           "  --port-driver NAME   the real port's driver: ppdev (Linux, the default there),\n"
           "                       direct (Linux, root only) or inpout (Windows, the default\n"
           "                       there)\n"
           "  --port HEX|DEVICE    parallel-port base address, e.g. 378 or 0x378 (wins over\n"
           "                       ConnSettings.dat), or a ppdev device such as /dev/parport0\n"
           "  --programmer NAME    parallel (the cable; the default), ft232r[:SERIAL] or\n"
           "                       usbasp[:SERIAL]; wins over the connection dialog's choice\n"
           "  --ftdi-pins LIST     FTDI lines of the signals, such as\n"
           "                       sck=TXD,miso=RTS,mosi=RXD,reset=CTS (the default)\n"
           "  --user-folder        start in the per-user folder ($XDG_CONFIG_HOME/kelvo,\n"
           "                       created when missing) instead of the current one, so\n"
           "                       ConnSettings.dat is kept there (the menu entry does this)\n"
           "\n"
           "Service switches, each with a leading - or /: initprogramming pintest\n"
           "displaydatamemraw bypassreadcheck bypassfirmwarecheck AVRonly 8051only\n"
           "bypassfwboardcheck wholesecondcalibration delaymultFACTOR boardtypeNAME\n";
}

} // namespace kelvo
