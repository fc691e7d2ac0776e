#include "FlowTestSupport.h"
#include "app/SimConnection.h"
#include "files/SettingsFile.h"
#include "ops/Download.h"
#include "ops/FirmwareImageHex.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/SettingsFileFlows.h"
#include "ops/Upload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

// Every flow that writes the board runs on boards that keep the parts'
// timing rules, at the shortest delay a calibration can give (a 901 ns bus
// cycle: 2.703 ms) and at the nominal 3 ms.
using FamilyAndCycle = std::tuple<Family, std::uint32_t>;
class StrictBoard : public ::testing::TestWithParam<FamilyAndCycle> {
protected:
    Family family() const { return std::get<0>(GetParam()); }
    SimBoardState Board(const BoardSettingsImage& settings) const {
        SimBoardState s = BoardWithSettings(family(), settings);
        s.busCycleNs = std::get<1>(GetParam());
        return s;
    }
};

std::string StrictBoardName(const ::testing::TestParamInfo<FamilyAndCycle>& info) {
    return std::string(std::get<0>(info.param) == Family::Avr ? "Avr" : "Mcs51") +
           (std::get<1>(info.param) == 901 ? "Shortest" : "Nominal");
}

} // namespace

INSTANTIATE_TEST_SUITE_P(FamiliesAndDelays, StrictBoard,
                         ::testing::Combine(::testing::Values(Family::Avr, Family::Mcs51),
                                            ::testing::Values(901u, 1000u)),
                         StrictBoardName);

TEST(UploadFlow, OnlyPageEntriesReachTheBoardEvenWhenItWasSwappedOrNeverRead) {
    for (Family family : {Family::Avr, Family::Mcs51}) {
        // Read one board, then write to another put on the cable meanwhile.
        FlowBench b(BoardWithSettings(family, ValidBoardSettings(3, 3, 5)));
        DownloadConfiguration(b.ctx);
        b.state.settingsImage[entry::debounce] = 21;
        BoardSettingsImage other = ValidBoardSettings(7, 4, 12);
        other[entry::unused] = 0x11;
        other[entry::batteryFraction] = 0x22;
        other[entry::batteryVolts] = 12;
        other[entry::halcyraMode] = 1;
        other[entry::untouched] = 0x33;
        b.board = SimBoard(BoardWithSettings(family, other));
        EXPECT_EQ(UploadConfiguration(b.ctx), 1);
        EXPECT_EQ(b.BoardEntry(entry::debounce), 21);
        for (std::size_t i : kReadOnlyEntries) {
            if (i == 0 && family == Family::Mcs51)
                continue;
            EXPECT_EQ(b.BoardEntry(i), other[i]) << "entry " << i;
        }

        // A board that was never read takes the pages too, as on a
        // production line.
        FlowBench fresh(BoardWithSettings(family, other));
        fresh.state.settingsImage = ValidBoardSettings(9, 9, 9);
        fresh.state.settingsImage[entry::dwell] = 30;
        EXPECT_EQ(UploadConfiguration(fresh.ctx), 1);
        EXPECT_EQ(fresh.BoardEntry(entry::dwell), 30);
        EXPECT_EQ(fresh.BoardEntry(entry::boardTypeCode), 7);
        EXPECT_EQ(fresh.BoardEntry(entry::firmwareMajor), 4);
    }
}

TEST(UploadFlow, RawViewComesBeforeTheWriteAndInvalidSettingsNeverReachThePort) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    b.host.log.clear();
    b.state.runOptions.displayDataMemRaw = 1;
    EXPECT_EQ(UploadConfiguration(b.ctx), 1);
    // The board read before the write, and read back after it.
    EXPECT_EQ(b.host.log, (std::vector<std::string>{"collect page", "message Raw Memory Values",
                                                    "operation 0", "operation 4", "operation 1",
                                                    "operation 5", "operation 4"}));
    EXPECT_EQ(b.host.messages.back().text.rfind("Raw values that will be written", 0), 0u);

    b.host.log.clear();
    b.state.settingsImage[entry::dwell] = Unset;
    EXPECT_EQ(UploadConfiguration(b.ctx), -1);
    // No raw view for a write that never starts.
    EXPECT_EQ(b.host.log,
              (std::vector<std::string>{"collect page", "message Incomplete Settings"}));
}

// Unset entries the validation lets through (a file without their keys)
// are not sent: the board keeps its bytes instead of getting 0xFF.
TEST_P(StrictBoard, UploadWritesTheOpenedFileAndKeepsTheBoardsReadOnlyAndUnsetBytes) {
    const Family family = this->family();
    FlowBench b(Board(ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    const BoardSettingsImage before = b.state.settingsImage;

    BoardSettingsImage fileImage = ValidBoardSettings(7, 1, 1);
    fileImage[entry::debounce] = 11;
    fileImage[entry::afterEyeDelay] = 14;
    const std::size_t unset[] = {entry::boltTimerWait, entry::boltDelayOffset,
                                 entry::ebMinBoltOpen};
    for (std::size_t i : unset)
        fileImage[i] = Unset;
    const fs::path file = TempPath("settings.esf");
    ASSERT_TRUE(SaveSettingsFile(file, fileImage, 0));
    b.host.files.push_back(file.string());
    ASSERT_TRUE(OpenConfiguration(b.ctx));
    EXPECT_EQ(UploadConfiguration(b.ctx), 1);

    EXPECT_EQ(b.BoardEntry(entry::debounce), 11);
    EXPECT_EQ(b.BoardEntry(entry::afterEyeDelay), 14);
    for (std::size_t i : kReadOnlyEntries) {
        if (i == 0 && family == Family::Mcs51)
            continue;
        EXPECT_EQ(b.BoardEntry(i), before[i]) << "entry " << i;
    }
    for (std::size_t i : unset)
        EXPECT_EQ(b.BoardEntry(i), before[i]) << "entry " << i;
}

TEST(UploadFlow, NoBoardGivesSettingsUploadFailed) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    b.host.requests.clear();
    b.state.runOptions.only8051 = 1;
    EXPECT_EQ(UploadConfiguration(b.ctx), -1);
    // The read before the write finds no board, so no write is tried.
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 0}));
    EXPECT_EQ(b.host.Captions().back(), "Settings Upload Failed");
}

TEST_P(StrictBoard, FirmwareUpdateWritesImageThenSettingsThenRequestsARead) {
    const Family family = this->family();
    // The old firmware fills the whole chip, so an erase cut short would
    // show in the new one.
    SimBoardState s = Board(ValidBoardSettings(3, 3, 5));
    const std::vector<std::uint8_t> old = RandomCode(s.code.size(), 8);
    std::copy(old.begin(), old.end(), s.code.begin());
    FlowBench b(s);
    DownloadConfiguration(b.ctx);
    const std::vector<std::uint8_t> code = RandomCode(512, 7);
    b.host.files.push_back(WriteFirmwareFile(3, code).string());
    b.state.settingsImage[entry::debounce] = 9;
    b.host.log.clear();
    b.host.requests.clear();
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::Complete);

    const std::vector<std::uint8_t>& boardCode = b.board.state().code;
    EXPECT_TRUE(std::equal(code.begin(), code.end(), boardCode.begin()));
    EXPECT_TRUE(std::all_of(boardCode.begin() + 512, boardCode.end(),
                            [](std::uint8_t v) { return v == 0xFF; }));
    EXPECT_FALSE(b.board.state().codeCutShort);
    // The erase took the settings; the new firmware restored its factory
    // block, and the settings upload wrote the pages over it.
    EXPECT_EQ(b.BoardEntry(entry::debounce), 9);
    EXPECT_EQ(b.BoardEntry(entry::eyeSensitivity),
              ValidBoardSettings(3, 3, 5)[entry::eyeSensitivity]);
    const int fw = family == Family::Avr ? 6 : 3;
    const int settings = family == Family::Avr ? 5 : 1;
    const int read = family == Family::Avr ? 4 : 0;
    const std::vector<int> ops = b.host.Operations();
    // The settings write, then its read-back.
    EXPECT_EQ(std::vector<int>(ops.end() - 2, ops.end()), (std::vector<int>{settings, read}));
    EXPECT_EQ(std::count(ops.begin(), ops.end(), fw), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), settings), 1);
    // The read request is queued before the completion message.
    ASSERT_GE(b.host.log.size(), 2u);
    EXPECT_EQ(b.host.log[b.host.log.size() - 2], "request download");
    EXPECT_EQ(b.host.messages.back().caption, "Firmware Upload Complete");
    EXPECT_EQ(b.host.messages.back().text,
              "The board firmware and settings have been updated!\n\n");
}

TEST(FirmwareFlow, FileForAnotherBoardOrMalformedLeavesTheBoardAlone) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    const std::vector<std::uint8_t> before = b.board.state().code;
    b.state.FirmwareImageText = "kept\n";

    b.host.files.push_back(WriteFirmwareFile(4, RandomCode(64, 1)).string());
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);

    const fs::path bad = TempPath("bad.efw");
    std::ofstream(bad) << "xxxxxxxxx3 notarecord\n";
    b.host.files.push_back(bad.string());
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);
    EXPECT_EQ(b.host.messages.size(), 2u);

    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 4})); // the download only
    EXPECT_EQ(b.board.state().code, before);
    EXPECT_EQ(b.state.FirmwareImageText, "kept\n");
}

TEST(FirmwareFlow, AnUnreadBoardIsWrittenOnlyWhenTheUserSaysSo) {
    // Firmware revision 0: no read accepts the board, as with broken settings.
    const SimBoardState unreadable = BoardWithSettings(Family::Avr, ValidBoardSettings(3, 0, 0));
    const std::vector<std::uint8_t> code = RandomCode(128, 4);
    for (MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        FlowBench b(unreadable);
        DownloadConfiguration(b.ctx);
        ASSERT_EQ(b.state.boardInfo.boardLoaded, 0);
        b.host.files.push_back(WriteFirmwareFile(5, code).string());
        b.host.answers.push_back(answer);
        const FirmwareUpdate result = UpdateFirmware(b.ctx);
        const std::vector<std::string> captions = b.host.Captions();
        ASSERT_GE(captions.size(), 2u);
        EXPECT_EQ(captions[1], "Board Not Checked");
        if (answer == MessageAnswer::No) {
            EXPECT_EQ(result, FirmwareUpdate::NotWritten);
            EXPECT_EQ(b.board.state().code, unreadable.code);
            continue;
        }
        // Recovered: the firmware is on, the settings could not follow.
        EXPECT_EQ(result, FirmwareUpdate::SettingsNotWritten);
        EXPECT_TRUE(std::equal(code.begin(), code.end(), b.board.state().code.begin()));
        EXPECT_EQ(captions.back(), "Firmware Upload Complete");
    }
    // Bypassing the board check asks nothing.
    FlowBench bypass(unreadable);
    DownloadConfiguration(bypass.ctx);
    bypass.state.runOptions.bypassFwBoardCheck = 1;
    bypass.host.files.push_back(WriteFirmwareFile(5, code).string());
    EXPECT_EQ(UpdateFirmware(bypass.ctx), FirmwareUpdate::SettingsNotWritten);
    for (const std::string& caption : bypass.host.Captions())
        EXPECT_NE(caption, "Board Not Checked");
}

TEST(FirmwareFlow, InitialProgrammingRemembersTheFileAndBeeps) {
    FlowBench b(MakeErasedSimBoard(Family::Mcs51));
    b.state.runOptions.initProgramming = 1;
    const std::vector<std::uint8_t> code = RandomCode(256, 3);
    b.host.files.push_back(WriteFirmwareFile(9, code).string());
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::Complete);
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::Complete); // no second dialog
    EXPECT_EQ(b.host.Entries("choose").size(), 1u);
    EXPECT_EQ(b.host.Entries("beep").size(), 4u);
    EXPECT_TRUE(b.host.messages.empty());
    EXPECT_TRUE(std::equal(code.begin(), code.end(), b.board.state().code.begin()));

    FlowBench cancelled(MakeErasedSimBoard(Family::Mcs51));
    cancelled.state.runOptions.initProgramming = 1;
    EXPECT_EQ(UpdateFirmware(cancelled.ctx), FirmwareUpdate::NotWritten);
    EXPECT_EQ(cancelled.host.Entries("beep").size(), 2u);

    FlowBench absent(NoBoard(Family::Mcs51));
    absent.state.runOptions.initProgramming = 1;
    absent.host.files.push_back(WriteFirmwareFile(9, code).string());
    EXPECT_EQ(UpdateFirmware(absent.ctx), FirmwareUpdate::NotWritten);
    EXPECT_EQ(absent.host.Captions(), (std::vector<std::string>{"Firmware Upload Failed"}));
}

TEST(PresetFlow, EachPresetReachesTheBoardThroughUpload) {
    struct Row {
        Preset preset;
        int boardCode, halcyraMode; // read from the board
        int dwell, debounce, afterEyeDelay, minBoltOpen, asDelay;
    };
    const std::vector<Row> rows = {
        {Preset::Conservative, 3, 0, 16, 25, 4, 50, 30}, {Preset::Normal, 3, 0, 16, 20, 5, 45, 28},
        {Preset::Fast, 3, 0, 16, 15, 4, 40, 22},         {Preset::Extreme, 3, 0, 16, 10, 2, 0, 20},
        {Preset::Normal, 2, 0, 10, 20, 5, 45, 28}, // Halcyra, open bolt
        {Preset::Extreme, 2, 1, 5, 10, 2, 0, 20},  // Halcyra, closed bolt
    };
    for (const Row& row : rows) {
        BoardSettingsImage settings = ValidBoardSettings(row.boardCode, 3, 5);
        settings[entry::halcyraMode] = row.halcyraMode;
        // Every entry a preset sets starts out different from what it sets.
        for (auto [e, v] : std::vector<std::pair<std::size_t, int>>{
                 {entry::firingMode, 2},
                 {entry::rofPeriod, 7},
                 {entry::dwell, 21},
                 {entry::debounce, 33},
                 {entry::afterEyeDelay, 0}, // eye bypassed until a preset sets a delay
                 {entry::eyeBypass, 1},
                 {entry::operationMode, 1},
                 {entry::boltDelayOffset, 9},
                 {entry::minBoltOpen, 12},
                 {entry::asDelay, 11},
                 {entry::aeBypassRofPeriod, 50},
             })
            settings[e] = v;
        FlowBench b(BoardWithSettings(Family::Avr, settings));
        DownloadConfiguration(b.ctx);
        ApplyPreset(row.preset, b.state.settingsImage, b.state.boardInfo);
        ASSERT_EQ(UploadConfiguration(b.ctx), 1);
        BoardSettingsImage expected = settings;
        for (auto [e, v] : std::vector<std::pair<std::size_t, int>>{
                 {entry::firingMode, 0},
                 {entry::rofPeriod, 1},
                 {entry::dwell, row.dwell},
                 {entry::debounce, row.debounce},
                 {entry::afterEyeDelay, row.afterEyeDelay},
                 {entry::eyeBypass, 0},
                 {entry::operationMode, 0},
                 {entry::boltDelayOffset, 6},
                 {entry::minBoltOpen, row.minBoltOpen},
                 {entry::asDelay, row.asDelay},
                 {entry::aeBypassRofPeriod, 83},
             })
            expected[e] = v;
        for (std::size_t i = 0; i < kImageEntries; ++i)
            EXPECT_EQ(b.BoardEntry(i), expected[i]) << "preset " << static_cast<int>(row.preset)
                                                    << " board " << row.boardCode << " entry " << i;
    }
}

TEST(PresetFlow, OnlyABoardNamedExactlyHalcyraGetsItsDwell) {
    for (const char* name : {"halcyra", "Unknown", "Empty", ""}) {
        BoardSettingsImage image{};
        image.fill(Unset);
        BoardInfo info;
        info.boardTypeName = name;
        ApplyPreset(Preset::Normal, image, info);
        EXPECT_EQ(image[entry::dwell], 16) << name;
    }
}

TEST(FactoryDefaultsFlow, AnswerNoOrNoBoardLeavesTheImage) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    b.state.settingsImage = ValidBoardSettings(3, 3, 5);
    EXPECT_FALSE(FactoryDefaults(b.ctx));
    EXPECT_TRUE(b.host.requests.empty());

    FlowBench n(NoBoard());
    n.state.settingsImage = ValidBoardSettings(3, 3, 5);
    n.host.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(FactoryDefaults(n.ctx));
    EXPECT_EQ(n.host.Captions(),
              (std::vector<std::string>{"Confirm Factory Reset", "Settings Upload Failed"}));
    EXPECT_EQ(n.state.settingsImage, ValidBoardSettings(3, 3, 5));
}

TEST(SettingsFileFlow, SaveThenOpenRestoresThePages) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    DownloadConfiguration(b.ctx);
    const BoardSettingsImage saved = b.state.settingsImage;
    const fs::path file = TempPath("roundtrip.esf");
    b.host.files.push_back(file.string());
    b.host.log.clear();
    ASSERT_TRUE(SaveConfiguration(b.ctx));
    EXPECT_EQ(b.host.log, (std::vector<std::string>{"collect page", "choose save"}));
    EXPECT_EQ(b.host.proposedNames, (std::vector<std::string>{"MySettings.esf"}));

    ResetSettingsImage(b.state.settingsImage);
    b.host.files.push_back(file.string());
    ASSERT_TRUE(OpenConfiguration(b.ctx));
    EXPECT_EQ(b.state.settingsImage, saved); // the eye bypass flag follows the delay
    EXPECT_EQ(b.host.log.back(), "reload page");
}

TEST(SettingsFileFlow, OpenedDelaySetsTheEyeBypassFlagWithIt) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"5:0-0", 1}, {"5:1-1", 0}, {"5:1-14", 0}, {"5:1--1", 7}};
    for (const auto& [line, bypass] : cases) {
        FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
        b.state.settingsImage = ValidBoardSettings(3, 3, 5);
        b.state.settingsImage[entry::eyeBypass] = 7; // neither: shows what is left alone
        BoardSettingsImage fileImage = ValidBoardSettings(3, 3, 5);
        std::string text = FormatSettingsFile(fileImage, 0);
        const std::size_t at = text.find("\n5:");
        text.replace(at + 1, text.find('\n', at + 1) - at - 1, line);
        const fs::path file = TempPath("eye.esf");
        std::ofstream(file) << text;
        b.host.files.push_back(file.string());
        ASSERT_TRUE(OpenConfiguration(b.ctx)) << line;
        EXPECT_EQ(b.state.settingsImage[entry::eyeBypass], bypass) << line;
    }
    BoardSettingsImage image = ValidBoardSettings(3, 3, 5);
    image[entry::eyeBypass] = 1;
    ApplyPreset(Preset::Normal, image, BoardInfo{});
    EXPECT_EQ(image[entry::eyeBypass], 0);
}

TEST(SettingsFileFlow, AValueThatDoesNotFitItsByteIsRefusedNamingIt) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    b.state.settingsImage = ValidBoardSettings(3, 3, 5);
    const fs::path file = TempPath("wide.esf");
    std::string text = FormatSettingsFile(ValidBoardSettings(3, 3, 5), 0);
    const std::size_t at = text.find("\n3:");
    text.replace(at + 1, text.find('\n', at + 1) - at - 1, "3:300");
    std::ofstream(file) << text;
    b.host.files.push_back(file.string());
    EXPECT_FALSE(OpenConfiguration(b.ctx));
    ASSERT_EQ(b.host.Captions(), (std::vector<std::string>{"Open Settings Failed"}));
    const std::string& message = b.host.messages.back().text;
    for (const char* part : {"gives key 3 the value 300", "a setting holds 0 to 255", "wide.esf"})
        EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
    EXPECT_EQ(b.state.settingsImage, ValidBoardSettings(3, 3, 5));
    EXPECT_TRUE(b.host.Entries("reload").empty());
}

TEST(SettingsFileFlow, CancelUnreadableOrDeclinedChangesNothing) {
    FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
    b.state.settingsImage = ValidBoardSettings(3, 3, 5);
    const BoardSettingsImage before = b.state.settingsImage;

    EXPECT_FALSE(OpenConfiguration(b.ctx)); // cancelled
    b.host.files.push_back(TempPath("missing.esf").string());
    EXPECT_FALSE(OpenConfiguration(b.ctx));
    EXPECT_EQ(b.host.Captions(), (std::vector<std::string>{"Open Settings Failed"}));

    const fs::path old = TempPath("old.esf");
    std::ofstream(old) << "Ver:2.5\n1:4\n";
    b.host.files.push_back(old.string());
    EXPECT_FALSE(OpenConfiguration(b.ctx)); // answered No
    EXPECT_EQ(b.host.Captions().back(), "Older Settings File Selected");

    EXPECT_EQ(b.state.settingsImage, before);
    EXPECT_TRUE(b.host.Entries("reload").empty());
}

namespace {

SimBoardState FactoryBoard(Family family) {
    NewSimBoard board;
    board.family = family;
    board.boardTypeCode = 3;
    return MakeNewSimBoard(board);
}

} // namespace

TEST_P(StrictBoard, FactoryDefaultsBoardRestoresItsFactoryBlockAndIsReadBack) {
    const Family family = this->family();
    SimBoardState s = FactoryBoard(family);
    s.busCycleNs = std::get<1>(GetParam());
    const std::vector<std::uint8_t> factory = s.factorySettings;
    s.data[4] = 3; // the user changed a setting since
    FlowBench b(s);
    b.state.settingsImage = ValidBoardSettings(3, 3, 10);
    b.host.answers.push_back(MessageAnswer::Yes);
    const std::uint64_t before = b.board.nowNs();
    EXPECT_TRUE(FactoryDefaults(b.ctx));
    EXPECT_EQ(b.host.Captions(), (std::vector<std::string>{"Confirm Factory Reset"}));
    EXPECT_EQ(b.host.Operations(),
              family == Family::Avr ? (std::vector<int>{1, 5, 0, 4}) : (std::vector<int>{1, 0}));
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), b.board.state().data.begin()));
    for (std::size_t i = 1; i < kImageEntries; ++i)
        EXPECT_EQ(b.state.settingsImage[i], b.BoardEntry(i)) << i;
    EXPECT_GE(b.board.nowNs() - before, 1'000'000'000ull); // the pause before the read-back
}

TEST(FactoryDefaultsFlow, FailingWriteRestoresTheImage) {
    SimBoardState s = FactoryBoard(Family::Avr);
    s.faults.stuckAddress = 10;
    s.faults.stuckBit = 0;
    s.faults.stuckLevel = 0;
    FlowBench b(s);
    b.state.settingsImage = ValidBoardSettings(3, 3, 10);
    b.host.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(FactoryDefaults(b.ctx));
    EXPECT_EQ(b.host.Captions().back(), "Settings Upload Failed");
    EXPECT_EQ(b.state.settingsImage, ValidBoardSettings(3, 3, 10));
}

TEST(FactoryDefaultsFlow, FailedReadBackLeavesTheImageUnset) {
    // A board whose firmware has no factory block keeps the 0xFF bytes, which
    // no longer pass the revision check.
    SimBoardState s = BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5));
    s.factorySettings.clear();
    FlowBench b(s);
    b.state.settingsImage = ValidBoardSettings(3, 3, 5);
    b.state.boardInfo.boardLoaded = 1;
    b.host.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(FactoryDefaults(b.ctx));
    EXPECT_EQ(b.host.Captions().back(), "Board Read Failed");
    EXPECT_EQ(b.state.settingsImage[entry::eyeSensitivity], Unset);
    EXPECT_EQ(b.state.settingsImage[entry::dwell], Unset);
    for (std::size_t i : kReadOnlyEntries) // never the 0xFF of the reset write
        EXPECT_EQ(b.state.settingsImage[i], ValidBoardSettings(3, 3, 5)[i]) << i;
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 1);
}

namespace {

// The board's clock, with every pause a flow takes written down.
class PauseLog final : public Clock {
public:
    explicit PauseLog(Clock& inner) : inner_(inner) {}
    std::int64_t NowSeconds() override { return inner_.NowSeconds(); }
    std::int64_t NowMicroseconds() override { return inner_.NowMicroseconds(); }
    void SleepMs(std::uint32_t milliseconds) override {
        pauses.push_back(milliseconds);
        inner_.SleepMs(milliseconds);
    }
    std::vector<std::uint32_t> pauses;

private:
    Clock& inner_;
};

} // namespace

TEST(FlowPauses, NewAvrFirmwareGetsTimeToStartAndAResetBoardTimeToRestore) {
    struct Row {
        Family family;
        bool factoryDefaults; // or a firmware update
        std::vector<std::uint32_t> pauses;
    };
    for (const Row& row : {Row{Family::Avr, false, {1500}}, Row{Family::Mcs51, false, {}},
                           Row{Family::Avr, true, {1000}}, Row{Family::Mcs51, true, {1000}}}) {
        FlowBench b(BoardWithSettings(row.family, ValidBoardSettings(3, 3, 5)));
        PauseLog clock(b.board);
        FlowContext ctx{b.state, b.host, b.board, clock};
        DownloadConfiguration(ctx);
        if (row.factoryDefaults) {
            b.host.answers.push_back(MessageAnswer::Yes);
            EXPECT_TRUE(FactoryDefaults(ctx));
        } else {
            b.host.files.push_back(WriteFirmwareFile(3, RandomCode(64, 5)).string());
            EXPECT_EQ(UpdateFirmware(ctx), FirmwareUpdate::Complete);
        }
        EXPECT_EQ(clock.pauses, row.pauses)
            << (row.family == Family::Avr ? "AVR " : "8051 ") << row.factoryDefaults;
    }
}
