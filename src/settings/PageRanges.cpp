#include "settings/PageRanges.h"

#include "settings/BoardSettingsImage.h"
#include "settings/Tables.h"

#include <algorithm>
#include <array>

namespace kelvo {

namespace {

struct Row {
    std::size_t entry;
    std::int32_t low, high;
};

// The ranges of the pages' spin controls and lists.
constexpr std::array<Row, 27> kRanges = {{
    {entry::firingMode, 0, 6},       {entry::dwell, 5, 37},
    {entry::debounce, 1, 30},        {entry::afterEyeDelay, 0, 14},
    {entry::timerMode, 0, 1},        {entry::timerStart, 0, 2},
    {entry::timerMinutesCode, 0, 7}, {entry::timerSecondsFives, 0, 11},
    {entry::lcdSection1, 0, 9},      {entry::lcdSection1B, 0, 9},
    {entry::lcdSection2, 0, 9},      {entry::lcdSection2B, 0, 9},
    {entry::eyeMode, 0, 5},          {entry::eyeBypass, 0, 1},
    {entry::operationMode, 0, 1},    {entry::boltDelayOffset, 0, 14},
    {entry::minBoltOpen, 0, 60},     {entry::asDelay, 0, 30},
    {entry::lcdMenuMask0, 0, 255},   {entry::lcdMenuMask1, 0, 255},
    {entry::lcdMenuMask2, 0, 7},     {entry::powersaveMinutes, 1, 250},
    {entry::eyeSensitivity, 2, 250}, {entry::absDwell, 0, 10},
    {entry::ebMinBoltOpen, 0, 60},   {entry::mechanicalDebounce, 0, 15},
    {entry::boltTimerWait, 20, 60},
}};

} // namespace

bool PageControlRange::Offers(std::int32_t value) const {
    if (!periods.empty())
        return std::find(periods.begin(), periods.end(), value) != periods.end();
    return value >= low && value <= high;
}

std::optional<PageControlRange> PageControlRangeOf(std::size_t e) {
    if (e == entry::rofPeriod)
        return PageControlRange{0, 0, RofPeriodTable};
    if (e == entry::aeBypassRofPeriod)
        return PageControlRange{0, 0, std::span(RofPeriodTable).subspan(kAeBypassRofOffset)};
    for (const Row& row : kRanges)
        if (row.entry == e)
            return PageControlRange{row.low, row.high, {}};
    return std::nullopt;
}

} // namespace kelvo
