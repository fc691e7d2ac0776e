#pragma once

#include "sim/SimBoardState.h"

#include <string>
#include <string_view>

namespace kelvo {

// The JSON text of a board state (memories as upper-case hexadecimal).
std::string FormatSimState(const SimBoardState& state);

// Reads a board state from JSON text. On failure returns false and a message
// that names `source` and what is wrong; `state` is then left untouched.
bool ParseSimState(std::string_view text, std::string_view source, SimBoardState& state,
                   std::string& error);

} // namespace kelvo
