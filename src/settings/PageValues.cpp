#include "settings/PageValues.h"

#include "settings/BoardNames.h"
#include "settings/EditText.h"
#include "settings/PageRules.h"
#include "settings/Tables.h"

#include <algorithm>

namespace kelvo {

namespace {

// Position of an entry in a list of the given size; out of range selects nothing.
int ListPosition(std::int32_t value, std::size_t size) {
    return value >= 0 && static_cast<std::size_t>(value) < size ? value : kNoSelection;
}

std::int32_t SelectedOrUnset(int position) {
    return position >= 0 ? position : Unset;
}

// "%d", or the blank marker for a negative entry.
std::string IntegerOrBlank(std::int32_t value, std::string_view blank) {
    return value < 0 ? std::string(blank) : FormatInteger(value);
}

// Eye page fields are empty unless the entry is 1 or more.
std::string PositiveOrEmpty(std::int64_t shown, std::int32_t value) {
    return value >= 1 ? FormatInteger(shown) : std::string();
}

bool IsOneBlankOrEmpty(std::string_view text) {
    return text == kBlankOne || text == kBlankNone;
}

std::int32_t IntegerUnlessBlank(std::string_view text, std::string_view blank) {
    return text == blank ? Unset : ReadEditInteger(text);
}

std::int32_t EyeEditValue(std::string_view text) {
    return IsOneBlankOrEmpty(text) ? Unset : ReadEditInteger(text);
}

// The bolt timer wait edit shows the wait above the board's 20 ms base.
std::int32_t BoltTimerWaitValue(std::string_view text) {
    return IsOneBlankOrEmpty(text) ? Unset : AddClamped(ReadEditInteger(text), 20);
}

} // namespace

// Firing page.

FiringPageValues FillFiringPage(const BoardSettingsImage& image) {
    FiringPageValues v;
    v.firingMode = ListPosition(image[entry::firingMode], FiringModeTexts.size());

    const std::int32_t rof = image[entry::rofPeriod];
    if (rof != Unset) {
        const auto it = std::find(RofPeriodTable.begin(), RofPeriodTable.end(), rof);
        v.rateOfFire =
            it != RofPeriodTable.end() ? static_cast<int>(it - RofPeriodTable.begin()) : 0;
    }

    const std::int32_t aeRof = image[entry::aeBypassRofPeriod];
    if (aeRof != Unset) {
        const auto first = RofPeriodTable.begin() + kAeBypassRofOffset;
        const auto it = std::find(first, RofPeriodTable.end(), aeRof);
        v.aeBypassRof = it != RofPeriodTable.end() ? static_cast<int>(it - first) : 0;
    }

    v.standard = image[entry::operationMode] == 0;
    v.testMaxCps = image[entry::operationMode] == 1;

    const std::int32_t dwell = image[entry::dwell];
    v.dwellText = dwell < 0 ? std::string(kBlankOne) : FormatHalves(dwell);
    v.debounceText = IntegerOrBlank(image[entry::debounce], kBlankOne);
    v.mechanicalDebounceText = IntegerOrBlank(image[entry::mechanicalDebounce], kBlankOne);
    v.absDwellText = IntegerOrBlank(image[entry::absDwell], kBlankOne);

    v.debounceSpin = image[entry::debounce];
    if (image[entry::mechanicalDebounce] != Unset)
        v.mechanicalDebounceSpin = image[entry::mechanicalDebounce];
    v.absDwellSpin = image[entry::absDwell];
    v.dwellSpin = dwell;
    return v;
}

void CollectFiringPage(const FiringPageValues& v, CollectVariant variant,
                       BoardSettingsImage& image) {
    image[entry::firingMode] = SelectedOrUnset(v.firingMode);

    // An empty rate-of-fire list means "Unlimited".
    image[entry::rofPeriod] = ListPosition(v.rateOfFire, RofPeriodTable.size()) >= 0
                                  ? RofPeriodTable[static_cast<std::size_t>(v.rateOfFire)]
                                  : 1;
    image[entry::aeBypassRofPeriod] =
        ListPosition(v.aeBypassRof, kAeBypassRofCount) >= 0
            ? RofPeriodTable[static_cast<std::size_t>(v.aeBypassRof) + kAeBypassRofOffset]
            : 1;

    image[entry::operationMode] = v.standard ? 0 : v.testMaxCps ? 1 : Unset;

    image[entry::dwell] =
        v.dwellText == kBlankOne ? Unset : TruncateToEntry(ReadEditNumber(v.dwellText) * 2.0);

    if (v.absDwellText == kBlankOne)
        image[entry::absDwell] = Unset;
    else if (variant == CollectVariant::SwitchPage)
        image[entry::absDwell] = TruncateToEntry(ReadEditNumber(v.absDwellText));
    else
        image[entry::absDwell] = ReadEditInteger(v.absDwellText);

    image[entry::debounce] = IntegerUnlessBlank(v.debounceText, kBlankOne);
    image[entry::mechanicalDebounce] = IntegerUnlessBlank(v.mechanicalDebounceText, kBlankOne);
}

// Closed Bolt page.

ClosedBoltPageValues FillClosedBoltPage(const BoardSettingsImage& image) {
    ClosedBoltPageValues v;
    v.boltDelayOffsetText = IntegerOrBlank(image[entry::boltDelayOffset], kBlankOne);
    v.minBoltOpenText = IntegerOrBlank(image[entry::minBoltOpen], kBlankOne);
    v.ebMinBoltOpenText = IntegerOrBlank(image[entry::ebMinBoltOpen], kBlankOne);
    v.asDelayText = IntegerOrBlank(image[entry::asDelay], kBlankOne);
    return v;
}

void CollectClosedBoltPage(const ClosedBoltPageValues& v, CollectVariant variant,
                           BoardSettingsImage& image) {
    // Collecting the page on screen for a save or upload reads a blank field as 0.
    const auto read = [variant](const std::string& text) {
        return variant == CollectVariant::SwitchPage && IsOneBlankOrEmpty(text)
                   ? Unset
                   : ReadEditInteger(text);
    };
    image[entry::boltDelayOffset] = read(v.boltDelayOffsetText);
    image[entry::minBoltOpen] = read(v.minBoltOpenText);
    image[entry::ebMinBoltOpen] = read(v.ebMinBoltOpenText);
    image[entry::asDelay] = read(v.asDelayText);
}

// Eye page.

EyePageValues FillEyePage(const BoardSettingsImage& image, int dialogMode,
                          std::string_view boardTypeName) {
    EyePageValues v;
    const std::int32_t delay = image[entry::afterEyeDelay];
    v.bypassEye = delay == 0;
    v.delay = delay >= 1;
    v.delayText = delay >= 1 ? FormatInteger(std::int64_t{delay} - 1) : std::string();
    v.m_delayText = v.delayText;
    v.delayEnabled = AfterEyeDelayEnabled(delay);

    if (IsClosedBoltMode(dialogMode))
        return v; // eye mode and bolt timer wait stay empty, sensitivity hidden

    const std::int32_t wait = image[entry::boltTimerWait];
    v.boltTimerWaitText = PositiveOrEmpty(std::int64_t{wait} - 20, wait);
    SelectEyeMode(v, ListPosition(image[entry::eyeMode], EyeModeTexts.size()));
    if (HasEyeSensitivity(boardTypeName)) {
        v.eyeSensitivityVisible = true;
        const std::int32_t sensitivity = image[entry::eyeSensitivity];
        v.eyeSensitivityText = PositiveOrEmpty(sensitivity, sensitivity);
    }
    return v;
}

void CollectEyePage(const EyePageValues& v, CollectVariant variant, int dialogMode,
                    std::string_view boardTypeName, BoardSettingsImage& image) {
    const bool closedBolt = IsClosedBoltMode(dialogMode);
    if (variant == CollectVariant::SwitchPage) {
        if (closedBolt) {
            // The closed-bolt set has no eye controls; it leaves them neutral.
            image[entry::operationMode] = 0;
            image[entry::eyeMode] = 0;
            image[entry::eyeSensitivity] = 0;
            image[entry::boltTimerWait] = 0;
        } else {
            image[entry::eyeMode] = SelectedOrUnset(v.eyeMode);
            // Only a board that shows the field gets it back; another board's
            // byte is kept rather than replaced by an empty hidden field.
            if (HasEyeSensitivity(boardTypeName))
                image[entry::eyeSensitivity] = EyeEditValue(v.eyeSensitivityText);
            image[entry::boltTimerWait] = BoltTimerWaitValue(v.boltTimerWaitText);
        }
    } else {
        // The closed-bolt set leaves the eye-mode list unfilled; reading it
        // would make every save or upload with this page on screen invalid.
        image[entry::eyeMode] = closedBolt ? 0 : SelectedOrUnset(v.eyeMode);
        if (RequiresEyeSensitivity(boardTypeName) || (boardTypeName == kBoardMurrel && !closedBolt))
            image[entry::eyeSensitivity] = EyeEditValue(v.eyeSensitivityText);
        image[entry::boltTimerWait] = BoltTimerWaitValue(v.boltTimerWaitText);
    }

    if (v.bypassEye) {
        image[entry::afterEyeDelay] = 0;
        image[entry::eyeBypass] = 1;
    } else if (v.delay) {
        image[entry::afterEyeDelay] = AddClamped(ReadEditInteger(v.delayText), 1);
        image[entry::eyeBypass] = 0;
    } else {
        image[entry::afterEyeDelay] = Unset;
        image[entry::eyeBypass] = Unset;
    }
}

// Timer page.

TimerPageValues FillTimerPage(const BoardSettingsImage& image) {
    TimerPageValues v;
    v.countsDown = image[entry::timerMode] == 1;
    v.countsUp = image[entry::timerMode] == 0;

    const std::int32_t start = image[entry::timerStart];
    v.timerInit = start >= 0 && start <= 2 ? 2 - start : kNoSelection;

    const int code = ListPosition(image[entry::timerMinutesCode], TimerMinutesTexts.size());
    v.minutesText = code >= 0 ? std::string(TimerMinutesTexts[static_cast<std::size_t>(code)])
                              : std::string(kBlankTwo);

    const std::int32_t fives = image[entry::timerSecondsFives];
    v.secondsText =
        fives == Unset ? std::string(kBlankTwo) : FormatTwoDigits(std::int64_t{fives} * 5);
    return v;
}

void CollectTimerPage(const TimerPageValues& v, BoardSettingsImage& image) {
    image[entry::timerMode] = v.countsDown ? 1 : v.countsUp ? 0 : Unset;
    image[entry::timerStart] =
        ListPosition(v.timerInit, TimerInitTexts.size()) >= 0 ? 2 - v.timerInit : Unset;

    const std::int32_t minutes = ReadEditInteger(v.minutesText);
    const auto it = std::find(TimerMinutesTable.begin(), TimerMinutesTable.end(), minutes);
    image[entry::timerMinutesCode] = it != TimerMinutesTable.end()
                                         ? static_cast<std::int32_t>(it - TimerMinutesTable.begin())
                                         : Unset;

    image[entry::timerSecondsFives] =
        v.secondsText == kBlankTwo ? Unset : ReadEditInteger(v.secondsText) / 5;
}

// LCD Display page.

LcdDisplayPageValues FillLcdDisplayPage(const BoardSettingsImage& image) {
    LcdDisplayPageValues v;
    const std::size_t entries[] = {entry::lcdSection1, entry::lcdSection1B, entry::lcdSection2,
                                   entry::lcdSection2B};
    for (std::size_t i = 0; i < v.sections.size(); ++i)
        v.sections[i] = ListPosition(image[entries[i]], LcdSectionTexts.size());
    return v;
}

void CollectLcdDisplayPage(const LcdDisplayPageValues& v, BoardSettingsImage& image) {
    image[entry::lcdSection1] = SelectedOrUnset(v.sections[0]);
    image[entry::lcdSection1B] = SelectedOrUnset(v.sections[1]);
    image[entry::lcdSection2] = SelectedOrUnset(v.sections[2]);
    image[entry::lcdSection2B] = SelectedOrUnset(v.sections[3]);
}

// LCD Menu page.

LcdMenuPageValues FillLcdMenuPage(const BoardSettingsImage& image, int dialogMode) {
    LcdMenuPageValues v;
    const std::int64_t mask = LcdMenuMask(image, dialogMode);
    const std::size_t count = LcdMenuItemCount(dialogMode);
    for (std::size_t bit = 0; bit < count; ++bit)
        v.items.push_back({LcdMenuItemTexts[bit], static_cast<int>(bit), ((mask >> bit) & 1) != 0});
    return v;
}

void CollectLcdMenuPage(const LcdMenuPageValues& v, BoardSettingsImage& image) {
    std::uint32_t mask = 0;
    for (const LcdMenuItem& item : v.items)
        if (item.checked && item.bit >= 0 && item.bit < static_cast<int>(LcdMenuItemTexts.size()))
            mask |= std::uint32_t{1} << item.bit;
    image[entry::lcdMenuMask0] = static_cast<std::int32_t>(mask & 0xFF);
    image[entry::lcdMenuMask1] = static_cast<std::int32_t>((mask >> 8) & 0xFF);
    image[entry::lcdMenuMask2] = static_cast<std::int32_t>((mask >> 16) & 0x07);
}

// Power page.

PowerPageValues FillPowerPage(const BoardSettingsImage& image) {
    const std::int32_t minutes = image[entry::powersaveMinutes];
    return {minutes == Unset ? std::string(kBlankTwo) : FormatInteger(minutes)};
}

void CollectPowerPage(const PowerPageValues& v, BoardSettingsImage& image) {
    image[entry::powersaveMinutes] = IntegerUnlessBlank(v.powersaveText, kBlankTwo);
}

// Dialog Mode page.

DialogModePageValues FillDialogModePage(int dialogMode) {
    const bool closedBolt = IsClosedBoltMode(dialogMode);
    return {!closedBolt, closedBolt};
}

int CollectDialogModePage(const DialogModePageValues& v) {
    return v.openBolt ? 0 : 1;
}

} // namespace kelvo
