#pragma once

#include "app/BoardConnection.h"
#include "ops/RunOptions.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// kelvo-cli's exit codes. A run stopped by SIGINT, SIGTERM or SIGHUP ends with 128
// plus the signal's number, as a shell reports a process the signal killed.
inline constexpr int kExitDone = 0;         // everything the command promised was done
inline constexpr int kExitFailed = 1;       // it failed; the message says why
inline constexpr int kExitUsage = 2;        // the command line was wrong
inline constexpr int kExitFirmwareOnly = 3; // firmware written, the settings or the
                                            // read-back after it not

// Everything kelvo-cli took from its command line before the command runs.
struct CliContext {
    CliContext(std::ostream& o, std::ostream& e) : out(o), err(e) {}

    RunOptions options;
    std::optional<std::string> boardTypeName; // from -boardtypeNAME
    ConnectionRequest connection;
    bool yes = false;              // answer questions Yes
    bool noWait = false;           // pin test: do not wait for Enter
    bool quiet = false;            // -q: errors only
    bool verbose = false;          // -v: every attempt and operation with its cost
    std::vector<std::string> args; // the command's own arguments
    std::ostream& out;
    std::ostream& err;
};

struct CliCommand {
    std::string_view name;
    std::string_view usage;   // arguments after the name
    std::string_view summary; // one line for --help
    int (*run)(CliContext&);
    std::string_view details = {}; // more for `kelvo-cli COMMAND --help`
    bool listsBoardCodes = false;  // that help lists the board type codes
};

const std::vector<CliCommand>& CliCommands();

// Whether two paths name one file (links followed); false when either does
// not exist. An output must never be one of the command's inputs.
bool NamesSameFile(const std::string& a, const std::string& b);

// "-o is given twice; give it once": an option given again would otherwise
// silently drop what it was given first.
std::string RepeatedOptionText(std::string_view option);

// What the command line asks for, once parsed.
struct CliInvocation {
    enum class Action { Run, Help, Version, Usage } action;
    const CliCommand* command = nullptr; // for Run, and Help of one command
};

// Takes kelvo-cli's options into `ctx` and finds the command; what is wrong
// with the command line goes to ctx.err. Runs nothing.
CliInvocation ParseCliArguments(const std::vector<std::string>& arguments, CliContext& ctx);

// `text` broken into lines of at most `width` columns at blanks, the first
// line after `first`, the others indented by `indent` blanks.
std::string WrapText(std::string_view first, std::string_view text, std::size_t indent,
                     std::size_t width = 80);

// The whole of kelvo-cli; returns the exit code. `connection` is where the
// command line's connection options start from (tests point the ppdev
// lookup at a tree of their own).
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const ConnectionRequest& connection = {});

} // namespace kelvo
