#pragma once

#include "link/Link.h"

#include <functional>
#include <string>

namespace kelvo {

// Walks the cable's pins one at a time so they can be checked with a meter:
// pins 1 to 9 are raised in turn, and pins 10 to 13, inputs the cable drives,
// are read and reported as they are. After each step `showMessage` says what
// the pin should now measure and returns when the user has seen it. Leaves
// all three registers at 0x00.
void RunPinTest(Link& link, const std::function<void(const std::string&)>& showMessage);

} // namespace kelvo
