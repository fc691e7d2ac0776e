#include "app/cli/Cli.h"
#include "app/cli/FileCommands.h"
#include "app/cli/SimCommands.h"

namespace kelvo {

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {"pack-firmware", "IN.hex --board CODE -o OUT.efw",
         "make a firmware image file (.efw) from an Intel HEX file", CmdPackFirmware},
        {"sim-create", kSimCreateUsage, "write a new simulated board state file", RunSimCreate},
    };
    return commands;
}

} // namespace kelvo
