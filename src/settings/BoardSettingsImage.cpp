#include "settings/BoardSettingsImage.h"

namespace kelvo {

void ResetSettingsImage(BoardSettingsImage& image) {
    for (std::size_t i = entry::firingMode; i <= entry::asDelay; ++i)
        image[i] = Unset;
    for (std::size_t i : {entry::aeBypassRofPeriod, entry::powersaveMinutes, entry::absDwell,
                          entry::ebMinBoltOpen, entry::mechanicalDebounce, entry::boltTimerWait})
        image[i] = Unset;
}

} // namespace kelvo
