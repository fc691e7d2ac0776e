#include "FlowTestSupport.h"
#include "ops/Download.h"
#include "ops/RawMemory.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvo;

TEST(DownloadFlow, NoBoardFailsAfterFourAttempts) {
    FlowBench b(NoBoard());
    b.state.settingsImage[entry::firingMode] = 3;
    b.state.settingsImage[entry::boardTypeCode] = 4;
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 4, 0, 4}));
    EXPECT_EQ(b.host.requests[0].initialStatus,
              "Searching for a board on port 0x378, please wait...");
    EXPECT_EQ(b.host.requests[1].initialStatus,
              "Searching for a board on port 0x378, please wait... ");
    EXPECT_EQ(b.host.requests[1].warning,
              "Do not turn off the power or disconnect the programming cable. ");
    EXPECT_EQ(b.host.Captions(), (std::vector<std::string>{"Board Read Failed"}));
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 0);
    EXPECT_EQ(b.state.settingsImage[entry::firingMode], Unset);
    EXPECT_EQ(b.state.settingsImage[entry::boardTypeCode], 4); // read-only entries stay
    EXPECT_TRUE(b.host.Entries("rebuild").empty());
}

TEST(DownloadFlow, FamilyOptionsSkipAttempts) {
    FlowBench avrOnly(NoBoard());
    avrOnly.state.runOptions.avrOnly = 1;
    DownloadConfiguration(avrOnly.ctx);
    EXPECT_EQ(avrOnly.host.Operations(), (std::vector<int>{4, 4}));

    FlowBench only8051(NoBoard());
    only8051.state.runOptions.only8051 = 1;
    DownloadConfiguration(only8051.ctx);
    EXPECT_EQ(only8051.host.Operations(), (std::vector<int>{0, 0}));
}

TEST(DownloadFlow, ReadsAndIdentifiesAnAvrBoard) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    // One read of the board that answered; its passes agreed.
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 4}));
    EXPECT_TRUE(b.host.messages.empty());
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Tovar", "v3.5", "N/A"}));
    EXPECT_EQ(b.host.pages, (std::vector<int>{0, 2, 3, 6, 7}));
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 1);
    EXPECT_TRUE(b.host.uploadEnabled);
    for (std::size_t i = 0; i < kImageEntries; ++i)
        EXPECT_EQ(b.state.settingsImage[i], b.BoardEntry(i)) << i;
    EXPECT_EQ(b.host.log.back(), "reload page");
}

namespace {

struct BoardRow {
    int code;
    std::string name;
    bool battery; // shows its voltage
    std::vector<int> pages;
};

} // namespace

TEST(DownloadFlow, EachBoardTypeShowsItsNamePagesAndBattery) {
    const std::vector<int> basic = {0, 2, 3, 6, 7};
    const std::vector<int> lcd = {0, 2, 3, 4, 5, 6};
    const std::vector<BoardRow> rows = {
        {0, "Brume", false, basic},
        {1, "Fennick", true, lcd},
        {2, "Halcyra", false, {0, 1, 2, 3, 6, 7}},
        {3, "Tovar", false, basic},
        {4, "Quarle", false, basic},
        {5, "Dask", true, basic},
        {6, "Murrel", false, {0, 1, 2, 6, 7}},
        {7, "Sollinder", true, basic},
        {8, "Pembra", true, basic},
        {9, "Vex2", true, basic},
        {10, "Wyre", true, lcd},
        {11, "Unknown", false, {0, 1, 2, 3, 4, 5, 6, 7}},
        {255, "Unknown", false, {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const BoardRow& row : rows) {
        BoardSettingsImage settings = ValidBoardSettings(row.code, 3, 10);
        settings[entry::halcyraMode] = 1; // only a Halcyra takes its bolt mode from here
        settings[entry::batteryVolts] = 6;
        settings[entry::batteryFraction] = 77; // 6.3 volts: low where it is read
        FlowBench b(BoardWithSettings(Family::Avr, settings));
        b.state.boardInfo.dialogMode = 1;
        DownloadConfiguration(b.ctx);
        EXPECT_EQ(b.host.panel,
                  (std::vector<std::string>{row.name, "v3.10", row.battery ? "6.3 volts" : "N/A"}))
            << row.code;
        EXPECT_EQ(b.host.pages, row.pages) << row.code;
        EXPECT_EQ(b.state.boardInfo.dialogMode, row.code == 2 ? 1 : 0) << row.code;
        EXPECT_EQ(b.state.boardInfo.hasBatteryReading, row.battery ? 1 : 0) << row.code;
        std::vector<std::string> captions;
        if (row.name == "Unknown")
            captions.push_back("New Firmware Required");
        if (row.battery)
            captions.push_back("Low Battery Found");
        EXPECT_EQ(b.host.Captions(), captions) << row.code;
    }
}

TEST(DownloadFlow, BatteryIsShownStrictlyBetweenOneAndFifteenVoltsAndLowBelowSixAndAHalf) {
    struct Row {
        int volts, fraction;
        std::string text;
        bool low;
    };
    const std::vector<Row> rows = {
        {6, 128, "6.5 volts", false}, {6, 127, "6.5 volts", true}, {1, 0, "N/A", false},
        {1, 1, "1.0 volts", true},    {15, 0, "N/A", false},       {14, 255, "15.0 volts", false},
    };
    for (const Row& row : rows) {
        BoardSettingsImage settings = ValidBoardSettings(5, 3, 0);
        settings[entry::batteryVolts] = row.volts;
        settings[entry::batteryFraction] = row.fraction;
        FlowBench b(BoardWithSettings(Family::Avr, settings));
        DownloadConfiguration(b.ctx);
        const std::string at = std::to_string(row.volts) + "+" + std::to_string(row.fraction);
        EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Dask", "v3.0", row.text})) << at;
        EXPECT_EQ(b.host.Captions(), row.low ? std::vector<std::string>{"Low Battery Found"}
                                             : std::vector<std::string>{})
            << at;
    }
}

TEST(DownloadFlow, EightBitBoardLeavesEntryZeroAlone) {
    FlowBench b(BoardWithSettings(Family::Mcs51, ValidBoardSettings(1, 4, 2)));
    b.state.settingsImage[0] = 77;
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0}));
    EXPECT_EQ(b.state.settingsImage[0], 77);
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Fennick", "v4.2", "9.4 volts"}));
}

TEST(DownloadFlow, BoardAnsweringOnlyTheFourthAttemptIsRead) {
    SimBoardState s = BoardWithSettings(Family::Avr, ValidBoardSettings(0, 3, 0));
    s.faults.answerFromEnable = 2; // AVR enables come in attempts 2 and 4
    FlowBench b(s);
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 4, 0, 4}));
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 1);
    EXPECT_EQ(b.host.panel[0], "Brume");
}

TEST(DownloadFlow, WarningsComeInOrderAndOldFirmwareDisablesUpload) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(11, 2, 99)));
    DownloadConfiguration(b.ctx);
    ASSERT_EQ(b.host.messages.size(), 2u);
    EXPECT_NE(b.host.messages[1].text.find("You currently have 2.99, and 3.00 is required."),
              std::string::npos);
    EXPECT_FALSE(b.host.uploadEnabled);
    EXPECT_FALSE(b.state.uploadEnabled);
    // The unrecognised-board message comes before the panel is written.
    const auto& log = b.host.log;
    const auto firstMessage = std::find(log.begin(), log.end(), "message New Firmware Required");
    const auto panel = std::find_if(log.begin(), log.end(),
                                    [](const std::string& e) { return e.rfind("panel", 0) == 0; });
    EXPECT_LT(firstMessage, panel);
}

TEST(DownloadFlow, BypassedFirmwareCheckSaysNothingAndLeavesTheButton) {
    FlowBench b(BoardWithSettings(Family::Mcs51, ValidBoardSettings(5, 2, 50)));
    b.state.runOptions.bypassFirmwareCheck = 1;
    b.host.uploadEnabled = false;
    DownloadConfiguration(b.ctx);
    EXPECT_TRUE(b.host.messages.empty());
    EXPECT_FALSE(b.host.uploadEnabled);
}

TEST(DownloadFlow, NoFirmwareLeavesPanelUnknownButBoardLoaded) {
    FlowBench b(BoardWithSettings(Family::Mcs51, ValidBoardSettings(3, 0, 0)));
    b.state.runOptions.bypassReadCheck = 1; // revision 0 fails the read check otherwise
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 1);
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_TRUE(b.host.messages.empty());
    EXPECT_TRUE(b.host.Entries("reload").empty());
}

TEST(DownloadFlow, RawMemoryViewShowsEntriesZeroToThirtyFiveAsRead) {
    BoardSettingsImage settings{};
    for (std::size_t i = 0; i < kImageEntries; ++i)
        settings[i] = static_cast<std::int32_t>(100 + i);
    settings[entry::firmwareMajor] = 3;
    settings[entry::firmwareMinor] = 0;
    settings[entry::boardTypeCode] = 3;
    FlowBench b(BoardWithSettings(Family::Avr, settings));
    b.state.runOptions.displayDataMemRaw = 1;
    DownloadConfiguration(b.ctx);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0].caption, "Raw Memory Values");
    EXPECT_EQ(b.host.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(b.host.messages[0].text,
              "Raw values read from data memory.\nFirst 36 bytes are read only, and first byte "
              "isn't used.\n\n"
              "100  101  102  103  104  105  106  107  108  109  110\n"
              "111  112  113  114  115  116  117  118  119  3\n"
              "0  3  123  124  125  126  127  128  129  130\n"
              "131  132  133  134  135  ");
}

TEST(RawMemory, WillBeWrittenViewOfUnsetEntries) {
    BoardSettingsImage image;
    image.fill(Unset);
    image[36] = 99; // never shown
    EXPECT_EQ(RawMemoryText(image, RawMemoryMode::WillBeWritten),
              "Raw values that will be written to data memory.\nFirst 36 bytes are written only, "
              "and first byte isn't used.\n\n"
              "-1  -1  -1  -1  -1  -1  -1  -1  -1  -1  -1\n"
              "-1  -1  -1  -1  -1  -1  -1  -1  -1  -1\n"
              "-1  -1  -1  -1  -1  -1  -1  -1  -1  -1\n"
              "-1  -1  -1  -1  -1  ");
}

TEST(PinTestFlow, EachMessageNamesThePinThatIsHighAndInputsAsTheyRead) {
    // The cable's inputs float to these levels: pins 10 and 13 high, 11 and
    // 12 low (status 0xD0, Busy inverted); then the opposite (0x20).
    for (std::uint8_t status : {std::uint8_t{0xD0}, std::uint8_t{0x20}}) {
        SimBoardState s = NoBoard();
        s.floatingStatus = status;
        FlowBench b(s);
        b.state.runOptions.pinTest = 1;
        std::vector<std::vector<int>> highPins; // pins 1 to 17 high at each message
        b.host.onMessage = [&] {
            std::vector<int> high;
            for (int pin = 1; pin <= 17; ++pin)
                if (b.board.PinHigh(pin))
                    high.push_back(pin);
            highPins.push_back(high);
        };
        DownloadConfiguration(b.ctx);
        ASSERT_EQ(b.host.messages.size(), 13u);
        EXPECT_TRUE(b.host.requests.empty());
        const bool first = status == 0xD0;
        // Pins 14 and 17 (inverted control outputs) stay high throughout.
        for (int step = 1; step <= 9; ++step) {
            const auto& m = b.host.messages[step - 1];
            EXPECT_EQ(m.text, "Pin " + std::to_string(step) + " is now high.");
            EXPECT_EQ(m.caption, "Kelvo");
            EXPECT_EQ(m.icon, MessageIcon::None);
            std::vector<int> expected = {step, 14, 17};
            if (first)
                expected.insert(expected.end(), {10, 13});
            else
                expected.insert(expected.end(), {11, 12});
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(highPins[step - 1], expected) << "step " << step;
        }
        for (int pin = 10; pin <= 13; ++pin) {
            const bool high = (pin == 10 || pin == 13) == first;
            EXPECT_EQ(b.host.messages[pin - 1].text,
                      "Pin " + std::to_string(pin) +
                          (high ? " reads high."
                                : " reads low. Pins 10 to 13 are inputs driven by the cable, "
                                  "not by this test."));
        }
        // Every register back at 0x00: pin 1 high through its inverter, the
        // data pins low.
        std::vector<int> end;
        for (int pin = 1; pin <= 9; ++pin)
            end.push_back(b.board.PinHigh(pin) ? 1 : 0);
        EXPECT_EQ(end, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_FALSE(b.board.PinHigh(16));
    }
}
