#include "app/cli/Cli.h"

#include "app/CommandLineInfo.h"
#include "app/Version.h"
#include "link/HexPair.h"

#include <filesystem>
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
           "  -delaymultFACTOR -boardtypeNAME\n"
           "\nAn output file given as - goes to standard output.\n"
           "\nExit codes:\n"
           "  0    everything the command promised was done\n"
           "  1    it failed (a message says why), or its output could not be written\n"
           "  2    the command line was wrong\n"
           "  3    update-firmware: the firmware was written, but the settings could not be\n"
           "       written back or the board not read again (a board recovered without a\n"
           "       readable board check included)\n"
           "  130  stopped by Ctrl-C (SIGINT), 143 by SIGTERM: 128 + the signal's number\n";
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

bool NamesSameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

CliInvocation ParseCliArguments(const std::vector<std::string>& arguments, CliContext& ctx) {
    using Action = CliInvocation::Action;
    std::ostream& err = ctx.err;
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
        if (a == "--help" || a == "-h")
            return {Action::Help};
        if (a == "--version")
            return {Action::Version};
        if (a == "--yes") {
            ctx.yes = true;
        } else if (a == "--no-wait") {
            ctx.noWait = true;
        } else if (a == "--sim") {
            std::string file;
            if (!value(file))
                return {Action::Usage};
            ctx.connection.simFile = file;
        } else if (a == "--port") {
            std::string text;
            if (!value(text))
                return {Action::Usage};
            std::uint16_t port = 0;
            if (!ParsePortAddress(text, port)) {
                err << "kelvo-cli: --port wants a hexadecimal I/O address from 1 to FFFF, such "
                       "as 378; got \""
                    << text << "\"\n";
                return {Action::Usage};
            }
            ctx.portOverride = port;
        } else if (a == "--port-driver") {
            std::string name;
            if (!value(name))
                return {Action::Usage};
            if (name == "ppdev")
                ctx.connection.driver = PortDriver::Ppdev;
            else if (name == "direct")
                ctx.connection.driver = PortDriver::Direct;
            else if (name == "inpout")
                ctx.connection.driver = PortDriver::Inpout;
            else {
                err << "kelvo-cli: unknown port driver \"" << name
                    << "\" (use ppdev, direct or inpout)\n";
                return {Action::Usage};
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
            return {Action::Usage};
        }
    }
    ctx.boardTypeName = switches.boardTypeName();

    if (!command)
        return {Action::Help};
    for (const CliCommand& c : CliCommands())
        if (c.name == *command)
            return {Action::Run, &c};
    err << "kelvo-cli: unknown command \"" << *command << "\" (see kelvo-cli --help)\n";
    return {Action::Usage};
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CliContext ctx(out, err);
    const CliInvocation what = ParseCliArguments(arguments, ctx);
    int code = kExitDone;
    switch (what.action) {
    case CliInvocation::Action::Help:
        PrintHelp(out);
        break;
    case CliInvocation::Action::Version:
        out << "kelvo-cli " << kVersion << "\n";
        break;
    case CliInvocation::Action::Usage:
        code = kExitUsage;
        break;
    case CliInvocation::Action::Run:
        code = what.command->run(ctx);
        break;
    }
    // Output that never arrived (a full disk, a closed pipe) is no success.
    out.flush();
    if (!out) {
        err << "kelvo-cli: writing to standard output failed\n";
        return code == kExitDone ? kExitFailed : code;
    }
    return code;
}

} // namespace kelvo
