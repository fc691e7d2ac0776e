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

// "%d", or the blank marker for a negative entry.
std::string IntegerOrBlank(std::int32_t value, std::string_view blank) {
    return value < 0 ? std::string(blank) : FormatInteger(value);
}

// Eye page fields are empty unless the entry is 1 or more.
std::string PositiveOrEmpty(std::int64_t shown, std::int32_t value) {
    return value >= 1 ? FormatInteger(shown) : std::string();
}

// The blank markers of all pages: texts of blanks only, or empty.
bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// A control the user changed gives its entry a value; one left as it was
// shown, or one that gives nothing (a blank text, a list without a
// selection), keeps the byte the entry had.
void Store(BoardSettingsImage& image, std::size_t e, bool changed,
           std::optional<std::int32_t> value) {
    if (changed && value)
        image[e] = *value;
}

std::optional<std::int32_t> Selected(int position, std::size_t size) {
    if (ListPosition(position, size) < 0)
        return std::nullopt;
    return position;
}

std::optional<std::int32_t> IntegerOf(std::string_view text) {
    if (IsBlank(text))
        return std::nullopt;
    return ReadEditInteger(text);
}

// A radio pair: the first checked gives `first`, the second `second`.
std::optional<std::int32_t> Checked(bool a, bool b, std::int32_t first, std::int32_t second) {
    if (a)
        return first;
    if (b)
        return second;
    return std::nullopt;
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

void CollectFiringPage(const FiringPageValues& shown, const FiringPageValues& v,
                       CollectVariant variant, BoardSettingsImage& image) {
    Store(image, entry::firingMode, v.firingMode != shown.firingMode,
          Selected(v.firingMode, FiringModeTexts.size()));

    if (const auto p = Selected(v.rateOfFire, RofPeriodTable.size()))
        Store(image, entry::rofPeriod, v.rateOfFire != shown.rateOfFire,
              RofPeriodTable[static_cast<std::size_t>(*p)]);
    if (const auto p = Selected(v.aeBypassRof, kAeBypassRofCount))
        Store(image, entry::aeBypassRofPeriod, v.aeBypassRof != shown.aeBypassRof,
              RofPeriodTable[static_cast<std::size_t>(*p) + kAeBypassRofOffset]);

    Store(image, entry::operationMode,
          v.standard != shown.standard || v.testMaxCps != shown.testMaxCps,
          Checked(v.standard, v.testMaxCps, 0, 1));

    if (!IsBlank(v.dwellText))
        Store(image, entry::dwell, v.dwellText != shown.dwellText,
              TruncateToEntry(ReadEditNumber(v.dwellText) * 2.0));
    if (!IsBlank(v.absDwellText))
        Store(image, entry::absDwell, v.absDwellText != shown.absDwellText,
              variant == CollectVariant::SwitchPage
                  ? TruncateToEntry(ReadEditNumber(v.absDwellText))
                  : ReadEditInteger(v.absDwellText));
    Store(image, entry::debounce, v.debounceText != shown.debounceText, IntegerOf(v.debounceText));
    Store(image, entry::mechanicalDebounce,
          v.mechanicalDebounceText != shown.mechanicalDebounceText,
          IntegerOf(v.mechanicalDebounceText));
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

void CollectClosedBoltPage(const ClosedBoltPageValues& shown, const ClosedBoltPageValues& v,
                           BoardSettingsImage& image) {
    const std::pair<std::size_t, std::string ClosedBoltPageValues::*> fields[] = {
        {entry::boltDelayOffset, &ClosedBoltPageValues::boltDelayOffsetText},
        {entry::minBoltOpen, &ClosedBoltPageValues::minBoltOpenText},
        {entry::ebMinBoltOpen, &ClosedBoltPageValues::ebMinBoltOpenText},
        {entry::asDelay, &ClosedBoltPageValues::asDelayText}};
    for (const auto& [e, text] : fields)
        Store(image, e, v.*text != shown.*text, IntegerOf(v.*text));
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

void CollectEyePage(const EyePageValues& shown, const EyePageValues& v, BoardSettingsImage& image) {
    Store(image, entry::eyeMode, v.eyeMode != shown.eyeMode,
          Selected(v.eyeMode, EyeModeTexts.size()));
    // The wait counts only while the eye mode lets the user set it, the
    // sensitivity only where the board shows it.
    if (v.boltTimerWaitEnabled && !IsBlank(v.boltTimerWaitText))
        Store(image, entry::boltTimerWait, v.boltTimerWaitText != shown.boltTimerWaitText,
              AddClamped(ReadEditInteger(v.boltTimerWaitText), 20));
    if (v.eyeSensitivityVisible)
        Store(image, entry::eyeSensitivity, v.eyeSensitivityText != shown.eyeSensitivityText,
              IntegerOf(v.eyeSensitivityText));

    // The bypass flag goes with the delay.
    const bool delayChanged =
        v.bypassEye != shown.bypassEye || v.delay != shown.delay || v.delayText != shown.delayText;
    if (v.bypassEye) {
        Store(image, entry::afterEyeDelay, delayChanged, 0);
        Store(image, entry::eyeBypass, delayChanged, 1);
    } else if (v.delay) {
        Store(image, entry::afterEyeDelay, delayChanged,
              AddClamped(ReadEditInteger(v.delayText), 1));
        Store(image, entry::eyeBypass, delayChanged, 0);
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

void CollectTimerPage(const TimerPageValues& shown, const TimerPageValues& v,
                      BoardSettingsImage& image) {
    Store(image, entry::timerMode, v.countsDown != shown.countsDown || v.countsUp != shown.countsUp,
          Checked(v.countsDown, v.countsUp, 1, 0));
    if (const auto p = Selected(v.timerInit, TimerInitTexts.size()))
        Store(image, entry::timerStart, v.timerInit != shown.timerInit, 2 - *p);

    // Minutes outside the table give no code.
    const std::int32_t minutes = ReadEditInteger(v.minutesText);
    const auto it = std::find(TimerMinutesTable.begin(), TimerMinutesTable.end(), minutes);
    if (it != TimerMinutesTable.end())
        Store(image, entry::timerMinutesCode, v.minutesText != shown.minutesText,
              static_cast<std::int32_t>(it - TimerMinutesTable.begin()));

    if (const auto seconds = IntegerOf(v.secondsText))
        Store(image, entry::timerSecondsFives, v.secondsText != shown.secondsText, *seconds / 5);
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

void CollectLcdDisplayPage(const LcdDisplayPageValues& shown, const LcdDisplayPageValues& v,
                           BoardSettingsImage& image) {
    const std::size_t entries[] = {entry::lcdSection1, entry::lcdSection1B, entry::lcdSection2,
                                   entry::lcdSection2B};
    for (std::size_t i = 0; i < v.sections.size(); ++i)
        Store(image, entries[i], v.sections[i] != shown.sections[i],
              Selected(v.sections[i], LcdSectionTexts.size()));
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

namespace {

std::int64_t ItemMask(const LcdMenuPageValues& v, bool onlyChecked) {
    std::int64_t mask = 0;
    for (const LcdMenuItem& item : v.items)
        if ((item.checked || !onlyChecked) && item.bit >= 0 &&
            item.bit < static_cast<int>(LcdMenuItemTexts.size()))
            mask |= std::int64_t{1} << item.bit;
    return mask;
}

} // namespace

std::int64_t LcdMenuPageValues::Checked() const {
    return ItemMask(*this, true);
}

std::int64_t LcdMenuPageValues::Shown() const {
    return ItemMask(*this, false);
}

void CollectLcdMenuPage(const LcdMenuPageValues& shown, const LcdMenuPageValues& v,
                        BoardSettingsImage& image) {
    const std::int64_t items = v.Shown();
    const std::int64_t checked = v.Checked();
    if (items == shown.Shown() && checked == shown.Checked())
        return;
    // Each entry holds eight bits of the mask; bits without an item, and the
    // upper bits of the last entry, stay as they were.
    const std::size_t entries[] = {entry::lcdMenuMask0, entry::lcdMenuMask1, entry::lcdMenuMask2};
    for (std::size_t i = 0; i < 3; ++i) {
        const int shift = static_cast<int>(8 * i);
        const std::int64_t own = (items >> shift) & 0xFF;
        if (own == 0)
            continue;
        const std::int64_t old = image[entries[i]] < 0 ? 0 : image[entries[i]];
        image[entries[i]] = static_cast<std::int32_t>((old & ~own) | ((checked >> shift) & own));
    }
}

// Power page.

PowerPageValues FillPowerPage(const BoardSettingsImage& image) {
    const std::int32_t minutes = image[entry::powersaveMinutes];
    return {minutes == Unset ? std::string(kBlankTwo) : FormatInteger(minutes)};
}

void CollectPowerPage(const PowerPageValues& shown, const PowerPageValues& v,
                      BoardSettingsImage& image) {
    Store(image, entry::powersaveMinutes, v.powersaveText != shown.powersaveText,
          IntegerOf(v.powersaveText));
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
