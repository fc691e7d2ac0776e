#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// Update Firmware: checks the chosen file against the board, writes it,
// writes the settings back and has the board read again. Under
// "initprogramming" it runs InitialProgrammingFirmware instead. Returns
// whether the firmware was written.
bool UpdateFirmware(FlowContext& ctx);

// A bare firmware write for programming new boards one after another from
// the file chosen first; a double beep says it is done.
bool InitialProgrammingFirmware(FlowContext& ctx);

} // namespace kelvo
