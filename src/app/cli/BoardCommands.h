#pragma once

#include "app/cli/Cli.h"
#include "link/UsbProgrammers.h"

#include <string>
#include <vector>

namespace kelvo {

int RunDownloadCommand(CliContext& cli);
int RunUploadCommand(CliContext& cli);
int RunReadFirmwareCommand(CliContext& cli);
int RunUpdateFirmwareCommand(CliContext& cli);
int RunFactoryDefaultsCommand(CliContext& cli);
int RunPresetCommand(CliContext& cli);
int RunPinTestCommand(CliContext& cli);
int RunProgrammersCommand(CliContext& cli);

// What `programmers` prints: the parallel cable, then each USB programmer
// found, by the name --programmer takes for it, and whether it can be
// opened.
std::string ProgrammerListing(const std::vector<UsbProgrammerFound>& found);

} // namespace kelvo
