#include "app/cli/BoardCommands.h"
#include "app/cli/Cli.h"
#include "app/cli/FileCommands.h"
#include "app/cli/SimCommands.h"

namespace kelvo {

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {"download", "[-o FILE.esf|-]",
         "read the board and print its type, firmware, battery and settings bytes",
         RunDownloadCommand},
        {"upload", "FILE.esf", "read the board, load the settings file and write it",
         RunUploadCommand},
        {"update-firmware", "FILE.efw",
         "write new firmware, then the settings, and read the board again",
         RunUpdateFirmwareCommand},
        {"factory-defaults", "", "reset the board to its factory settings (needs --yes)",
         RunFactoryDefaultsCommand},
        {"preset", "conservative|normal|fast|extreme",
         "read the board, apply a preset and write it", RunPresetCommand},
        {"pintest", "",
         "raise the cable's pins 1 to 9 one at a time, then report inputs 10 to 13 (Enter "
         "between steps)",
         RunPinTestCommand},
        {"pack-firmware", "IN.hex --board CODE -o OUT.efw|-",
         "make a firmware image file (.efw) from an Intel HEX file", CmdPackFirmware},
        {"sim-create", kSimCreateUsage, "write a new simulated board state file", RunSimCreate},
    };
    return commands;
}

} // namespace kelvo
