#pragma once

#include "settings/BoardSettingsImage.h"

namespace kelvo {

// The board reads the eye bypass flag (entry 15) beside the after-eye delay
// (entry 5), and the Eye page writes both; a preset or an opened settings
// file sets the delay alone, so the flag follows it here: bypassed for a
// delay of 0, not for 1 or more, untouched while the delay is empty.
inline void SetEyeBypassFromDelay(BoardSettingsImage& image) {
    const std::int32_t delay = image[entry::afterEyeDelay];
    if (delay >= 0)
        image[entry::eyeBypass] = delay == 0 ? 1 : 0;
}

} // namespace kelvo
