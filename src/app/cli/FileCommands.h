#pragma once

#include "app/cli/Cli.h"

namespace kelvo {

// kelvo-cli pack-firmware IN.hex --board CODE -o OUT.efw
int CmdPackFirmware(CliContext& ctx);

} // namespace kelvo
