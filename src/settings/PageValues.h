#pragma once

#include "settings/BoardSettingsImage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// A list position that selects nothing.
inline constexpr int kNoSelection = -1;

// Leaving a page through the options list and collecting the page on screen
// before a save or upload read a few controls differently.
enum class CollectVariant { SwitchPage, CollectCurrentPage };

// Each record holds what its page's controls hold; the Qt pages only copy it
// to and from their widgets. Fill functions build a record from the image.
// Collect functions take the record as the image last took it in (`shown`:
// the fill, or the page's previous collection) and as the controls hold it
// now: looking is not editing, so a control left as it was
// shown keeps its entry's byte, whatever that byte is (out of its control's
// range, unknown to a list, or Unset). So do controls the page hides or
// disables because of the board or display mode, and LCD menu bits without an
// item. Only a control the user changed is read back into its entries.

struct FiringPageValues {
    int firingMode = kNoSelection;      // list 1029
    int rateOfFire = kNoSelection;      // list 1030, a RofPeriodTable position
    int aeBypassRof = kNoSelection;     // list 1032
    bool standard = false;              // radio 1042
    bool testMaxCps = false;            // radio 1043
    std::string dwellText;              // edit 1001, milliseconds with one decimal
    std::string debounceText;           // edit 1002
    std::string absDwellText;           // edit 1083
    std::string mechanicalDebounceText; // edit 1087
    // Spin positions the fill sets; nullopt leaves the spin where it is.
    std::optional<std::int32_t> dwellSpin;              // 1036, half-milliseconds
    std::optional<std::int32_t> debounceSpin;           // 1037
    std::optional<std::int32_t> absDwellSpin;           // 1085
    std::optional<std::int32_t> mechanicalDebounceSpin; // 1089
};

struct ClosedBoltPageValues {
    std::string boltDelayOffsetText; // edit 1013
    std::string asDelayText;         // edit 1014
    std::string minBoltOpenText;     // edit 1015
    std::string ebMinBoltOpenText;   // edit 1016
};

struct EyePageValues {
    bool bypassEye = false;             // radio 1038
    bool delay = false;                 // radio 1040
    std::string delayText;              // edit 1003
    std::string m_delayText;            // what the page itself last put into edit 1003
    bool delayEnabled = true;           // edit 1003, spin 1041, label 1045
    int eyeMode = kNoSelection;         // list 1080, sorted positions
    std::string boltTimerWaitText;      // edit 1077, wait without the 20 ms base
    bool boltTimerWaitEnabled = true;   // edit 1077, spin 1049, labels 1081 and 1046
    std::string eyeSensitivityText;     // edit 1076
    bool eyeSensitivityVisible = false; // edit 1076, spin 1048, group 1075
};

struct TimerPageValues {
    bool countsDown = false;      // radio 1048
    bool countsUp = false;        // radio 1049
    int timerInit = kNoSelection; // list 1031
    std::string minutesText;      // edit 1004
    std::string secondsText;      // edit 1012
};

struct LcdDisplayPageValues {
    std::array<int, 4> sections = {kNoSelection, kNoSelection, kNoSelection,
                                   kNoSelection}; // lists 1021..1024
};

struct LcdMenuItem {
    std::string_view text;
    int bit = 0; // the tree item's data
    bool checked = false;
};

struct LcdMenuPageValues {
    std::vector<LcdMenuItem> items; // tree 1063, in tree order

    // The mask of the checked items and the mask of all items.
    std::int64_t Checked() const;
    std::int64_t Shown() const;
};

struct PowerPageValues {
    std::string powersaveText; // edit 1014
};

struct DialogModePageValues {
    bool openBolt = false;   // radio 1058
    bool closedBolt = false; // radio 1059
};

// Only the Firing page reads a control differently in the two variants
// (ABS dwell as a number when leaving the page, as an integer for a save).
FiringPageValues FillFiringPage(const BoardSettingsImage& image);
void CollectFiringPage(const FiringPageValues& shown, const FiringPageValues& values,
                       CollectVariant variant, BoardSettingsImage& image);

ClosedBoltPageValues FillClosedBoltPage(const BoardSettingsImage& image);
void CollectClosedBoltPage(const ClosedBoltPageValues& shown, const ClosedBoltPageValues& values,
                           BoardSettingsImage& image);

// In the closed-bolt set the eye-mode list and the bolt timer wait stay
// unfilled and eye sensitivity is hidden: their bytes stay as they were
// unless the user sets the list or the wait.
EyePageValues FillEyePage(const BoardSettingsImage& image, int dialogMode,
                          std::string_view boardTypeName);
void CollectEyePage(const EyePageValues& shown, const EyePageValues& values,
                    BoardSettingsImage& image);

TimerPageValues FillTimerPage(const BoardSettingsImage& image);
void CollectTimerPage(const TimerPageValues& shown, const TimerPageValues& values,
                      BoardSettingsImage& image);

LcdDisplayPageValues FillLcdDisplayPage(const BoardSettingsImage& image);
void CollectLcdDisplayPage(const LcdDisplayPageValues& shown, const LcdDisplayPageValues& values,
                           BoardSettingsImage& image);

// The tree has 16 items in open-bolt mode and 19 in closed-bolt mode.
// Collecting changes only the bits of the tree's items, and only once one
// of their checks differs from what was shown.
LcdMenuPageValues FillLcdMenuPage(const BoardSettingsImage& image, int dialogMode);
void CollectLcdMenuPage(const LcdMenuPageValues& shown, const LcdMenuPageValues& values,
                        BoardSettingsImage& image);

PowerPageValues FillPowerPage(const BoardSettingsImage& image);
void CollectPowerPage(const PowerPageValues& shown, const PowerPageValues& values,
                      BoardSettingsImage& image);

// The Dialog Mode page edits dialogMode, not the image; collecting returns it.
DialogModePageValues FillDialogModePage(int dialogMode);
int CollectDialogModePage(const DialogModePageValues& values);

} // namespace kelvo
