#include "settings/EditText.h"
#include "settings/PageRules.h"
#include "settings/PageValues.h"
#include "settings/Tables.h"
#include "settings/Validation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

using namespace kelvo;

namespace {

constexpr auto kSwitch = CollectVariant::SwitchPage;
constexpr auto kCurrent = CollectVariant::CollectCurrentPage;
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

BoardSettingsImage UnsetImage() {
    BoardSettingsImage image{};
    image.fill(Unset);
    return image;
}

// A board as a download might leave it, every page entry in range.
BoardSettingsImage BoardImage() {
    BoardSettingsImage image{};
    const std::pair<std::size_t, std::int32_t> values[] = {{entry::firingMode, 3},
                                                           {entry::rofPeriod, 67},
                                                           {entry::dwell, 37},
                                                           {entry::debounce, 12},
                                                           {entry::afterEyeDelay, 14},
                                                           {entry::timerMode, 1},
                                                           {entry::timerStart, 0},
                                                           {entry::timerMinutesCode, 5},
                                                           {entry::timerSecondsFives, 11},
                                                           {entry::lcdSection1B, 9},
                                                           {entry::lcdSection2, 4},
                                                           {entry::eyeMode, 4},
                                                           {entry::operationMode, 1},
                                                           {entry::boltDelayOffset, 14},
                                                           {entry::minBoltOpen, 60},
                                                           {entry::aeBypassRofPeriod, 167},
                                                           {entry::lcdMenuMask0, 0xA5},
                                                           {entry::lcdMenuMask1, 0x3C},
                                                           {entry::lcdMenuMask2, 0x05},
                                                           {entry::powersaveMinutes, 250},
                                                           {entry::eyeSensitivity, 2},
                                                           {entry::absDwell, 10},
                                                           {entry::ebMinBoltOpen, 33},
                                                           {entry::boltTimerWait, 60}};
    for (const auto& [index, value] : values)
        image[index] = value;
    return image;
}

} // namespace

TEST(EditText, ReadingStopsAtFirstNonDigitAndNeverOverflows) {
    EXPECT_EQ(ReadEditInteger("07"), 7);
    EXPECT_EQ(ReadEditInteger("  -12x5"), -12);
    EXPECT_EQ(ReadEditInteger("7.5"), 7);
    EXPECT_EQ(ReadEditInteger(""), 0);
    EXPECT_EQ(ReadEditInteger("- 5"), 0);
    const std::string huge(5000, '9');
    EXPECT_EQ(ReadEditInteger(huge), kMax);
    EXPECT_EQ(ReadEditInteger("-" + huge), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadEditInteger("2147483648"), kMax);

    EXPECT_DOUBLE_EQ(ReadEditNumber(" -2.5ms"), -2.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ReadEditNumber("1e1"), 1.0);
    EXPECT_EQ(TruncateToEntry(ReadEditNumber(huge)), kMax);
    EXPECT_EQ(TruncateToEntry(-2.9), -2);
    EXPECT_EQ(FormatTwoDigits(-5), "-5"); // as "%02d"
}

TEST(FiringPage, FillShowsListsRadiosAndTexts) {
    FiringPageValues v = FillFiringPage(BoardImage());
    EXPECT_EQ(v.rateOfFire, 7);   // 67 ms = "15 bps"
    EXPECT_EQ(v.aeBypassRof, 13); // 167 ms = "06 bps"
    EXPECT_TRUE(v.testMaxCps && !v.standard);
    EXPECT_EQ(v.dwellText, "18.5");
    EXPECT_EQ(v.dwellSpin, 37);

    BoardSettingsImage image = UnsetImage();
    v = FillFiringPage(image);
    EXPECT_EQ(v.rateOfFire, kNoSelection);
    EXPECT_EQ(v.dwellText + v.debounceText + v.absDwellText + v.mechanicalDebounceText, "    ");
    EXPECT_FALSE(v.mechanicalDebounceSpin.has_value());

    // Values outside the tables fall back to the first list entry.
    image[entry::rofPeriod] = 66;
    image[entry::aeBypassRofPeriod] = 1;
    v = FillFiringPage(image);
    EXPECT_EQ(v.rateOfFire, 0);
    EXPECT_EQ(AeBypassRofTexts[static_cast<std::size_t>(v.aeBypassRof)], "20 bps");
}

// Collects each page from the record `to` fills, over an image the page was
// filled from (`from`): every control that differs is read back.
BoardSettingsImage CollectChanged(int page, const BoardSettingsImage& from,
                                  const BoardSettingsImage& to, CollectVariant variant = kSwitch,
                                  int mode = 0, std::string_view board = "Quarle") {
    BoardSettingsImage image = from;
    switch (page) {
    case 0:
        CollectFiringPage(FillFiringPage(from), FillFiringPage(to), variant, image);
        break;
    case 1:
        CollectClosedBoltPage(FillClosedBoltPage(from), FillClosedBoltPage(to), image);
        break;
    case 2:
        CollectEyePage(FillEyePage(from, mode, board), FillEyePage(to, mode, board), image);
        break;
    case 3:
        CollectTimerPage(FillTimerPage(from), FillTimerPage(to), image);
        break;
    case 4:
        CollectLcdDisplayPage(FillLcdDisplayPage(from), FillLcdDisplayPage(to), image);
        break;
    case 5:
        CollectLcdMenuPage(FillLcdMenuPage(from, mode), FillLcdMenuPage(to, mode), image);
        break;
    default:
        CollectPowerPage(FillPowerPage(from), FillPowerPage(to), image);
    }
    return image;
}

// A control the user changed is read back; one left as it was shown, or
// one that gives nothing (blank, no selection), keeps its entry's byte,
// whatever the byte is. Pages never touch entries that are not theirs.
TEST(PageCollect, ChangedControlsAreReadBackTheOthersKeepTheirBytes) {
    BoardSettingsImage odd = BoardImage(); // bytes the controls cannot show
    const std::pair<std::size_t, std::int32_t> oddBytes[] = {
        {entry::firingMode, 9},        {entry::rofPeriod, 60},         {entry::dwell, 4},
        {entry::aeBypassRofPeriod, 1}, {entry::operationMode, 7},      {entry::timerStart, 5},
        {entry::timerMinutesCode, 9},  {entry::lcdSection1, 12},       {entry::eyeMode, 6},
        {entry::boltTimerWait, 0},     {entry::eyeSensitivity, 0},     {entry::afterEyeDelay, 30},
        {entry::lcdMenuMask2, 0xFA},   {entry::powersaveMinutes, 0},   {entry::timerMode, 3},
        {entry::minBoltOpen, 255},     {entry::mechanicalDebounce, 30}};
    for (const auto& [e, value] : oddBytes)
        odd[e] = value;
    const BoardSettingsImage sources[] = {BoardImage(), UnsetImage(), odd};

    // Entries each page reads; `to` differs from every source in all of them.
    BoardSettingsImage to = BoardImage();
    const std::pair<std::size_t, std::int32_t> edits[] = {{entry::firingMode, 2},
                                                          {entry::rofPeriod, 50},
                                                          {entry::dwell, 5},
                                                          {entry::debounce, 30},
                                                          {entry::absDwell, 0},
                                                          {entry::mechanicalDebounce, 15},
                                                          {entry::aeBypassRofPeriod, 53},
                                                          {entry::operationMode, 0},
                                                          {entry::boltDelayOffset, 0},
                                                          {entry::minBoltOpen, 1},
                                                          {entry::asDelay, 30},
                                                          {entry::ebMinBoltOpen, 0},
                                                          {entry::eyeMode, 1},
                                                          {entry::boltTimerWait, 21},
                                                          {entry::eyeSensitivity, 250},
                                                          {entry::afterEyeDelay, 1},
                                                          {entry::eyeBypass, 0},
                                                          {entry::timerMode, 0},
                                                          {entry::timerStart, 2},
                                                          {entry::timerMinutesCode, 0},
                                                          {entry::timerSecondsFives, 0},
                                                          {entry::lcdSection1, 5},
                                                          {entry::lcdSection1B, 1},
                                                          {entry::lcdSection2, 9},
                                                          {entry::lcdSection2B, 3},
                                                          {entry::lcdMenuMask0, 0x5A},
                                                          {entry::lcdMenuMask1, 0xC3},
                                                          {entry::lcdMenuMask2, 0x02},
                                                          {entry::powersaveMinutes, 1}};
    for (const auto& [e, value] : edits)
        to[e] = value;

    const std::vector<std::size_t> pageEntries[] = {
        {entry::firingMode, entry::rofPeriod, entry::dwell, entry::debounce, entry::absDwell,
         entry::mechanicalDebounce, entry::aeBypassRofPeriod, entry::operationMode},
        {entry::boltDelayOffset, entry::minBoltOpen, entry::asDelay, entry::ebMinBoltOpen},
        {entry::eyeMode, entry::boltTimerWait, entry::eyeSensitivity, entry::afterEyeDelay,
         entry::eyeBypass},
        {entry::timerMode, entry::timerStart, entry::timerMinutesCode, entry::timerSecondsFives},
        {entry::lcdSection1, entry::lcdSection1B, entry::lcdSection2, entry::lcdSection2B},
        {entry::lcdMenuMask0, entry::lcdMenuMask1, entry::lcdMenuMask2},
        {entry::powersaveMinutes}};
    for (std::size_t s = 0; s < std::size(sources); ++s) {
        for (int page = 0; page < 7; ++page) {
            const BoardSettingsImage& from = sources[s];
            for (const CollectVariant variant : {kSwitch, kCurrent})
                EXPECT_EQ(CollectChanged(page, from, from, variant), from) << page << " " << s;
            // The edit in the wait needs a bolt-timer mode, which the edit picks.
            BoardSettingsImage expected = from;
            for (const std::size_t e : pageEntries[page])
                expected[e] = to[e];
            if (page == 5) // no item has bits 3..7 of the last entry
                expected[entry::lcdMenuMask2] = (std::max(from[entry::lcdMenuMask2], 0) & ~7) | 2;
            EXPECT_EQ(CollectChanged(page, from, to, kSwitch, page == 5 ? 1 : 0), expected)
                << page << " " << s;
        }
    }
}

TEST(FiringPage, EveryListValueAndDwellIsReadBack) {
    for (std::size_t p = 0; p < RofPeriodTable.size(); ++p) {
        BoardSettingsImage to = BoardImage();
        to[entry::rofPeriod] = RofPeriodTable[p];
        to[entry::aeBypassRofPeriod] = RofPeriodTable[std::max(p, kAeBypassRofOffset)];
        to[entry::dwell] = static_cast<std::int32_t>(22 + p); // 11.0 .. 18.5 ms
        to[entry::firingMode] = static_cast<std::int32_t>(p % 7);
        BoardSettingsImage from = to;
        for (const std::size_t e :
             {entry::rofPeriod, entry::aeBypassRofPeriod, entry::dwell, entry::firingMode})
            from[e] = Unset;
        EXPECT_EQ(CollectChanged(0, from, to), to) << p;
    }
}

TEST(FiringPage, DwellAndAbsDwellReading) {
    const FiringPageValues shown = FillFiringPage(BoardImage());
    FiringPageValues v = shown;
    BoardSettingsImage image = BoardImage();
    for (const auto& [text, expected] :
         {std::pair<const char*, int>{"2.5", 5}, {"7.3", 14}, {" ", 14}}) {
        v.dwellText = text;
        CollectFiringPage(shown, v, kCurrent, image);
        EXPECT_EQ(image[entry::dwell], expected) << text;
    }
    v.dwellText = std::string(400, '9'); // must not overflow the doubling
    CollectFiringPage(shown, v, kSwitch, image);
    EXPECT_EQ(image[entry::dwell], kMax);
    // ABS dwell is a number when leaving the page, an integer when saving.
    v.absDwellText = "7.9";
    CollectFiringPage(shown, v, kSwitch, image);
    EXPECT_EQ(image[entry::absDwell], 7);
    v.absDwellText = "6.9";
    CollectFiringPage(shown, v, kCurrent, image);
    EXPECT_EQ(image[entry::absDwell], 6);
}

TEST(EyePage, FillOpenBolt) {
    BoardSettingsImage image = BoardImage();
    EyePageValues v = FillEyePage(image, 0, "Tovar");
    EXPECT_TRUE(v.delay && !v.bypassEye && v.delayEnabled);
    EXPECT_EQ(v.delayText, "13");
    EXPECT_EQ(v.m_delayText, "13");
    EXPECT_EQ(v.eyeMode, 4);
    EXPECT_FALSE(v.boltTimerWaitEnabled); // an eye-monitored mode
    EXPECT_EQ(v.boltTimerWaitText, "40");
    EXPECT_EQ(v.eyeSensitivityText, "2");
    for (const char* name : {"Quarle", "Murrel"})
        EXPECT_TRUE(FillEyePage(image, 0, name).eyeSensitivityVisible) << name;
    for (const char* name : {"Halcyra", "Unknown", "tovar", "Tovar ", ""})
        EXPECT_FALSE(FillEyePage(image, 0, name).eyeSensitivityVisible) << name;

    image[entry::afterEyeDelay] = 0;
    image[entry::eyeSensitivity] = 0;
    image[entry::boltTimerWait] = 0;
    v = FillEyePage(image, 0, "Murrel");
    EXPECT_TRUE(v.bypassEye && !v.delayEnabled);
    EXPECT_EQ(v.delayText + v.eyeSensitivityText + v.boltTimerWaitText, "");
}

// Fields the page hides or disables keep their bytes even when their text
// changed; in the closed-bolt set the page touches no entry of another page.
TEST(EyePage, HiddenAndDisabledFieldsKeepTheirBytes) {
    const struct {
        const char* board;
        int mode;
        int eyeMode; // picked before the wait is stepped
        std::int32_t wait, sensitivity;
    } cases[] = {
        {"Quarle", 0, 0, 25, 9},             // both shown and enabled
        {"Quarle", 0, 3, 60, 9},             // an eye-monitored mode disables the wait
        {"Brume", 0, 1, 25, 2},              // no sensitivity field
        {"Halcyra", 1, kNoSelection, 25, 2}, // the closed-bolt set: wait enabled
        {"Halcyra", 1, 4, 60, 2},
    };
    for (const auto& c : cases) {
        BoardSettingsImage image = BoardImage();
        const EyePageValues shown = FillEyePage(image, c.mode, c.board);
        EyePageValues v = shown;
        if (c.eyeMode != kNoSelection)
            SelectEyeMode(v, c.eyeMode);
        v.eyeMode = c.eyeMode;
        v.boltTimerWaitText = "5";
        v.eyeSensitivityText = "9";
        CollectEyePage(shown, v, image);
        BoardSettingsImage expected = BoardImage();
        expected[entry::eyeMode] = c.eyeMode == kNoSelection ? 4 : c.eyeMode;
        expected[entry::boltTimerWait] = c.wait;
        expected[entry::eyeSensitivity] = c.sensitivity;
        EXPECT_EQ(image, expected) << c.board << " " << c.eyeMode;
    }
}

TEST(EyePage, EveryDelayAndTheBypassFlagGoTogether) {
    for (std::int32_t delay = 0; delay <= 14; ++delay) {
        BoardSettingsImage to = BoardImage();
        to[entry::afterEyeDelay] = delay;
        to[entry::eyeBypass] = delay == 0 ? 1 : 0;
        BoardSettingsImage from = BoardImage();
        from[entry::afterEyeDelay] = delay == 0 ? 5 : 0;
        from[entry::eyeBypass] = Unset;
        EXPECT_EQ(CollectChanged(2, from, to), to) << delay;
    }
    BoardSettingsImage image = BoardImage();
    const EyePageValues shown = FillEyePage(image, 0, "Quarle");
    EyePageValues v = shown;
    v.delayText = "2147483647"; // + 1 must not wrap negative
    CollectEyePage(shown, v, image);
    EXPECT_EQ(image[entry::afterEyeDelay], kMax);
}

TEST(TimerPage, FillCollectAndOffTableTexts) {
    BoardSettingsImage image = BoardImage();
    TimerPageValues v = FillTimerPage(image);
    EXPECT_EQ(v.timerInit, 2); // timerStart 0 = "Turnon, B1, or Fire"
    EXPECT_EQ(v.minutesText, "10");
    EXPECT_EQ(v.secondsText, "55");
    std::vector<std::string> shown;
    for (std::int32_t code = 0; code < 8; ++code) {
        image[entry::timerMinutesCode] = code;
        image[entry::timerStart] = code % 3;
        image[entry::timerSecondsFives] = code;
        const TimerPageValues filled = FillTimerPage(image);
        shown.push_back(filled.minutesText + ":" + filled.secondsText);
        BoardSettingsImage from = image;
        for (const std::size_t e :
             {entry::timerStart, entry::timerMinutesCode, entry::timerSecondsFives})
            from[e] = Unset;
        EXPECT_EQ(CollectChanged(3, from, image), image) << code;
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"01:00", "02:05", "03:10", "05:15", "07:20", "10:25",
                                               "12:30", "15:35"}));
    EXPECT_EQ(FillTimerPage(UnsetImage()).minutesText, "  ");

    // Minutes off the table keep the code; seconds drop the remainder.
    const TimerPageValues filled = FillTimerPage(BoardImage());
    v = filled;
    v.minutesText = "04";
    v.secondsText = "07";
    image = BoardImage();
    CollectTimerPage(filled, v, image);
    EXPECT_EQ(image[entry::timerMinutesCode], 5);
    EXPECT_EQ(image[entry::timerSecondsFives], 1);
}

TEST(LcdPages, SectionsAndMenuMask) {
    BoardSettingsImage image = BoardImage();
    image[entry::lcdSection1] = 10;
    EXPECT_EQ(FillLcdDisplayPage(image).sections, (std::array<int, 4>{kNoSelection, 9, 4, 0}));

    const LcdMenuPageValues closed = FillLcdMenuPage(image, 1);
    std::vector<std::string> texts;
    for (const auto& item : closed.items)
        texts.push_back(std::string(item.text));
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Firing Mode", "Rate Of Fire", "Solenoid Dwell", "Debounce Mult",
                         "After-Eye Delay", "Timer Mode", "Timer Start", "Timer Minutes",
                         "Timer Seconds", "LCD Section 1", "LCD Section 1B", "LCD Section 2",
                         "LCD Section 2B", "Eye Timing Mode", "Operation Mode", "V.A.R.N.E. Mode",
                         "Bolt Delay Offset", "Min Bolt Open", "After-Shot Delay"}));

    // Open-bolt mode has no items for bits 16..18: a changed check leaves them.
    const LcdMenuPageValues open = FillLcdMenuPage(image, 0);
    ASSERT_EQ(open.items.size(), 16u);
    LcdMenuPageValues v = open;
    v.items[1].checked = true;
    CollectLcdMenuPage(open, v, image);
    EXPECT_EQ(image[entry::lcdMenuMask0], 0xA7);
    EXPECT_EQ(image[entry::lcdMenuMask1], 0x3C);
    EXPECT_EQ(image[entry::lcdMenuMask2], 0x05);
}

TEST(PowerAndDialogModePages, FillAndCollect) {
    BoardSettingsImage image = BoardImage();
    image[entry::powersaveMinutes] = Unset;
    EXPECT_EQ(FillPowerPage(image).powersaveText, "  ");
    const PowerPageValues shown = FillPowerPage(BoardImage());
    for (const auto& [text, expected] :
         {std::pair<const char*, int>{"  ", 250}, {" ", 250}, {"7", 7}}) {
        image = BoardImage();
        CollectPowerPage(shown, {text}, image);
        EXPECT_EQ(image[entry::powersaveMinutes], expected) << '"' << text << '"';
    }

    for (int mode : {0, 1, 2, -1})
        EXPECT_EQ(CollectDialogModePage(FillDialogModePage(mode)), mode == 1 ? 1 : 0) << mode;
}
