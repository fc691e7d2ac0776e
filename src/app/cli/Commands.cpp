#include "app/cli/Cli.h"

namespace kelvo {

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {};
    return commands;
}

} // namespace kelvo
