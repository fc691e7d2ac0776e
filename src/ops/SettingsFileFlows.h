#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// The first half of Save Configuration: takes the page on screen into the
// image and validates it, telling the user when it fails. True when the
// image may be saved.
bool ReadyToSave(FlowContext& ctx);

// Save Configuration: validates the image and writes it with the display
// mode to a settings file. Returns whether a file was written.
bool SaveConfiguration(FlowContext& ctx);

// Open Configuration: loads a settings file into the image after the
// version questions and re-creates the page on screen. Returns whether a
// file was loaded; a cancelled dialog or an unreadable file change nothing.
bool OpenConfiguration(FlowContext& ctx);

// Its second half, for a file already read: `text` is the content of the
// file at `path`.
bool OpenConfigurationText(FlowContext& ctx, const std::string& path, const std::string& text);

} // namespace kelvo
