#pragma once

#include "ops/BoardSearch.h"

#include <optional>
#include <string_view>

namespace kelvo {

enum class Preset { Conservative, Normal, Fast, Extreme };

std::optional<Preset> PresetFromName(std::string_view name);

// Loads the preset's firing, eye and closed-bolt values into the image, the
// eye bypass flag with its after-eye delay; the board is not touched until
// an upload.
void ApplyPreset(Preset preset, BoardSettingsImage& image, const BoardInfo& info);

// Asks, writes 0xFF to every settings byte so the board restores its factory
// block, waits, and reads the board back. Returns whether the board was reset
// and read back.
bool FactoryDefaults(FlowContext& ctx);

} // namespace kelvo
