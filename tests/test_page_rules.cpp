#include "settings/PageRules.h"
#include "settings/Tables.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kelvo;

TEST(SpinTexts, DwellHalvesAndSecondsWrap) {
    EXPECT_EQ(DwellSpinText(5), "2.5");
    EXPECT_EQ(DwellSpinText(14), "7.0");
    EXPECT_EQ(DwellSpinText(37), "18.5");
    EXPECT_EQ(SecondsSpinText(0), "00");
    EXPECT_EQ(SecondsSpinText(5), "05");
    EXPECT_EQ(SecondsSpinText(59), "55"); // wrap from 00 downwards
}

namespace {
// Steps the spin as the control does: one from the edit's number, wrapping
// at 1 and 15.
std::vector<int> Walk(MinutesSpinMapping& spin, int start, int step, int count) {
    std::vector<int> shown;
    int value = start;
    for (int i = 0; i < count; ++i) {
        int position = value + step;
        if (position > 15)
            position = 1;
        if (position < 1)
            position = 15;
        value = spin.Map(position);
        shown.push_back(value);
    }
    return shown;
}
} // namespace

TEST(MinutesSpin, WalksTheTableBothWays) {
    MinutesSpinMapping spin;
    EXPECT_EQ(Walk(spin, 1, -1, 8), (std::vector<int>{15, 12, 10, 7, 5, 3, 2, 1}));
    EXPECT_EQ(Walk(spin, 1, +1, 8), (std::vector<int>{2, 3, 5, 7, 10, 12, 15, 1}));
    // After wrapping upwards, stepping up again must get past 03.
    EXPECT_EQ(Walk(spin, 1, +1, 4), (std::vector<int>{2, 3, 5, 7}));
    EXPECT_EQ(Walk(spin, 7, -1, 3), (std::vector<int>{5, 3, 2}));

    // 05 from the fill, stepping down: position 4 with no history shows 5 again.
    MinutesSpinMapping fresh;
    EXPECT_EQ(fresh.Map(4), 5);
    EXPECT_EQ(fresh.Map(4), 3);
}

TEST(EyeRules, EyeModeEnablesBoltTimerWait) {
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(BoltTimerWaitEnabled(p), true) << EyeModeTexts[static_cast<std::size_t>(p)];
    for (int p = 3; p < 6; ++p)
        EXPECT_EQ(BoltTimerWaitEnabled(p), false) << EyeModeTexts[static_cast<std::size_t>(p)];
    EXPECT_FALSE(BoltTimerWaitEnabled(6).has_value());

    EyePageValues v;
    SelectEyeMode(v, 4); // "Eye Monitored, VARNE Off, Fire After Timer"
    EXPECT_FALSE(v.boltTimerWaitEnabled);
    SelectEyeMode(v, kNoSelection);
    EXPECT_FALSE(v.boltTimerWaitEnabled);
    SelectEyeMode(v, 1);
    EXPECT_TRUE(v.boltTimerWaitEnabled);
    EXPECT_EQ(v.eyeMode, 1);
}

TEST(EyeRules, BypassThenDelayLeavesZero) {
    EyePageValues v;
    v.delay = true;
    v.delayText = v.m_delayText = "9";
    ClickBypassEye(v);
    EXPECT_TRUE(v.bypassEye);
    EXPECT_FALSE(v.delay);
    EXPECT_FALSE(v.delayEnabled);
    EXPECT_EQ(v.delayText, "");
    EXPECT_EQ(v.m_delayText, "");
    ClickDelay(v);
    EXPECT_TRUE(v.delay);
    EXPECT_FALSE(v.bypassEye);
    EXPECT_TRUE(v.delayEnabled);
    EXPECT_EQ(v.delayText, "0");
    EXPECT_EQ(v.m_delayText, "0");

    // A delay the page itself put there is kept.
    v.delayText = v.m_delayText = "6";
    ClickDelay(v);
    EXPECT_EQ(v.delayText, "6");
}

TEST(LcdMenuRules, MaskIncludesClosedBoltBitsOnlyInClosedBoltMode) {
    BoardSettingsImage image{};
    image[entry::lcdMenuMask0] = 0x01;
    image[entry::lcdMenuMask1] = 0x02;
    image[entry::lcdMenuMask2] = 0x04;
    EXPECT_EQ(LcdMenuMask(image, 0), 0x0201);
    EXPECT_EQ(LcdMenuMask(image, 1), 0x040201);
    EXPECT_EQ(LcdMenuItemCount(2), 16u);
}
