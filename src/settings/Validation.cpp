#include "settings/Validation.h"

#include "settings/BoardNames.h"

#include <initializer_list>

namespace kelvo {

namespace {

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

// Leaves the first unset entry in `failed`.
bool AllSet(const BoardSettingsImage& image, std::initializer_list<std::size_t> entries,
            std::size_t& failed) {
    for (std::size_t e : entries)
        if (image[e] < 0) {
            failed = e;
            return false;
        }
    return true;
}

bool Check(bool passed, std::size_t entry, std::size_t& failed) {
    if (!passed)
        failed = entry;
    return passed;
}

// The rules in the order they are checked; the first that fails decides and
// leaves the entry it found wanting in `failed`.
int FirstFailedRule(const BoardSettingsImage& image, int dialogMode, std::string_view boardTypeName,
                    std::size_t& failed) {
    if (!Check(InRange(image[entry::operationMode], 0, 1), entry::operationMode, failed))
        return 1;
    if (!Check(image[entry::afterEyeDelay] >= 0, entry::afterEyeDelay, failed))
        return 2;
    if (!Check(InRange(image[entry::eyeMode], 0, 5), entry::eyeMode, failed))
        return 3;
    if (!Check(InRange(image[entry::timerMode], 0, 1), entry::timerMode, failed))
        return 4;
    if (!AllSet(image,
                {entry::firingMode, entry::rofPeriod, entry::aeBypassRofPeriod, entry::timerStart,
                 entry::timerMinutesCode, entry::timerSecondsFives, entry::lcdSection1,
                 entry::lcdSection1B, entry::lcdSection2, entry::lcdSection2B, entry::debounce,
                 entry::dwell},
                failed))
        return 5;
    if (IsClosedBoltMode(dialogMode) &&
        !AllSet(image,
                {entry::boltDelayOffset, entry::minBoltOpen, entry::asDelay, entry::ebMinBoltOpen},
                failed))
        return 6;
    if (!Check(image[entry::powersaveMinutes] >= 0, entry::powersaveMinutes, failed))
        return 7;
    if (RequiresEyeSensitivity(boardTypeName) &&
        !Check(image[entry::eyeSensitivity] >= 0, entry::eyeSensitivity, failed))
        return 8;
    if (!AllSet(image, {entry::absDwell, entry::mechanicalDebounce}, failed))
        return 9;
    return 0;
}

} // namespace

SettingsValidation ValidateSettings(const BoardSettingsImage& image, int dialogMode,
                                    std::string_view boardTypeName) {
    std::size_t failed = 0;
    const int rule = FirstFailedRule(image, dialogMode, boardTypeName, failed);
    if (rule == 0)
        return {};
    return {false, rule, kIncompleteSettingsText, kIncompleteSettingsCaption, failed};
}

} // namespace kelvo
