#include "settings/Validation.h"

#include "settings/BoardNames.h"

#include <initializer_list>

namespace kelvo {

namespace {

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

bool AllSet(const BoardSettingsImage& image, std::initializer_list<std::size_t> entries) {
    for (std::size_t e : entries)
        if (image[e] < 0)
            return false;
    return true;
}

// The rules in the order they are checked; the first that fails decides.
int FirstFailedRule(const BoardSettingsImage& image, int dialogMode,
                    std::string_view boardTypeName) {
    if (!InRange(image[entry::operationMode], 0, 1))
        return 1;
    if (image[entry::afterEyeDelay] < 0)
        return 2;
    if (!InRange(image[entry::eyeMode], 0, 5))
        return 3;
    if (!InRange(image[entry::timerMode], 0, 1))
        return 4;
    if (!AllSet(image, {entry::firingMode, entry::rofPeriod, entry::aeBypassRofPeriod,
                        entry::timerStart, entry::timerMinutesCode, entry::timerSecondsFives,
                        entry::lcdSection1, entry::lcdSection1B, entry::lcdSection2,
                        entry::lcdSection2B, entry::debounce, entry::dwell}))
        return 5;
    if (IsClosedBoltMode(dialogMode) && !AllSet(image, {entry::boltDelayOffset, entry::minBoltOpen,
                                                        entry::asDelay, entry::ebMinBoltOpen}))
        return 6;
    if (image[entry::powersaveMinutes] < 0)
        return 7;
    if (RequiresEyeSensitivity(boardTypeName) && image[entry::eyeSensitivity] < 0)
        return 8;
    if (!AllSet(image, {entry::absDwell, entry::mechanicalDebounce}))
        return 9;
    return 0;
}

} // namespace

SettingsValidation ValidateSettings(const BoardSettingsImage& image, int dialogMode,
                                    std::string_view boardTypeName) {
    const int rule = FirstFailedRule(image, dialogMode, boardTypeName);
    if (rule == 0)
        return {};
    return {false, rule, kIncompleteSettingsText, kIncompleteSettingsCaption};
}

} // namespace kelvo
