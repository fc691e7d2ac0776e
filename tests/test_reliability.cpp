// A noisy cable, an update that does not finish: what is kept, written or
// reported as done is never a corrupted copy of what the board holds.
#include "FlowTestSupport.h"
#include "files/SettingsFile.h"
#include "ops/ConfirmedRead.h"
#include "ops/Download.h"
#include "ops/FirmwareBackup.h"
#include "ops/FirmwareUpdate.h"
#include "ops/RecoverySettings.h"
#include "ops/Upload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

// Nothing a test runs, kelvo-cli included, keeps copies in the user's own
// state folder.
const bool kStateHomeSet = [] {
    const fs::path home = fs::temp_directory_path() / "kelvo-test-state";
#ifdef _WIN32
    _putenv_s("LOCALAPPDATA", home.string().c_str());
#else
    setenv("XDG_STATE_HOME", home.string().c_str(), 1);
#endif
    return true;
}();

// What one run of a flow left: whether it said it succeeded, the board, and
// what it would have written to a file.
struct Outcome {
    bool success = false;
    std::vector<std::uint8_t> code, data;
    std::string output;
};

enum class Flow { Download, Upload, UpdateWithBackup };

Outcome RunFlow(Flow flow, Family family, double rate, std::uint64_t seed,
                const fs::path& firmware) {
    SimBoardState s = BoardWithSettings(family, ValidBoardSettings(3, 3, 5));
    s.code.assign(s.code.size(), 0xFF);
    for (std::size_t i = 0; i < 600; ++i) // the old firmware, to be backed up
        s.code[i] = static_cast<std::uint8_t>(i * 7);
    s.faults.bitErrorRate = rate;
    s.faults.bitErrorSeed = seed;
    FlowBench b(s);
    Outcome o;
    DownloadConfiguration(b.ctx);
    const bool read = b.state.boardInfo.boardLoaded == 1;
    switch (flow) {
    case Flow::Download:
        o.success = read;
        o.output = FormatSettingsFile(b.state.settingsImage, b.state.boardInfo.dialogMode);
        break;
    case Flow::Upload:
        b.state.settingsImage[entry::debounce] = 12;
        o.success = read && UploadConfiguration(b.ctx) == 1;
        break;
    case Flow::UpdateWithBackup:
        if (read && ReadFirmware(b.ctx) == FirmwareRead::Read) {
            o.output = FormatFirmwareBackup(b.state.codeRead.memory, 3, BackupFormat::IntelHex);
            b.host.files.push_back(firmware.string());
            o.success = UpdateFirmware(b.ctx) == FirmwareUpdate::Complete;
        }
        break;
    }
    // The settings block: the rest of the data memory holds nothing and is
    // never read (a stray write there goes unseen, like one into code).
    const SimBoardState& board = b.board.state();
    o.code = board.code;
    o.data.assign(board.data.begin(),
                  board.data.begin() + static_cast<long>(family == Family::Avr
                                                             ? kAvrSettingsBytes
                                                             : k8051SettingsBytes));
    return o;
}

} // namespace

// Over many seeds of cable bit errors, a flow that reports success leaves
// the board's settings and firmware, and its output, exactly as on a clean
// cable; otherwise it fails.
TEST(BitErrors, NoFlowCallsACorruptedResultASuccess) {
    const fs::path firmware = WriteFirmwareFile(3, RandomCode(256, 5));
    const Flow flows[] = {Flow::Download, Flow::Upload, Flow::UpdateWithBackup};
    const Family families[] = {Family::Mcs51, Family::Avr};
    Outcome clean[3][2];
    for (int f = 0; f < 3; ++f)
        for (int m = 0; m < 2; ++m) {
            clean[f][m] = RunFlow(flows[f], families[m], 0.0, 1, firmware);
            ASSERT_TRUE(clean[f][m].success) << f << m;
        }
    int falseSuccesses = 0, failures = 0;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        // Each flow on each family at 1e-6, 1e-5, 1e-4 and 1e-3.
        const std::size_t f = seed % 3, m = seed / 3 % 2;
        const double rate = std::pow(10.0, -6.0 + static_cast<double>(seed / 6 % 4));
        const Outcome o = RunFlow(flows[f], families[m], rate, seed, firmware);
        if (!o.success) {
            ++failures;
        } else if (o.code != clean[f][m].code || o.data != clean[f][m].data ||
                   o.output != clean[f][m].output) {
            ++falseSuccesses;
            ADD_FAILURE() << "flow " << f << " seed " << seed << " rate " << rate
                          << ": success with a corrupted result";
        }
    }
    EXPECT_EQ(falseSuccesses, 0);
    EXPECT_GT(failures, 0) << "the noisiest cables must fail some runs";
}

// A read-locked 8051-family part reads blank; bit errors must not turn
// that into a backup of noise, nor reads that differ into a copy.
TEST(BitErrors, ReadsThatNeverAgreeAreRefusedAndALockedPartIsNeverCopied) {
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        SimBoardState s = BoardWithSettings(Family::Mcs51, ValidBoardSettings(3, 3, 5));
        s.lockBits = 0xFC;
        s.faults.bitErrorRate = 1e-5;
        s.faults.bitErrorSeed = seed;
        FlowBench b(s);
        EXPECT_NE(ReadFirmware(b.ctx), FirmwareRead::Read) << seed;
    }
    // So noisy that no two passes agree: refused, and the user is told why.
    struct Refusal {
        bool firmware;
        double rate;
        const char* caption;
        const char* text;
    };
    const Refusal refusals[] = {
        {false, 3e-3, "Board Read Failed",
         "A board answered, but its settings read differently each time they were read, so "
         "they cannot be trusted. The programming cable may be loose, too long or picking up "
         "noise.\n\nWhen you have verified the connections, try again."},
        {true, 1e-4, "Firmware Read Failed",
         "A board answered, but its firmware read differently each time it was read, so no "
         "copy has been made. The programming cable may be loose, too long or picking up "
         "noise."},
    };
    for (const Refusal& r : refusals) {
        bool disagreed = false;
        for (std::uint64_t seed = 1; seed <= 40 && !disagreed; ++seed) {
            SimBoardState s = BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5));
            s.faults.bitErrorRate = r.rate;
            s.faults.bitErrorSeed = seed;
            FlowBench b(s);
            b.state.runOptions.avrOnly = 1;
            if (r.firmware) {
                EXPECT_NE(ReadFirmware(b.ctx), FirmwareRead::Read);
            } else {
                DownloadConfiguration(b.ctx);
                EXPECT_EQ(b.state.boardInfo.boardLoaded, 0);
            }
            disagreed = b.host.Captions() == std::vector<std::string>{r.caption} &&
                        b.host.messages[0].text == r.text;
            if (disagreed) {
                // The read that found the board made all its passes; nothing after it.
                EXPECT_EQ(b.host.Operations().back(), r.firmware ? 8 : 4);
                EXPECT_LE(b.host.Operations().size(), 2u);
            }
        }
        EXPECT_TRUE(disagreed) << r.caption;
    }
}

namespace {

std::vector<fs::path> RecoveryFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::exists(folder))
        for (const fs::directory_entry& e : fs::directory_iterator(folder))
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(RecoveryCopy, AnUpdateKeepsTheSettingsFirstAndEveryUnfinishedOneNamesThem) {
    const std::vector<std::uint8_t> code = RandomCode(512, 3);
    enum class Ending { Done, NoBoard, Stopped, FolderUnusable };
    for (Ending ending : {Ending::Done, Ending::NoBoard, Ending::Stopped, Ending::FolderUnusable}) {
        SCOPED_TRACE(static_cast<int>(ending));
        FlowBench b(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
        const fs::path folder = b.state.recoveryFolder;
        fs::remove_all(folder);
        StopRequest stop;
        b.ctx.stop = &stop;
        DownloadConfiguration(b.ctx);
        b.state.settingsImage[entry::debounce] = 13; // the page as the user left it
        const BoardSettingsImage kept = b.state.settingsImage;
        const std::vector<std::uint8_t> oldCode = b.board.state().code;
        b.host.files.push_back(WriteFirmwareFile(3, code).string());
        if (ending == Ending::NoBoard)
            b.board = SimBoard(NoBoard());
        if (ending == Ending::FolderUnusable)
            std::ofstream(folder) << "not a folder";
        b.host.onPosition = [&](int position) {
            if (ending == Ending::Stopped && b.host.requests.back().operation == 6 && position == 5)
                stop.requested = true;
        };
        b.host.messages.clear();
        const FirmwareUpdate result = UpdateFirmware(b.ctx);
        if (ending == Ending::FolderUnusable) {
            EXPECT_EQ(result, FirmwareUpdate::NotWritten);
            EXPECT_EQ(b.host.Captions(), std::vector<std::string>{"Settings Not Saved"});
            EXPECT_EQ(b.board.state().code, oldCode);
            fs::remove(folder);
            continue;
        }
        const std::vector<fs::path> files = RecoveryFiles(folder);
        ASSERT_EQ(files.size(), 1u);
        const std::string name = files[0].filename().string();
        EXPECT_EQ(name.rfind("settings-", 0), 0u);
        EXPECT_NE(name.find("-Tovar.esf"), std::string::npos) << name;
        std::ifstream in(files[0]);
        BoardSettingsImage loaded = ValidBoardSettings(0, 0, 0);
        std::int32_t dialogMode = -1;
        ASSERT_FALSE(ReadSettingsFile(in, loaded, dialogMode).has_value());
        EXPECT_EQ(loaded[entry::debounce], 13);
        EXPECT_EQ(FormatSettingsFile(loaded, dialogMode),
                  FormatSettingsFile(kept, b.state.boardInfo.dialogMode));
        // The last message tells where the copy is and how to put it back;
        // after a stop the flow says nothing more, and the face that took
        // the stop names the copy.
        if (ending == Ending::Stopped) {
            EXPECT_TRUE(b.host.messages.empty());
            EXPECT_EQ(b.state.recoverySettingsFile, files[0].string());
            EXPECT_EQ(result, FirmwareUpdate::NotWritten);
            continue;
        }
        ASSERT_FALSE(b.host.messages.empty());
        const std::string& last = b.host.messages.back().text;
        const bool named =
            last.find(files[0].string()) != std::string::npos &&
            last.find("kelvo-cli upload " + files[0].string()) != std::string::npos &&
            last.find("\"Open Configuration\"") != std::string::npos;
        EXPECT_EQ(named, ending != Ending::Done) << last;
        EXPECT_EQ(b.state.recoverySettingsFile.empty(), ending == Ending::Done);
        EXPECT_EQ(result,
                  ending == Ending::Done ? FirmwareUpdate::Complete : FirmwareUpdate::NotWritten);
    }
}

TEST(RecoveryCopy, OnlyTheNewestTwentyAreKept) {
    const fs::path folder = TempPath("pruned");
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (int i = 0; i < 25; ++i) {
        const fs::path p = folder / ("settings-2020010" + std::to_string(i % 10) + "-00000" +
                                     std::to_string(i / 10) + "-Tovar.esf");
        std::ofstream(p) << "old";
        fs::last_write_time(p, old + std::chrono::minutes(i));
    }
    std::ofstream(folder / "notes.txt") << "mine";
    std::string error;
    const auto saved =
        SaveRecoverySettings(folder, ValidBoardSettings(3, 3, 5), 0, "Bad/Name", error);
    ASSERT_TRUE(saved) << error;
    EXPECT_NE(saved->filename().string().find("-Bad_Name.esf"), std::string::npos);
    const std::vector<fs::path> files = RecoveryFiles(folder);
    EXPECT_EQ(files.size(), kRecoveryFilesKept + 1); // and the notes
    EXPECT_TRUE(fs::exists(*saved));
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
    // The oldest went: the first six written.
    EXPECT_FALSE(fs::exists(folder / "settings-20200105-000000-Tovar.esf"));
    EXPECT_TRUE(fs::exists(folder / "settings-20200106-000000-Tovar.esf"));
    // A second copy in the same second never replaces the first.
    const auto again =
        SaveRecoverySettings(folder, ValidBoardSettings(3, 3, 5), 0, "Bad/Name", error);
    ASSERT_TRUE(again);
    EXPECT_NE(*again, *saved);
}
