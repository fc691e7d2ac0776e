#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// Takes the page on screen into the image, validates it and writes it to
// the board. 1 when the settings were written, -1 otherwise.
int UploadConfiguration(FlowContext& ctx);

// Shows "Incomplete Settings" and returns false when the image may not leave
// the program.
bool CheckSettingsValid(FlowContext& ctx);

// The outcome line of a refused upload or save, ended by "written" or "saved".
inline constexpr char kSettingsIncompleteOutcome[] =
    "A setting is missing or out of range; settings not ";

} // namespace kelvo
