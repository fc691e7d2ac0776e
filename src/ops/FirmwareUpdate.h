#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// How far Update Firmware got.
enum class FirmwareUpdate {
    NotWritten,         // nothing was written to the board
    Complete,           // firmware written, and the settings after it
    SettingsNotWritten, // firmware written, the settings could not be
};

// Update Firmware: checks the chosen file against the board, writes it,
// writes the settings back and has the board read again. When no board has
// been read, it asks before writing, since the file cannot be checked. Under
// "initprogramming" it runs InitialProgrammingFirmware instead (Complete
// when the firmware was written).
FirmwareUpdate UpdateFirmware(FlowContext& ctx);

// "Bad Firmware File": the file is not a sound firmware image.
void ShowInvalidFirmware(FlowHost& host);

// A bare firmware write for programming new boards one after another from
// the file chosen first; a double beep says it is done.
bool InitialProgrammingFirmware(FlowContext& ctx);

} // namespace kelvo
