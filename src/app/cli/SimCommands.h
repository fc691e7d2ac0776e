#pragma once

#include "app/SimConnection.h"
#include "app/cli/Cli.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvo {

// kelvo-cli sim-create FILE --family avr|8051 [options]: writes a new
// simulated board state file.
int RunSimCreate(CliContext& ctx);

// What sim-create is asked to make.
struct SimCreateRequest {
    std::string file;
    NewSimBoard board;
    SimBoardState state; // the board, its code still erased
    std::optional<std::string> codeFile;
    bool force = false;
};

// Checks sim-create's arguments and lays out the board they describe;
// touches no file. On false `problem` says what is wrong.
bool ParseSimCreateArguments(const std::vector<std::string>& args, SimCreateRequest& request,
                             std::string& problem);

inline constexpr std::string_view kSimCreateUsage =
    "FILE --family avr|8051 [--board CODE] [--firmware MAJOR.MINOR] [--battery VOLTS] "
    "[--halcyra-mode 0|1] [--address HEX] [--bus-cycle-ns N] [--floating-status HEX] "
    "[--signature HEX] [--lock-bits HEX] [--eesave] [--pace FACTOR] [--no-board] [--no-power] "
    "[--stuck-bit ADDR:BIT:LEVEL] [--answer-from N] [--bit-errors RATE[:SEED]] "
    "[--code INTEL-HEX-FILE] [--force]";

} // namespace kelvo
