#include "settings/PageRules.h"

#include "settings/BoardNames.h"
#include "settings/EditText.h"
#include "settings/Tables.h"

namespace kelvo {

std::string DwellSpinText(int position) {
    return FormatHalves(position);
}

std::string SecondsSpinText(int position) {
    return position == 59 ? std::string("55") : FormatTwoDigits(position);
}

int MinutesSpinMapping::Map(int position) {
    const auto last = m_lastMinutes;
    int minutes = position;
    switch (position) {
    case 4:
        minutes = (!last || *last == 3) ? 5 : 3;
        break;
    case 6:
        minutes = last == 5 ? 7 : 5;
        break;
    case 8:
        minutes = last != 10 ? 10 : 7;
        break;
    case 9:
        minutes = last == 10 ? 7 : 10;
        break;
    case 11:
        minutes = last == 12 ? 10 : 12;
        break;
    case 13:
        minutes = last == 12 ? 15 : 12;
        break;
    case 14:
        minutes = !last ? 15 : 12;
        break;
    default:
        break;
    }
    // Every result is remembered, the allowed positions included: otherwise
    // the wrap from 15 to 01 would leave 15 here and stepping up from 03 would
    // turn 4 back into 3 for ever.
    m_lastMinutes = minutes;
    return minutes;
}

std::optional<bool> BoltTimerWaitEnabled(int eyeModePosition) {
    if (eyeModePosition < 0 || eyeModePosition >= static_cast<int>(EyeModeTexts.size()))
        return std::nullopt;
    return eyeModePosition < kBoltTimerEyeModes;
}

void SelectEyeMode(EyePageValues& values, int position) {
    values.eyeMode = position;
    if (const auto enabled = BoltTimerWaitEnabled(position))
        values.boltTimerWaitEnabled = *enabled;
}

void ClickBypassEye(EyePageValues& values) {
    values.bypassEye = true;
    values.delay = false;
    values.delayEnabled = false;
    values.delayText.clear();
    values.m_delayText.clear();
}

void ClickDelay(EyePageValues& values) {
    values.bypassEye = false;
    values.delay = true;
    values.delayEnabled = true;
    if (values.m_delayText.empty()) {
        values.m_delayText = "0";
        values.delayText = "0";
    }
}

std::size_t LcdMenuItemCount(int dialogMode) {
    return IsClosedBoltMode(dialogMode) ? LcdMenuItemTexts.size() : kOpenBoltLcdMenuItems;
}

std::int64_t LcdMenuMask(const BoardSettingsImage& image, int dialogMode) {
    std::int64_t mask = image[entry::lcdMenuMask0] + std::int64_t{256} * image[entry::lcdMenuMask1];
    if (IsClosedBoltMode(dialogMode))
        mask += std::int64_t{65536} * image[entry::lcdMenuMask2];
    return mask;
}

} // namespace kelvo
