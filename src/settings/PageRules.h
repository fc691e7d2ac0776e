#pragma once

#include "settings/BoardSettingsImage.h"
#include "settings/PageValues.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvo {

// Dwell spin (half-milliseconds) to the text of edit 1001: 37 -> "18.5".
std::string DwellSpinText(int position);

// Seconds spin (0..59, step 5) to the text of edit 1012. 59 is the wrap from
// 00 downwards and shows "55"; single digits get a leading zero.
std::string SecondsSpinText(int position);

// The minutes spin steps 1..15 by one, but only TimerMinutesTable values are
// allowed: positions between them are turned into the neighbour in the
// direction of travel, which is guessed from the value produced last.
struct MinutesSpinMapping {
    // Kept for the page object's whole life, never reset by a fill.
    std::optional<int> m_lastMinutes;

    // Returns the minutes to show ("%02d") for the new spin position.
    int Map(int position);
};

// Whether edit 1003, its spin and its label are enabled for an entry value.
constexpr bool AfterEyeDelayEnabled(std::int32_t afterEyeDelay) {
    return afterEyeDelay >= 1;
}

// Bolt timer wait controls for an eye-mode list position: the bolt-timer
// modes enable them, the eye-monitored ones disable them, anything else
// (no selection) leaves them as they are.
std::optional<bool> BoltTimerWaitEnabled(int eyeModePosition);

// Applies BoltTimerWaitEnabled to the page record after a selection change.
void SelectEyeMode(EyePageValues& values, int position);

// "Bypass Eye" clicked: disables and empties the delay edit.
void ClickBypassEye(EyePageValues& values);

// "Delay" clicked: enables the delay edit; it shows 0 when it was empty.
void ClickDelay(EyePageValues& values);

// Items of the LCD Menu tree for the display mode.
std::size_t LcdMenuItemCount(int dialogMode);

// The page's working mask, m_menuMask. The closed-bolt bits count only in
// closed-bolt mode.
std::int64_t LcdMenuMask(const BoardSettingsImage& image, int dialogMode);

} // namespace kelvo
