// Numbers never depend on the process locale: the desktop toolkit switches
// it to the user's, and a comma locale must not turn "9.4 volts" into
// "9,4 volts" or read a delay multiplier of 2.5 as 2.
#include "CommaLocale.h"
#include "FlowTestSupport.h"
#include "app/CommandLineInfo.h"
#include "files/SettingsFile.h"
#include "ops/Download.h"
#include "settings/EditText.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

constexpr char kNoLocale[] =
    "the de_DE test locale could not be made (install Debian's locales package)";

} // namespace

TEST(CommaLocale, BoardPanelAndFirmwareMessageUseAPoint) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active()) << kNoLocale;
    NewSimBoard board;
    board.firmwareMajor = 2;
    board.firmwareMinor = 50;
    FlowBench b(BoardWithSettings(Family::Avr, FactorySettingsImage(board))); // 9.4 volts
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.state.boardInfo.batteryVoltageText, "9.4 volts");
    ASSERT_FALSE(b.host.messages.empty());
    EXPECT_NE(b.host.messages[0].text.find("You currently have 2.50, and 3.00 is required."),
              std::string::npos)
        << b.host.messages[0].text;
}

TEST(CommaLocale, OptionsFilesAndEditTextsReadAndWriteAPoint) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active()) << kNoLocale;
    EXPECT_EQ(ParseDelayMultiplier("2.5"), 2.5f);
    EXPECT_EQ(FormatSettingsFile(BoardSettingsImage{}, 0).substr(0, 8), "Ver:3.0\n");
    EXPECT_EQ(CheckSettingsVersionLine("Ver:2.5"), SettingsVersion::Older);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:3.5"), SettingsVersion::Accepted);
    EXPECT_EQ(FormatHalves(37), "18.5");
    EXPECT_DOUBLE_EQ(ReadEditNumber("18.5"), 18.5);
    EXPECT_EQ(FormatFixed(9.4f, 1), "9.4");
    EXPECT_EQ(FormatFixed(2.5, 2), "2.50");
}
