#include "settings/Validation.h"

#include <gtest/gtest.h>

#include <utility>

using namespace kelvo;

namespace {

// The smallest image that passes every rule in closed-bolt mode on a Tovar.
BoardSettingsImage ValidImage() {
    BoardSettingsImage image{};
    image.fill(0);
    image[entry::rofPeriod] = 1;
    image[entry::aeBypassRofPeriod] = 1;
    image[entry::boltTimerWait] = Unset; // not looked at
    image[entry::eyeBypass] = Unset;     // not looked at
    return image;
}

} // namespace

TEST(Validation, AfterResetFailsAtRuleOneWithTheMessage) {
    EXPECT_TRUE(ValidateSettings(ValidImage(), 1, "Tovar"));
    BoardSettingsImage image = ValidImage();
    ResetSettingsImage(image);
    const SettingsValidation result = ValidateSettings(image, 0, "");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedRule, 1);
    EXPECT_EQ(result.message,
              "Invalid Settings Found. Please make sure your selections are valid and complete.");
    EXPECT_EQ(result.caption, "Incomplete Settings");
}

TEST(Validation, EachRuleCatchesItsEntries) {
    const std::pair<std::size_t, int> unsetCases[] = {
        {entry::operationMode, 1},     {entry::afterEyeDelay, 2},
        {entry::eyeMode, 3},           {entry::timerMode, 4},
        {entry::firingMode, 5},        {entry::rofPeriod, 5},
        {entry::aeBypassRofPeriod, 5}, {entry::timerStart, 5},
        {entry::timerMinutesCode, 5},  {entry::timerSecondsFives, 5},
        {entry::lcdSection1, 5},       {entry::lcdSection1B, 5},
        {entry::lcdSection2, 5},       {entry::lcdSection2B, 5},
        {entry::debounce, 5},          {entry::dwell, 5},
        {entry::boltDelayOffset, 6},   {entry::minBoltOpen, 6},
        {entry::asDelay, 6},           {entry::ebMinBoltOpen, 6},
        {entry::powersaveMinutes, 7},  {entry::eyeSensitivity, 8},
        {entry::absDwell, 9},          {entry::mechanicalDebounce, 9}};
    for (const auto& [index, rule] : unsetCases) {
        BoardSettingsImage image = ValidImage();
        image[index] = Unset;
        EXPECT_EQ(ValidateSettings(image, 1, "Tovar").failedRule, rule) << index;
    }
}

TEST(Validation, UpperLimitsOnlyForTheModeEntries) {
    const std::pair<std::size_t, int> tooHigh[] = {
        {entry::operationMode, 1}, {entry::eyeMode, 3}, {entry::timerMode, 4}};
    for (const auto& [index, rule] : tooHigh) {
        BoardSettingsImage image = ValidImage();
        image[index] = index == entry::eyeMode ? 6 : 2;
        EXPECT_EQ(ValidateSettings(image, 0, "").failedRule, rule) << index;
        image[index] = index == entry::eyeMode ? 5 : 1;
        EXPECT_TRUE(ValidateSettings(image, 0, "")) << index;
    }
    BoardSettingsImage image = ValidImage();
    image[entry::powersaveMinutes] = 1000;
    EXPECT_TRUE(ValidateSettings(image, 0, ""));
    // The first failing rule is the one reported.
    image[entry::absDwell] = Unset;
    image[entry::timerMode] = Unset;
    EXPECT_EQ(ValidateSettings(image, 0, "").failedRule, 4);
}

TEST(Validation, EyeSensitivityDependsOnTheBoardName) {
    BoardSettingsImage image = ValidImage();
    image[entry::eyeSensitivity] = Unset;
    EXPECT_TRUE(ValidateSettings(image, 0, "Murrel"));
    EXPECT_TRUE(ValidateSettings(image, 0, "tovar"));
    EXPECT_EQ(ValidateSettings(image, 0, "Tovar").failedRule, 8);
    EXPECT_EQ(ValidateSettings(image, 0, "Quarle").failedRule, 8);
}

TEST(Validation, ClosedBoltEntriesOnlyInClosedBoltMode) {
    BoardSettingsImage image = ValidImage();
    for (auto e :
         {entry::boltDelayOffset, entry::minBoltOpen, entry::asDelay, entry::ebMinBoltOpen})
        image[e] = Unset;
    EXPECT_TRUE(ValidateSettings(image, 0, "Halcyra"));
    EXPECT_TRUE(ValidateSettings(image, 2, "Halcyra"));
    EXPECT_EQ(ValidateSettings(image, 1, "Halcyra").failedRule, 6);
}
