#include "app/cli/Cli.h"

#include "app/CommandLineInfo.h"
#include "app/Version.h"
#include "ops/BoardTypes.h"

#include <algorithm>
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

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0    everything the command promised was done\n"
    "  1    it failed (a message says why), or its output could not be written\n"
    "  2    the command line was wrong\n"
    "  3    update-firmware: the firmware was written, but the settings could not be\n"
    "       written back or the board not read again (a board recovered without a\n"
    "       readable board check included)\n"
    "  130  stopped by Ctrl-C (SIGINT), 143 by SIGTERM, 129 by SIGHUP (the terminal\n"
    "       closed): 128 + the signal's number\n";

void PrintHelp(std::ostream& out) {
    out << "kelvo-cli " << kVersion
        << " - reads, writes and updates a firing-control board through a\n"
           "parallel-port programming cable or a USB programmer, without windows.\n\n"
           "Usage: kelvo-cli [options] COMMAND [arguments]\n\nCommands:\n";
    for (const CliCommand& c : CliCommands())
        out << WrapText("  " + std::string(c.name) + (c.usage.empty() ? "" : " "), c.usage, 6)
            << WrapText("      ", c.summary, 6);
    out << "\n`kelvo-cli COMMAND --help` says more about one command.\n"
           "\nConnection (the real parallel port unless --sim is given):\n"
           "  --sim FILE             use the simulated board kept in FILE (make one with\n"
           "                         sim-create); no hardware is used, and kelvo-cli says so\n"
           "  --port HEX|DEVICE      parallel-port base address, e.g. 378 or 0x378\n"
           "                         (overrides ConnSettings.dat), or a ppdev device such as\n"
           "                         /dev/parport0\n"
           "  --port-driver NAME     ppdev (Linux, /dev/parportN; the default there),\n"
           "                         direct (Linux, root only) or inpout (Windows; the\n"
           "                         default there)\n"
           "  --programmer NAME      what reaches the board: parallel (the cable; the\n"
           "                         default), ft232r[:SERIAL] or usbasp[:SERIAL] (USB,\n"
           "                         Linux only; USBasp: AVR boards only); kept in\n"
           "                         programmer.conf in the per-user folder by the desktop\n"
           "                         program\n"
           "  --ftdi-pins LIST       FTDI lines of the four signals, such as\n"
           "                         sck=TXD,miso=RTS,mosi=RXD,reset=CTS (the default)\n"
           "\nOther options:\n"
           "  --yes                  answer Yes to every question\n"
           "  --no-wait              pin test: go on without waiting for Enter\n"
           "  -q, --quiet            print errors only\n"
           "  -v, --verbose          print every attempt and operation with its port\n"
           "                         accesses and bus time\n"
           "  --help, --version\n"
           "\nService switches (as for the desktop program):\n"
           "  -initprogramming -pintest -displaydatamemraw -bypassreadcheck\n"
           "  -bypassfirmwarecheck -AVRonly -8051only -bypassfwboardcheck\n"
           "  -wholesecondcalibration -delaymultFACTOR -boardtypeNAME\n"
           "\nAn output file given as - goes to standard output.\n\n"
        << kExitCodes;
}

void PrintCommandHelp(const CliCommand& c, std::ostream& out) {
    out << WrapText("Usage: kelvo-cli [options] " + std::string(c.name) +
                        (c.usage.empty() ? "" : " "),
                    c.usage, 6)
        << "\n"
        << WrapText("", std::string(c.summary) + ".", 0);
    if (!c.details.empty())
        out << "\n" << c.details;
    if (c.listsBoardCodes) {
        std::string codes;
        for (int code = 0; const std::optional<BoardType> type = LookUpBoardType(code); ++code)
            codes += (code ? ", " : "") + std::to_string(code) + "=" + std::string(type->name);
        out << "\n" << WrapText("Board type codes: ", codes, 2);
    }
    out << "\n" << kExitCodes;
}

} // namespace

std::string WrapText(std::string_view first, std::string_view text, std::size_t indent,
                     std::size_t width) {
    std::string out(first);
    std::size_t column = first.size();
    bool lineEmpty = true;
    std::size_t at = 0;
    while (at < text.size()) {
        // An option and its value in brackets stay on one line.
        std::size_t end = at;
        int depth = 0;
        while (end < text.size() && (text[end] != ' ' || depth > 0)) {
            depth += text[end] == '[' ? 1 : text[end] == ']' ? -1 : 0;
            ++end;
        }
        const std::string_view word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty())
            continue;
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out + "\n";
}

bool NamesSameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string RepeatedOptionText(std::string_view option) {
    return std::string(option) + " is given twice; give it once";
}

CliInvocation ParseCliArguments(const std::vector<std::string>& arguments, CliContext& ctx) {
    using Action = CliInvocation::Action;
    std::ostream& err = ctx.err;
    CommandLineInfo switches(ctx.options);
    std::optional<std::string> command;

    bool help = false;
    std::vector<std::string> connectionOptions; // given so far

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        std::string error;
        const ConnectionOption connection =
            TakeConnectionOption(arguments, i, ctx.connection, error);
        if (connection == ConnectionOption::Bad) {
            err << "kelvo-cli: " << error << "\n";
            return {Action::Usage};
        }
        if (connection == ConnectionOption::Taken) {
            if (std::find(connectionOptions.begin(), connectionOptions.end(), a) !=
                connectionOptions.end()) {
                err << "kelvo-cli: " << RepeatedOptionText(a) << "\n";
                return {Action::Usage};
            }
            connectionOptions.push_back(a);
            continue;
        }
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            return {Action::Version};
        } else if (a == "--yes") {
            ctx.yes = true;
        } else if (a == "--no-wait") {
            ctx.noWait = true;
        } else if (a == "-q" || a == "--quiet") {
            ctx.quiet = true;
            ctx.verbose = false;
        } else if (a == "-v" || a == "--verbose") {
            ctx.verbose = true;
            ctx.quiet = false;
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
            return {help ? Action::Help : Action::Run, &c};
    err << "kelvo-cli: unknown command \"" << *command << "\" (see kelvo-cli --help)\n";
    return {Action::Usage};
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const ConnectionRequest& connection) {
    CliContext ctx(out, err);
    ctx.connection = connection;
    const CliInvocation what = ParseCliArguments(arguments, ctx);
    int code = kExitDone;
    switch (what.action) {
    case CliInvocation::Action::Help:
        if (what.command)
            PrintCommandHelp(*what.command, out);
        else
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
