#include "settings/EditText.h"
#include "settings/PageValues.h"
#include "settings/Tables.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

using namespace kelvo;

namespace {

constexpr auto kSwitch = CollectVariant::SwitchPage;
constexpr auto kCurrent = CollectVariant::CollectCurrentPage;

BoardSettingsImage UnsetImage() {
    BoardSettingsImage image{};
    image.fill(Unset);
    return image;
}

// A board as a download might leave it, every page entry in range.
BoardSettingsImage BoardImage() {
    BoardSettingsImage image{};
    image[entry::firingMode] = 3;
    image[entry::rofPeriod] = 67;
    image[entry::dwell] = 15;
    image[entry::debounce] = 12;
    image[entry::afterEyeDelay] = 14;
    image[entry::timerMode] = 1;
    image[entry::timerStart] = 0;
    image[entry::timerMinutesCode] = 5;
    image[entry::timerSecondsFives] = 11;
    image[entry::lcdSection1] = 0;
    image[entry::lcdSection1B] = 9;
    image[entry::lcdSection2] = 4;
    image[entry::lcdSection2B] = 7;
    image[entry::eyeMode] = 4;
    image[entry::eyeBypass] = 0;
    image[entry::operationMode] = 1;
    image[entry::boltDelayOffset] = 14;
    image[entry::minBoltOpen] = 60;
    image[entry::asDelay] = 0;
    image[entry::aeBypassRofPeriod] = 167;
    image[entry::lcdMenuMask0] = 0xA5;
    image[entry::lcdMenuMask1] = 0x3C;
    image[entry::lcdMenuMask2] = 0x05;
    image[entry::powersaveMinutes] = 250;
    image[entry::eyeSensitivity] = 2;
    image[entry::absDwell] = 10;
    image[entry::ebMinBoltOpen] = 33;
    image[entry::mechanicalDebounce] = 0;
    image[entry::boltTimerWait] = 60;
    return image;
}

} // namespace

TEST(EditText, IntegerReadingStopsAtFirstNonDigit) {
    EXPECT_EQ(ReadEditInteger("07"), 7);
    EXPECT_EQ(ReadEditInteger("  -12x5"), -12);
    EXPECT_EQ(ReadEditInteger("+3"), 3);
    EXPECT_EQ(ReadEditInteger("7.5"), 7);
    EXPECT_EQ(ReadEditInteger(""), 0);
    EXPECT_EQ(ReadEditInteger("  "), 0);
    EXPECT_EQ(ReadEditInteger("abc"), 0);
    EXPECT_EQ(ReadEditInteger("- 5"), 0);
}

TEST(EditText, HugeDigitStringsSaturate) {
    const std::string huge(5000, '9');
    EXPECT_EQ(ReadEditInteger(huge), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadEditInteger("-" + huge), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadEditInteger("2147483648"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadEditInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(TruncateToEntry(ReadEditNumber(huge)), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(TruncateToEntry(ReadEditNumber("-" + huge + ".5")),
              std::numeric_limits<std::int32_t>::min());
}

TEST(EditText, NumberReadingDropsFractionTowardZero) {
    EXPECT_DOUBLE_EQ(ReadEditNumber("7.5"), 7.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber(" -2.5ms"), -2.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber("."), 0.0);
    EXPECT_DOUBLE_EQ(ReadEditNumber("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ReadEditNumber("nan"), 0.0);
    EXPECT_EQ(TruncateToEntry(-2.9), -2);
    EXPECT_EQ(TruncateToEntry(7.9), 7);
}

TEST(EditText, FormatsMatchThePrintfForms) {
    EXPECT_EQ(FormatHalves(15), "7.5");
    EXPECT_EQ(FormatHalves(14), "7.0");
    EXPECT_EQ(FormatHalves(1), "0.5");
    EXPECT_EQ(FormatHalves(-3), "-1.5");
    EXPECT_EQ(FormatTwoDigits(5), "05");
    EXPECT_EQ(FormatTwoDigits(0), "00");
    EXPECT_EQ(FormatTwoDigits(55), "55");
    EXPECT_EQ(FormatTwoDigits(-5), "-5");
}

TEST(EditText, DecimalPointIgnoresProcessLocale) {
    // A desktop toolkit may switch LC_NUMERIC to the user's locale; dwell
    // texts must still read and write with a point.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(FormatHalves(37), "18.5");
    EXPECT_DOUBLE_EQ(ReadEditNumber("18.5"), 18.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched)
        GTEST_SKIP() << "de_DE locale not installed; checked under the C locale only";
}

TEST(FiringPage, FillShowsListsRadiosAndTexts) {
    BoardSettingsImage image = BoardImage();
    image[entry::dwell] = 37;
    const FiringPageValues v = FillFiringPage(image);
    EXPECT_EQ(v.firingMode, 3);
    EXPECT_EQ(v.rateOfFire, 7);   // 67 ms = "15 bps"
    EXPECT_EQ(v.aeBypassRof, 13); // 167 ms = "06 bps"
    EXPECT_FALSE(v.standard);
    EXPECT_TRUE(v.testMaxCps);
    EXPECT_EQ(v.dwellText, "18.5");
    EXPECT_EQ(v.dwellSpin, 37);
    EXPECT_EQ(v.debounceText, "12");
    EXPECT_EQ(v.mechanicalDebounceText, "0");
    EXPECT_EQ(v.mechanicalDebounceSpin, 0);
    EXPECT_EQ(v.absDwellText, "10");
}

TEST(FiringPage, UnsetAndUnknownValues) {
    BoardSettingsImage image = UnsetImage();
    FiringPageValues v = FillFiringPage(image);
    EXPECT_EQ(v.firingMode, kNoSelection);
    EXPECT_EQ(v.rateOfFire, kNoSelection);
    EXPECT_EQ(v.aeBypassRof, kNoSelection);
    EXPECT_FALSE(v.standard || v.testMaxCps);
    EXPECT_EQ(v.dwellText, " ");
    EXPECT_EQ(v.debounceText, " ");
    EXPECT_EQ(v.absDwellText, " ");
    EXPECT_EQ(v.mechanicalDebounceText, " ");
    EXPECT_FALSE(v.mechanicalDebounceSpin.has_value());
    EXPECT_EQ(v.debounceSpin, Unset);

    // Values outside the tables fall back to the first list entry.
    image[entry::rofPeriod] = 66;
    image[entry::aeBypassRofPeriod] = 1; // what an empty list collects as
    image[entry::firingMode] = 7;
    v = FillFiringPage(image);
    EXPECT_EQ(v.rateOfFire, 0);
    EXPECT_EQ(v.aeBypassRof, 0);
    EXPECT_EQ(AeBypassRofTexts[static_cast<std::size_t>(v.aeBypassRof)], "20 bps");
    EXPECT_EQ(v.firingMode, kNoSelection);
}

TEST(FiringPage, CollectEmptyListsAndBlankTexts) {
    BoardSettingsImage image = BoardImage();
    CollectFiringPage(FillFiringPage(UnsetImage()), kSwitch, image);
    EXPECT_EQ(image[entry::firingMode], Unset);
    EXPECT_EQ(image[entry::rofPeriod], 1); // "Unlimited"
    EXPECT_EQ(image[entry::aeBypassRofPeriod], 1);
    EXPECT_EQ(image[entry::operationMode], Unset);
    EXPECT_EQ(image[entry::dwell], Unset);
    EXPECT_EQ(image[entry::debounce], Unset);
    EXPECT_EQ(image[entry::absDwell], Unset);
    EXPECT_EQ(image[entry::mechanicalDebounce], Unset);
}

TEST(FiringPage, DwellAndAbsDwellReading) {
    FiringPageValues v = FillFiringPage(BoardImage());
    BoardSettingsImage image = BoardImage();
    for (const auto& [text, expected] :
         {std::pair<const char*, int>{"2.5", 5}, {"7.5", 15}, {"7.3", 14}, {"", 0}, {"x", 0}}) {
        v.dwellText = text;
        CollectFiringPage(v, kCurrent, image);
        EXPECT_EQ(image[entry::dwell], expected) << text;
    }
    // ABS dwell is a number when leaving the page, an integer when saving.
    v.absDwellText = "7.9";
    CollectFiringPage(v, kSwitch, image);
    EXPECT_EQ(image[entry::absDwell], 7);
    v.absDwellText = "1e1";
    CollectFiringPage(v, kSwitch, image);
    EXPECT_EQ(image[entry::absDwell], 1);
    CollectFiringPage(v, kCurrent, image);
    EXPECT_EQ(image[entry::absDwell], 1);
    // A huge text must not overflow the doubling.
    v.dwellText = std::string(400, '9');
    CollectFiringPage(v, kSwitch, image);
    EXPECT_EQ(image[entry::dwell], std::numeric_limits<std::int32_t>::max());
}

TEST(FiringPage, RoundTripsEveryTableValue) {
    for (const auto variant : {kSwitch, kCurrent}) {
        for (std::int32_t period : RofPeriodTable) {
            BoardSettingsImage image = BoardImage();
            image[entry::rofPeriod] = period;
            if (period >= 50)
                image[entry::aeBypassRofPeriod] = period;
            const BoardSettingsImage before = image;
            CollectFiringPage(FillFiringPage(image), variant, image);
            EXPECT_EQ(image, before) << period;
        }
        for (std::int32_t dwell = 5; dwell <= 37; ++dwell) {
            BoardSettingsImage image = BoardImage();
            image[entry::dwell] = dwell;
            CollectFiringPage(FillFiringPage(image), variant, image);
            EXPECT_EQ(image[entry::dwell], dwell);
        }
    }
}

TEST(ClosedBoltPage, VariantsDifferOnBlankFields) {
    const BoardSettingsImage unset = UnsetImage();
    const ClosedBoltPageValues blank = FillClosedBoltPage(unset);
    EXPECT_EQ(blank.boltDelayOffsetText, " ");
    EXPECT_EQ(blank.ebMinBoltOpenText, " ");

    BoardSettingsImage image = BoardImage();
    CollectClosedBoltPage(blank, kSwitch, image);
    for (auto e :
         {entry::boltDelayOffset, entry::minBoltOpen, entry::ebMinBoltOpen, entry::asDelay})
        EXPECT_EQ(image[e], Unset) << e;

    image = BoardImage();
    CollectClosedBoltPage(blank, kCurrent, image);
    for (auto e :
         {entry::boltDelayOffset, entry::minBoltOpen, entry::ebMinBoltOpen, entry::asDelay})
        EXPECT_EQ(image[e], 0) << e;

    ClosedBoltPageValues empty;
    image = BoardImage();
    CollectClosedBoltPage(empty, kSwitch, image);
    EXPECT_EQ(image[entry::asDelay], Unset);
}

TEST(ClosedBoltPage, RoundTripKeepsEachFieldInItsEntry) {
    const BoardSettingsImage before = BoardImage();
    const ClosedBoltPageValues v = FillClosedBoltPage(before);
    EXPECT_EQ(v.boltDelayOffsetText, "14");
    EXPECT_EQ(v.minBoltOpenText, "60");
    EXPECT_EQ(v.ebMinBoltOpenText, "33");
    EXPECT_EQ(v.asDelayText, "0");
    for (const auto variant : {kSwitch, kCurrent}) {
        BoardSettingsImage image = UnsetImage();
        CollectClosedBoltPage(v, variant, image);
        for (auto e :
             {entry::boltDelayOffset, entry::minBoltOpen, entry::ebMinBoltOpen, entry::asDelay})
            EXPECT_EQ(image[e], before[e]) << e;
    }
}

TEST(EyePage, FillOpenBoltForEachBoard) {
    const BoardSettingsImage image = BoardImage();
    EyePageValues v = FillEyePage(image, 0, "Tovar");
    EXPECT_TRUE(v.delay);
    EXPECT_FALSE(v.bypassEye);
    EXPECT_EQ(v.delayText, "13");
    EXPECT_EQ(v.m_delayText, "13");
    EXPECT_TRUE(v.delayEnabled);
    EXPECT_EQ(v.eyeMode, 4);
    EXPECT_FALSE(v.boltTimerWaitEnabled); // an eye-monitored mode
    EXPECT_EQ(v.boltTimerWaitText, "40");
    EXPECT_TRUE(v.eyeSensitivityVisible);
    EXPECT_EQ(v.eyeSensitivityText, "2");

    for (const char* name : {"Quarle", "Murrel"})
        EXPECT_TRUE(FillEyePage(image, 0, name).eyeSensitivityVisible) << name;
    for (const char* name : {"Brume", "Halcyra", "Unknown", "tovar", "Tovar ", ""}) {
        v = FillEyePage(image, 0, name);
        EXPECT_FALSE(v.eyeSensitivityVisible) << name;
        EXPECT_EQ(v.eyeSensitivityText, "") << name;
    }
}

TEST(EyePage, FillBlanksAndBypass) {
    BoardSettingsImage image = BoardImage();
    image[entry::afterEyeDelay] = 0;
    image[entry::eyeSensitivity] = 0;
    image[entry::boltTimerWait] = 0;
    image[entry::eyeMode] = Unset;
    EyePageValues v = FillEyePage(image, 0, "Murrel");
    EXPECT_TRUE(v.bypassEye);
    EXPECT_FALSE(v.delay);
    EXPECT_EQ(v.delayText, "");
    EXPECT_FALSE(v.delayEnabled);
    EXPECT_EQ(v.eyeSensitivityText, "");
    EXPECT_EQ(v.boltTimerWaitText, "");
    EXPECT_EQ(v.eyeMode, kNoSelection);
    EXPECT_TRUE(v.boltTimerWaitEnabled); // no selection changes nothing

    // Zero shows empty, which collects back as Unset.
    CollectEyePage(v, kSwitch, 0, "Murrel", image);
    EXPECT_EQ(image[entry::eyeSensitivity], Unset);
    EXPECT_EQ(image[entry::boltTimerWait], Unset);

    image[entry::afterEyeDelay] = Unset;
    v = FillEyePage(image, 0, "Tovar");
    EXPECT_FALSE(v.bypassEye || v.delay);
    EXPECT_FALSE(v.delayEnabled);
    CollectEyePage(v, kCurrent, 0, "Tovar", image);
    EXPECT_EQ(image[entry::afterEyeDelay], Unset);
    EXPECT_EQ(image[entry::eyeBypass], Unset);
}

TEST(EyePage, ClosedBoltModeLeavesEyeControlsEmpty) {
    const EyePageValues v = FillEyePage(BoardImage(), 1, "Tovar");
    EXPECT_FALSE(v.eyeSensitivityVisible);
    EXPECT_EQ(v.eyeSensitivityText, "");
    EXPECT_EQ(v.eyeMode, kNoSelection);
    EXPECT_EQ(v.boltTimerWaitText, "");
    EXPECT_EQ(v.delayText, "13"); // the delay is shown in both modes
}

TEST(EyePage, HalcyraClosedBoltSwitchPageZeroesEyeEntries) {
    BoardSettingsImage image = BoardImage();
    const EyePageValues v = FillEyePage(image, 1, "Halcyra");
    CollectEyePage(v, kSwitch, 1, "Halcyra", image);
    EXPECT_EQ(image[entry::operationMode], 0);
    EXPECT_EQ(image[entry::eyeMode], 0);
    EXPECT_EQ(image[entry::eyeSensitivity], 0);
    EXPECT_EQ(image[entry::boltTimerWait], 0);
    EXPECT_EQ(image[entry::afterEyeDelay], 14);
    EXPECT_EQ(image[entry::eyeBypass], 0);
}

TEST(EyePage, CollectCurrentPageReadsTheListInBothModes) {
    BoardSettingsImage image = BoardImage();
    EyePageValues v = FillEyePage(image, 1, "Halcyra");
    CollectEyePage(v, kCurrent, 1, "Halcyra", image);
    EXPECT_EQ(image[entry::eyeMode], Unset);
    EXPECT_EQ(image[entry::operationMode], 1); // untouched
    EXPECT_EQ(image[entry::eyeSensitivity], 2);
    EXPECT_EQ(image[entry::boltTimerWait], Unset);
}

TEST(EyePage, EyeSensitivityIsCollectedOnlyWhereTheFieldBelongs) {
    for (const auto variant : {kSwitch, kCurrent}) {
        for (const char* name : {"Tovar", "Quarle", "Murrel"}) {
            BoardSettingsImage image = BoardImage();
            EyePageValues v = FillEyePage(image, 0, name);
            v.eyeSensitivityText = "250";
            CollectEyePage(v, variant, 0, name, image);
            EXPECT_EQ(image[entry::eyeSensitivity], 250) << name;
        }
        // A board without the field keeps the byte it had.
        for (const char* name : {"Brume", "Unknown", "murrel"}) {
            BoardSettingsImage image = BoardImage();
            CollectEyePage(FillEyePage(image, 0, name), variant, 0, name, image);
            EXPECT_EQ(image[entry::eyeSensitivity], 2) << name;
        }
    }
    // Tovar and Quarle read the field on a save even when it is hidden.
    BoardSettingsImage image = BoardImage();
    CollectEyePage(FillEyePage(image, 1, "Tovar"), kCurrent, 1, "Tovar", image);
    EXPECT_EQ(image[entry::eyeSensitivity], Unset);
    image = BoardImage();
    CollectEyePage(FillEyePage(image, 1, "Murrel"), kCurrent, 1, "Murrel", image);
    EXPECT_EQ(image[entry::eyeSensitivity], 2);
}

TEST(EyePage, RoundTripOpenBolt) {
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
    // A huge delay text saturates instead of wrapping negative.
    BoardSettingsImage image = BoardImage();
    EyePageValues v = FillEyePage(image, 0, "Quarle");
    v.delayText = std::string(30, '9');
    v.boltTimerWaitText = "2147483647";
    CollectEyePage(v, kSwitch, 0, "Quarle", image);
    EXPECT_EQ(image[entry::afterEyeDelay], std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(image[entry::boltTimerWait], std::numeric_limits<std::int32_t>::max());
}

TEST(TimerPage, FillAndCollect) {
    BoardSettingsImage image = BoardImage();
    TimerPageValues v = FillTimerPage(image);
    EXPECT_TRUE(v.countsDown);
    EXPECT_FALSE(v.countsUp);
    EXPECT_EQ(v.timerInit, 2); // timerStart 0 = "Turnon, B1, or Fire"
    EXPECT_EQ(v.minutesText, "10");
    EXPECT_EQ(v.secondsText, "55");

    const BoardSettingsImage before = image;
    CollectTimerPage(v, image);
    EXPECT_EQ(image, before);

    image[entry::timerSecondsFives] = 1;
    EXPECT_EQ(FillTimerPage(image).secondsText, "05");
    image[entry::timerSecondsFives] = 0;
    EXPECT_EQ(FillTimerPage(image).secondsText, "00");

    for (std::int32_t code = 0; code < 8; ++code) {
        image[entry::timerMinutesCode] = code;
        image[entry::timerStart] = code % 3;
        const BoardSettingsImage expected = image;
        CollectTimerPage(FillTimerPage(image), image);
        EXPECT_EQ(image, expected) << code;
    }
}

TEST(TimerPage, UnsetAndOffTableTexts) {
    BoardSettingsImage image = UnsetImage();
    TimerPageValues v = FillTimerPage(image);
    EXPECT_FALSE(v.countsDown || v.countsUp);
    EXPECT_EQ(v.timerInit, kNoSelection);
    EXPECT_EQ(v.minutesText, "  ");
    EXPECT_EQ(v.secondsText, "  ");
    image = BoardImage();
    CollectTimerPage(v, image);
    for (auto e :
         {entry::timerMode, entry::timerStart, entry::timerMinutesCode, entry::timerSecondsFives})
        EXPECT_EQ(image[e], Unset) << e;

    image[entry::timerMinutesCode] = 8;
    EXPECT_EQ(FillTimerPage(image).minutesText, "  ");

    v = FillTimerPage(BoardImage());
    v.minutesText = "04";
    v.secondsText = "07";
    CollectTimerPage(v, image);
    EXPECT_EQ(image[entry::timerMinutesCode], Unset);
    EXPECT_EQ(image[entry::timerSecondsFives], 1);
    v.minutesText = "15";
    v.secondsText = " ";
    CollectTimerPage(v, image);
    EXPECT_EQ(image[entry::timerMinutesCode], 7);
    EXPECT_EQ(image[entry::timerSecondsFives], 0);
}

TEST(LcdDisplayPage, PositionsAndRange) {
    BoardSettingsImage image = BoardImage();
    LcdDisplayPageValues v = FillLcdDisplayPage(image);
    EXPECT_EQ(v.sections, (std::array<int, 4>{0, 9, 4, 7}));
    const BoardSettingsImage before = image;
    CollectLcdDisplayPage(v, image);
    EXPECT_EQ(image, before);

    image[entry::lcdSection1] = 10;
    image[entry::lcdSection2] = Unset;
    v = FillLcdDisplayPage(image);
    EXPECT_EQ(v.sections[0], kNoSelection);
    EXPECT_EQ(v.sections[2], kNoSelection);
    CollectLcdDisplayPage(v, image);
    EXPECT_EQ(image[entry::lcdSection1], Unset);
    EXPECT_EQ(image[entry::lcdSection2], Unset);
}

TEST(LcdMenuPage, ItemsAndMaskRoundTrip) {
    BoardSettingsImage image = BoardImage();
    const LcdMenuPageValues closed = FillLcdMenuPage(image, 1);
    ASSERT_EQ(closed.items.size(), 19u);
    EXPECT_EQ(closed.items[0].text, "Firing Mode");
    EXPECT_EQ(closed.items[18].text, "After-Shot Delay");
    EXPECT_EQ(closed.items[18].bit, 18);
    const BoardSettingsImage before = image;
    CollectLcdMenuPage(closed, image);
    EXPECT_EQ(image, before);

    // Open-bolt mode has no closed-bolt items, so leaving it clears entry 26.
    const LcdMenuPageValues open = FillLcdMenuPage(image, 0);
    ASSERT_EQ(open.items.size(), 16u);
    EXPECT_EQ(open.items[15].text, "V.A.R.N.E. Mode");
    CollectLcdMenuPage(open, image);
    EXPECT_EQ(image[entry::lcdMenuMask0], 0xA5);
    EXPECT_EQ(image[entry::lcdMenuMask1], 0x3C);
    EXPECT_EQ(image[entry::lcdMenuMask2], 0);

    // Bits 3..7 of entry 26 are never written.
    image[entry::lcdMenuMask2] = 0xFF;
    CollectLcdMenuPage(FillLcdMenuPage(image, 1), image);
    EXPECT_EQ(image[entry::lcdMenuMask2], 0x07);
}

TEST(PowerAndDialogModePages, FillAndCollect) {
    BoardSettingsImage image = BoardImage();
    EXPECT_EQ(FillPowerPage(image).powersaveText, "250");
    image[entry::powersaveMinutes] = Unset;
    const PowerPageValues blank = FillPowerPage(image);
    EXPECT_EQ(blank.powersaveText, "  ");
    image[entry::powersaveMinutes] = 9;
    CollectPowerPage(blank, image);
    EXPECT_EQ(image[entry::powersaveMinutes], Unset);
    CollectPowerPage({" "}, image); // one blank is not this page's marker
    EXPECT_EQ(image[entry::powersaveMinutes], 0);

    for (int mode : {0, 1, 2, -1}) {
        const DialogModePageValues v = FillDialogModePage(mode);
        EXPECT_NE(v.openBolt, v.closedBolt);
        EXPECT_EQ(CollectDialogModePage(v), mode == 1 ? 1 : 0) << mode;
    }
    EXPECT_EQ(CollectDialogModePage({}), 1);
}
