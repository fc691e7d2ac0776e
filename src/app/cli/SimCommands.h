#pragma once

#include "app/cli/Cli.h"

namespace kelvo {

// kelvo-cli sim-create FILE --family avr|8051 [options]: writes a new
// simulated board state file.
int RunSimCreate(CliContext& ctx);

inline constexpr std::string_view kSimCreateUsage =
    "FILE --family avr|8051 [--board CODE] [--firmware MAJOR.MINOR] [--battery VOLTS] "
    "[--halcyra-mode 0|1] [--address HEX] [--bus-cycle-ns N] [--floating-status HEX] "
    "[--signature HEX] [--eesave] [--pace FACTOR] [--no-board] [--no-power] "
    "[--stuck-bit ADDR:BIT:LEVEL] [--answer-from N] [--bit-errors RATE[:SEED]] "
    "[--code INTEL-HEX-FILE] [--force]";

} // namespace kelvo
