#pragma once

#include "app/cli/Cli.h"

namespace kelvo {

int RunDownloadCommand(CliContext& cli);
int RunUploadCommand(CliContext& cli);
int RunReadFirmwareCommand(CliContext& cli);
int RunUpdateFirmwareCommand(CliContext& cli);
int RunFactoryDefaultsCommand(CliContext& cli);
int RunPresetCommand(CliContext& cli);
int RunPinTestCommand(CliContext& cli);
int RunProgrammersCommand(CliContext& cli);

} // namespace kelvo
