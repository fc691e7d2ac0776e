#include "app/cli/BoardCommands.h"
#include "app/cli/Cli.h"
#include "app/cli/FileCommands.h"
#include "app/cli/SimCommands.h"

namespace kelvo {

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {"download", "[--raw|--json] [-o FILE.esf|-]",
         "read the board and print its type, firmware, battery and settings", RunDownloadCommand,
         "Prints \"Board Type:\", \"Firmware Revision:\", \"Battery Voltage:\" and the\n"
         "settings by name, grouped and in the units of the option pages. --raw prints\n"
         "the 37 settings bytes as \"Entry N: value\" instead; --json prints the board\n"
         "information and the settings (names, values, raw bytes) as one JSON\n"
         "document. -o also saves a settings file; with -o - the file goes to\n"
         "standard output and the listing to standard error. Under -pintest the\n"
         "cable pin test runs instead.\n",
         true},
        {"upload", "FILE.esf", "read the board, load the settings file and write it",
         RunUploadCommand,
         "The file is read first (once, so - or /dev/stdin reads standard input) and\n"
         "a missing one is named before any board is searched for. A damaged file\n"
         "loads as the desktop program loads it; when the settings are then\n"
         "incomplete, the setting that failed is named and nothing is written.\n"},
        {"update-firmware", "[--backup BACKUP.efw] FILE.efw",
         "write new firmware, then the settings, and read the board again",
         RunUpdateFirmwareCommand,
         "FILE.efw is checked whole before the board is searched for; a refused file\n"
         "is named with its line and the reason. It is read more than once, so it\n"
         "cannot be standard input. --backup first reads the board's\n"
         "firmware into BACKUP.efw (as read-firmware does) and writes nothing when\n"
         "that fails. A board that cannot be read needs --yes (or\n"
         "-bypassfwboardcheck) to be written, since the file cannot be checked\n"
         "against it. Before the erase the settings are saved to a file in\n"
         "$XDG_STATE_HOME/kelvo (~/.local/state/kelvo); a run that does not finish\n"
         "names it, and kelvo-cli upload FILE puts the settings back.\n",
         true},
        {"read-firmware", "-o FILE.efw|FILE.hex|-",
         "read the board's firmware into a file that update-firmware restores",
         RunReadFirmwareCommand,
         "Reads the whole code memory with the instructions the verification uses,\n"
         "until two reads agree.\n"
         "FILE.efw (or -) is a firmware image for the board's type, FILE.hex plain\n"
         "Intel HEX. A part whose lock bits forbid reading it, or whose code reads\n"
         "blank, is refused: no file is written.\n",
         true},
        {"factory-defaults", "", "reset the board to its factory settings (needs --yes)",
         RunFactoryDefaultsCommand, "Prints the board as it reads back after the reset.\n"},
        {"preset", "conservative|normal|fast|extreme",
         "read the board, apply a preset and write it", RunPresetCommand},
        {"pintest", "",
         "raise the cable's pins 1 to 9 one at a time, then report inputs 10 to 13 (Enter "
         "between steps)",
         RunPinTestCommand, "--no-wait goes through the steps without waiting for Enter.\n"},
        {"programmers", "", "list the programmers connected to this computer",
         RunProgrammersCommand,
         "Lists each USB programmer by the name --programmer takes, and says when\n"
         "one cannot be opened for want of permission. A parallel port cannot tell\n"
         "whether a cable is on it, so it is always listed.\n"},
        {"pack-firmware", "IN.hex --board CODE -o OUT.efw|-",
         "make a firmware image file (.efw) from an Intel HEX file", CmdPackFirmware,
         "IN.hex is checked (record syntax, checksums, ascending addresses, 8 KB) and\n"
         "written as 16-byte records in whole 64-byte pages.\n",
         true},
        {"sim-create", kSimCreateUsage, "write a new simulated board state file", RunSimCreate,
         "Faults and bus options:\n"
         "  --no-board                  nothing on the cable\n"
         "  --no-power                  the part is there but unpowered\n"
         "  --signature HEX             another AVR signature than 1E9307\n"
         "  --stuck-bit ADDR:BIT:LEVEL  a data-memory bit that always reads LEVEL\n"
         "  --answer-from N             the part ignores enables before the Nth\n"
         "  --bit-errors RATE[:SEED]    bits crossing the cable flip at RATE\n"
         "  --lock-bits HEX             the lock bits, 0 programmed: FE stops\n"
         "                              programming, FC reading too\n"
         "  --eesave                    AVR: chip erase keeps the EEPROM\n"
         "  --pace FACTOR               held to real time times FACTOR (0.001 to 1000)\n"
         "  --address HEX, --bus-cycle-ns N, --floating-status HEX\n"
         "--code loads firmware from an Intel HEX file; --force replaces FILE.\n",
         true},
    };
    return commands;
}

} // namespace kelvo
