#include "app/cli/Cli.h"

#include "app/CommandLineInfo.h"
#include "app/Version.h"
#include "link/HexPair.h"

#include <ostream>

namespace kelvo {

// Windows users write switches with "/" as well; elsewhere "/" starts a path.
#ifdef _WIN32
constexpr bool kSlashSwitches = true;
#else
constexpr bool kSlashSwitches = false;
#endif

namespace {

void PrintHelp(std::ostream& out) {
    out << "kelvo-cli " << kVersion
        << " - reads, writes and updates a firing-control board through a parallel-port\n"
           "programming cable, without windows.\n\n"
           "Usage: kelvo-cli [options] COMMAND [arguments]\n\nCommands:\n";
    for (const CliCommand& c : CliCommands())
        out << "  " << c.name << (c.usage.empty() ? "" : " ") << c.usage << "\n      " << c.summary
            << "\n";
    out << "\nConnection:\n"
           "  --sim FILE             use the simulated board kept in FILE (default: a fresh\n"
           "                         simulated board that lives for this run only)\n"
           "  --port HEX             parallel-port base address, e.g. 378 (overrides\n"
           "                         ConnSettings.dat)\n"
           "  --port-driver NAME     real port: ppdev (Linux, /dev/parportN) or direct\n"
           "                         (Linux, root only) or inpout (Windows)\n"
           "\nOther options:\n"
           "  --yes                  answer Yes to every question\n"
           "  --no-wait              pin test: go on without waiting for Enter\n"
           "  --help, --version\n"
           "\nService switches (as for the desktop program):\n"
           "  -initprogramming -pintest -displaydatamemraw -bypassreadcheck\n"
           "  -bypassfirmwarecheck -AVRonly -8051only -bypassfwboardcheck\n"
           "  -delaymultFACTOR -boardtypeNAME\n";
}

bool ParsePortAddress(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 4)
        return false;
    unsigned value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (value == 0)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CliContext ctx(out, err);
    CommandLineInfo switches(ctx.options);
    std::optional<std::string> command;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) {
                err << "kelvo-cli: " << a << " needs a value\n";
                return false;
            }
            into = arguments[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            PrintHelp(out);
            return 0;
        }
        if (a == "--version") {
            out << "kelvo-cli " << kVersion << "\n";
            return 0;
        }
        if (a == "--yes") {
            ctx.yes = true;
        } else if (a == "--no-wait") {
            ctx.noWait = true;
        } else if (a == "--sim") {
            std::string file;
            if (!value(file))
                return 2;
            ctx.connection.simFile = file;
        } else if (a == "--port") {
            std::string text;
            if (!value(text))
                return 2;
            std::uint16_t port = 0;
            if (!ParsePortAddress(text, port)) {
                err << "kelvo-cli: --port wants a hexadecimal I/O address from 1 to FFFF, such "
                       "as 378; got \""
                    << text << "\"\n";
                return 2;
            }
            ctx.portOverride = port;
        } else if (a == "--port-driver") {
            std::string name;
            if (!value(name))
                return 2;
            if (name == "ppdev")
                ctx.connection.driver = PortDriver::Ppdev;
            else if (name == "direct")
                ctx.connection.driver = PortDriver::Direct;
            else if (name == "inpout")
                ctx.connection.driver = PortDriver::Inpout;
            else {
                err << "kelvo-cli: unknown port driver \"" << name
                    << "\" (use ppdev, direct or inpout)\n";
                return 2;
            }
        } else if (a.size() > 1 &&
                   ((a[0] == '-' && a[1] != '-') || (kSlashSwitches && a[0] == '/')) &&
                   switches.ParseArgument(a)) {
            // a service switch
        } else if (!command && !a.empty() && a[0] != '-') {
            command = a;
        } else if (command) {
            ctx.args.push_back(a); // the command checks its own arguments
        } else {
            err << "kelvo-cli: unknown option \"" << a << "\" (see kelvo-cli --help)\n";
            return 2;
        }
    }
    ctx.boardTypeName = switches.boardTypeName();

    if (!command) {
        PrintHelp(out);
        return 0;
    }
    for (const CliCommand& c : CliCommands())
        if (c.name == *command)
            return c.run(ctx);
    err << "kelvo-cli: unknown command \"" << *command << "\" (see kelvo-cli --help)\n";
    return 2;
}

} // namespace kelvo
