#pragma once

#include "link/Link.h"

#include <functional>
#include <string>

namespace kelvo {

// Walks the cable's pins one at a time so they can be checked with a meter:
// after each step `showMessage` names the pin that is now high and returns
// when the user has seen it. Leaves all three registers at 0x00.
void RunPinTest(Link& link, const std::function<void(const std::string&)>& showMessage);

} // namespace kelvo
