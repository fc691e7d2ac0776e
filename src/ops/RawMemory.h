#pragma once

#include "ops/BoardSearch.h"
#include "settings/BoardSettingsImage.h"

#include <string>

namespace kelvo {

enum class RawMemoryMode { Read = 0, WillBeWritten = 1 };

// The text of the raw memory view: entries 0 to 35 in four lines.
std::string RawMemoryText(const BoardSettingsImage& image, RawMemoryMode mode);

// Shows it in a message box and returns when the user closes it.
void ShowRawMemory(FlowContext& ctx, RawMemoryMode mode);

} // namespace kelvo
