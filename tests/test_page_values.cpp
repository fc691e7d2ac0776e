#include "settings/EditText.h"
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
    image[entry::aeBypassRofPeriod] = 1; // what an empty list collects as
    v = FillFiringPage(image);
    EXPECT_EQ(v.rateOfFire, 0);
    EXPECT_EQ(AeBypassRofTexts[static_cast<std::size_t>(v.aeBypassRof)], "20 bps");
}

TEST(FiringPage, CollectEmptyListsAndBlankTexts) {
    BoardSettingsImage image = BoardImage();
    CollectFiringPage(FillFiringPage(UnsetImage()), kSwitch, image);
    EXPECT_EQ(image[entry::rofPeriod], 1); // "Unlimited"
    EXPECT_EQ(image[entry::aeBypassRofPeriod], 1);
    for (auto e : {entry::firingMode, entry::operationMode, entry::dwell, entry::debounce,
                   entry::absDwell, entry::mechanicalDebounce})
        EXPECT_EQ(image[e], Unset) << e;
}

TEST(FiringPage, DwellAndAbsDwellReading) {
    FiringPageValues v = FillFiringPage(BoardImage());
    BoardSettingsImage image = BoardImage();
    for (const auto& [text, expected] :
         {std::pair<const char*, int>{"2.5", 5}, {"7.3", 14}, {"", 0}}) {
        v.dwellText = text;
        CollectFiringPage(v, kCurrent, image);
        EXPECT_EQ(image[entry::dwell], expected) << text;
    }
    v.dwellText = std::string(400, '9'); // must not overflow the doubling
    CollectFiringPage(v, kSwitch, image);
    EXPECT_EQ(image[entry::dwell], kMax);
    // ABS dwell is a number when leaving the page, an integer when saving.
    v.absDwellText = "7.9";
    CollectFiringPage(v, kSwitch, image);
    EXPECT_EQ(image[entry::absDwell], 7);
}

TEST(FiringPage, RoundTripsEveryListValueAndDwell) {
    for (const auto variant : {kSwitch, kCurrent}) {
        for (std::size_t p = 0; p < RofPeriodTable.size(); ++p) {
            BoardSettingsImage image = BoardImage();
            image[entry::rofPeriod] = RofPeriodTable[p];
            image[entry::aeBypassRofPeriod] = RofPeriodTable[std::max(p, kAeBypassRofOffset)];
            image[entry::dwell] = static_cast<std::int32_t>(22 + p); // 11.0 .. 18.5 ms
            const BoardSettingsImage before = image;
            CollectFiringPage(FillFiringPage(image), variant, image);
            EXPECT_EQ(image, before) << p;
        }
    }
}

TEST(ClosedBoltPage, VariantsDifferOnBlankFields) {
    const auto fields = {entry::boltDelayOffset, entry::minBoltOpen, entry::ebMinBoltOpen,
                         entry::asDelay};
    const ClosedBoltPageValues blank = FillClosedBoltPage(UnsetImage());
    EXPECT_EQ(blank.boltDelayOffsetText, " ");
    BoardSettingsImage image = BoardImage();
    CollectClosedBoltPage(blank, kSwitch, image);
    for (auto e : fields)
        EXPECT_EQ(image[e], Unset) << e;
    CollectClosedBoltPage(blank, kCurrent, image);
    for (auto e : fields)
        EXPECT_EQ(image[e], 0) << e;

    // Each field goes back to its own entry.
    const BoardSettingsImage before = BoardImage();
    CollectClosedBoltPage(FillClosedBoltPage(before), kSwitch, image);
    for (auto e : fields)
        EXPECT_EQ(image[e], before[e]) << e;
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

    // Bypass disables the delay; zero sensitivity and wait show empty and
    // collect back as Unset.
    image[entry::afterEyeDelay] = 0;
    image[entry::eyeSensitivity] = 0;
    image[entry::boltTimerWait] = 0;
    v = FillEyePage(image, 0, "Murrel");
    EXPECT_TRUE(v.bypassEye && !v.delayEnabled);
    EXPECT_EQ(v.delayText + v.eyeSensitivityText + v.boltTimerWaitText, "");
    CollectEyePage(v, kSwitch, 0, "Murrel", image);
    EXPECT_EQ(image[entry::eyeSensitivity], Unset);
    EXPECT_EQ(image[entry::boltTimerWait], Unset);
    EXPECT_EQ(image[entry::eyeBypass], 1);
}

TEST(EyePage, HalcyraClosedBoltVariants) {
    BoardSettingsImage image = BoardImage();
    const EyePageValues v = FillEyePage(image, 1, "Halcyra");
    EXPECT_EQ(v.eyeMode, kNoSelection);
    EXPECT_EQ(v.boltTimerWaitText, "");
    EXPECT_EQ(v.delayText, "13"); // the delay is shown in both modes

    CollectEyePage(v, kSwitch, 1, "Halcyra", image);
    for (auto e :
         {entry::operationMode, entry::eyeMode, entry::eyeSensitivity, entry::boltTimerWait})
        EXPECT_EQ(image[e], 0) << e;
    EXPECT_EQ(image[entry::afterEyeDelay], 14);

    // The page on screen at a save reads its empty wait field but takes the
    // unfilled eye-mode list as leaving the page does, whatever was picked in
    // it, so the image still passes validation.
    for (const int picked : {kNoSelection, 2}) {
        image = BoardImage();
        EyePageValues onScreen = v;
        onScreen.eyeMode = picked;
        CollectEyePage(onScreen, kCurrent, 1, "Halcyra", image);
        EXPECT_EQ(image[entry::eyeMode], 0);
        EXPECT_EQ(image[entry::boltTimerWait], Unset);
        EXPECT_EQ(image[entry::operationMode], 1);
        EXPECT_EQ(image[entry::eyeSensitivity], 2);
        EXPECT_TRUE(ValidateSettings(image, 1, "Halcyra")) << picked;
    }
    // In open-bolt mode the list is read as it stands.
    image = BoardImage();
    CollectEyePage(v, kCurrent, 0, "Halcyra", image);
    EXPECT_EQ(image[entry::eyeMode], Unset);
}

TEST(EyePage, EyeSensitivityIsCollectedOnlyWhereTheFieldBelongs) {
    for (const auto variant : {kSwitch, kCurrent}) {
        for (const char* name : {"Tovar", "Quarle", "Murrel", "Brume"}) {
            BoardSettingsImage image = BoardImage();
            EyePageValues v = FillEyePage(image, 0, name);
            v.eyeSensitivityText = "250";
            CollectEyePage(v, variant, 0, name, image);
            // A board without the field keeps the byte it had.
            EXPECT_EQ(image[entry::eyeSensitivity], name[0] == 'B' ? 2 : 250) << name;
        }
    }
    // Tovar reads its field on a save even when it is hidden; Murrel does not.
    BoardSettingsImage image = BoardImage();
    CollectEyePage(FillEyePage(image, 1, "Tovar"), kCurrent, 1, "Tovar", image);
    EXPECT_EQ(image[entry::eyeSensitivity], Unset);
    image = BoardImage();
    CollectEyePage(FillEyePage(image, 1, "Murrel"), kCurrent, 1, "Murrel", image);
    EXPECT_EQ(image[entry::eyeSensitivity], 2);
}

TEST(EyePage, RoundTripEveryDelay) {
    for (const auto variant : {kSwitch, kCurrent}) {
        for (std::int32_t delay = 0; delay <= 14; ++delay) {
            BoardSettingsImage image = BoardImage();
            image[entry::afterEyeDelay] = delay;
            image[entry::eyeBypass] = delay == 0 ? 1 : 0;
            const BoardSettingsImage before = image;
            CollectEyePage(FillEyePage(image, 0, "Quarle"), variant, 0, "Quarle", image);
            EXPECT_EQ(image, before) << delay;
        }
    }
    BoardSettingsImage image = BoardImage();
    EyePageValues v = FillEyePage(image, 0, "Quarle");
    v.delayText = "2147483647"; // + 1 must not wrap negative
    CollectEyePage(v, kSwitch, 0, "Quarle", image);
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
        const BoardSettingsImage before = image;
        const TimerPageValues filled = FillTimerPage(image);
        shown.push_back(filled.minutesText + ":" + filled.secondsText);
        CollectTimerPage(filled, image);
        EXPECT_EQ(image, before) << code;
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"01:00", "02:05", "03:10", "05:15", "07:20", "10:25",
                                               "12:30", "15:35"}));

    v = FillTimerPage(UnsetImage());
    EXPECT_EQ(v.minutesText + v.secondsText, "    ");
    CollectTimerPage(v, image);
    for (auto e :
         {entry::timerMode, entry::timerStart, entry::timerMinutesCode, entry::timerSecondsFives})
        EXPECT_EQ(image[e], Unset) << e;

    v.minutesText = "04";
    v.secondsText = "07";
    CollectTimerPage(v, image);
    EXPECT_EQ(image[entry::timerMinutesCode], Unset);
    EXPECT_EQ(image[entry::timerSecondsFives], 1);
}

TEST(LcdPages, SectionsAndMenuMask) {
    BoardSettingsImage image = BoardImage();
    image[entry::lcdSection1] = 10;
    EXPECT_EQ(FillLcdDisplayPage(image).sections, (std::array<int, 4>{kNoSelection, 9, 4, 0}));
    LcdDisplayPageValues display;
    display.sections = {3, 1, kNoSelection, 8};
    CollectLcdDisplayPage(display, image);
    EXPECT_EQ(std::vector<int>({image[entry::lcdSection1], image[entry::lcdSection1B],
                                image[entry::lcdSection2], image[entry::lcdSection2B]}),
              std::vector<int>({3, 1, Unset, 8}));
    image = BoardImage();
    image[entry::lcdSection1] = 10;

    const BoardSettingsImage before = image;
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
    CollectLcdMenuPage(closed, image);
    EXPECT_EQ(image, before);

    // Open-bolt mode has no closed-bolt items, so leaving it clears entry 26.
    const LcdMenuPageValues open = FillLcdMenuPage(image, 0);
    ASSERT_EQ(open.items.size(), 16u);
    CollectLcdMenuPage(open, image);
    EXPECT_EQ(image[entry::lcdMenuMask0], 0xA5);
    EXPECT_EQ(image[entry::lcdMenuMask1], 0x3C);
    EXPECT_EQ(image[entry::lcdMenuMask2], 0);
}

TEST(PowerAndDialogModePages, FillAndCollect) {
    BoardSettingsImage image = BoardImage();
    image[entry::powersaveMinutes] = Unset;
    const PowerPageValues blank = FillPowerPage(image);
    EXPECT_EQ(blank.powersaveText, "  ");
    image[entry::powersaveMinutes] = 9;
    CollectPowerPage(blank, image);
    EXPECT_EQ(image[entry::powersaveMinutes], Unset);
    CollectPowerPage({" "}, image); // one blank is not this page's marker
    EXPECT_EQ(image[entry::powersaveMinutes], 0);

    for (int mode : {0, 1, 2, -1})
        EXPECT_EQ(CollectDialogModePage(FillDialogModePage(mode)), mode == 1 ? 1 : 0) << mode;
}
