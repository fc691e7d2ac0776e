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

// Everything kelvo-cli took from its command line before the command runs.
struct CliContext {
    CliContext(std::ostream& o, std::ostream& e) : out(o), err(e) {}

    RunOptions options;
    std::optional<std::string> boardTypeName; // from -boardtypeNAME
    ConnectionRequest connection;
    std::optional<std::uint16_t> portOverride; // --port HEX
    bool yes = false;                          // answer questions Yes
    bool noWait = false;                       // pin test: do not wait for Enter
    std::vector<std::string> args;             // the command's own arguments
    std::ostream& out;
    std::ostream& err;
};

struct CliCommand {
    std::string_view name;
    std::string_view usage;   // arguments after the name
    std::string_view summary; // one line for --help
    int (*run)(CliContext&);
};

const std::vector<CliCommand>& CliCommands();

// The whole of kelvo-cli; returns the exit code.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace kelvo
