// kelvo-cli end to end: each command as a user types it, on a simulated
// board kept in a state file between commands.

#include "FirmwareTestImages.h"
#include "app/cli/Cli.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimStateFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int exit;
    std::string out, err;
    int Count(const std::string& needle) const {
        int n = 0;
        for (std::size_t p = err.find(needle); p != std::string::npos; p = err.find(needle, p + 1))
            ++n;
        return n;
    }
};

class CliBoard : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("kelvo-cli-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::string board = (dir / "board.json").string();

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    CliRun Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = RunCli(args, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun OnBoard(std::vector<std::string> args) {
        args.insert(args.begin(), {"--sim", board});
        return Run(args);
    }
    void Create(std::vector<std::string> options) {
        std::vector<std::string> args = {"sim-create", board};
        args.insert(args.end(), options.begin(), options.end());
        const CliRun r = Run(args);
        ASSERT_EQ(r.exit, 0) << r.err;
    }
    SimBoardState Board() {
        SimBoardState s;
        std::string error;
        EXPECT_TRUE(LoadSimState(board, s, error)) << error;
        return s;
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Puts `line` in place of key `key`'s line of a settings file.
void SetKeyLine(const std::string& path, int key, const std::string& line) {
    std::string text = ReadText(path);
    const std::string start = "\n" + std::to_string(key) + ":";
    const std::size_t at = text.find(start);
    ASSERT_NE(at, std::string::npos);
    text.replace(at + 1, text.find('\n', at + 1) - at - 1, line);
    std::ofstream(path, std::ios::trunc) << text;
}

// kelvo-cli as a program, its stdout sent to `stdoutPath`, stderr to
// nowhere; returns its exit status.
int RunProgram(const std::vector<std::string>& args, const char* stdoutPath) {
    std::vector<std::string> all = {KELVO_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, stdoutPath, O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int EntryOf(const std::string& out, int i) {
    const std::string key = "Entry " + std::to_string(i) + ": ";
    const std::size_t p = out.find(key);
    return p == std::string::npos ? -999 : std::stoi(out.substr(p + key.size()));
}

} // namespace

TEST_F(CliBoard, NoBoardFailsAfterFourAttemptsOfOneLineEach) {
    Create({"--family", "avr", "--no-board"});
    const CliRun r = OnBoard({"download"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "kelvo-cli: simulated board " + board +
                         ", no hardware is used\n"
                         "Searching for a board on port 0x378, please wait...\n"
                         "no answer as 8051\nno answer as AVR\nno answer as 8051\n"
                         "no answer as AVR\n"
                         "kelvo-cli: Board Read Failed: Unable to read settings from board. "
                         "Make sure the programming cable is plugged in, and the power is on.    "
                         "\n\nWhen you have verified the connections, press the \"Download "
                         "Configuration\" button to try to again.\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliBoard, FamilySwitchesLimitTheAttempts) {
    Create({"--family", "avr", "--no-board"});
    const CliRun avr = OnBoard({"-AVRonly", "download"});
    EXPECT_EQ(avr.Count("no answer as AVR\n"), 2);
    EXPECT_EQ(avr.Count("no answer as"), 2);
    const CliRun r = OnBoard({"-AVRonly", "-8051only", "download"});
    EXPECT_EQ(r.Count("Searching for a board on port 0x378, please wait...\n"), 1);
    EXPECT_EQ(r.Count("no answer as 8051\n"), 2);
    EXPECT_EQ(r.Count("no answer as"), 2);
}

TEST_F(CliBoard, DownloadPrintsThePanelAndSavesTheFile) {
    Create({"--family", "8051", "--board", "10", "--firmware", "4.2", "--battery", "9.4"});
    const CliRun r = OnBoard({"download", "-o", Path("s.esf")});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("Board Type: Wyre\nFirmware Revision: v4.2\nBattery Voltage: 9.4 volts\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(EntryOf(r.out, 22), 10);
    std::ifstream file(Path("s.esf"));
    std::string first;
    std::getline(file, first);
    EXPECT_EQ(first, "Ver:3.0");
}

TEST_F(CliBoard, UploadWritesTheFileAndKeepsReadOnlyBytes) {
    Create({"--family", "avr", "--board", "3", "--firmware", "3.5"});
    ASSERT_EQ(OnBoard({"download", "-o", Path("s.esf")}).exit, 0);
    std::string text;
    {
        std::ifstream in(Path("s.esf"));
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    text.replace(text.find("\n3:"), text.find('\n', text.find("\n3:") + 1) - text.find("\n3:"),
                 "\n3:12");
    std::ofstream(Path("s.esf")) << text;
    const SimBoardState before = Board();

    const CliRun up = OnBoard({"upload", Path("s.esf")});
    ASSERT_EQ(up.exit, 0) << up.err;
    const SimBoardState after = Board();
    EXPECT_EQ(after.data[4], 12);
    for (std::size_t i : {0, 20, 21, 22, 30, 31, 33, 36})
        EXPECT_EQ(after.data[i], before.data[i]) << i;
}

TEST_F(CliBoard, OldFirmwareRefusesUploadAndPresetsAndLowBatteryWarns) {
    Create({"--family", "avr", "--board", "5", "--firmware", "2.50", "--battery", "6.0"});
    ASSERT_EQ(OnBoard({"download", "-o", Path("s.esf")}).exit, 0);
    const SimBoardState before = Board();
    const CliRun r = OnBoard({"upload", Path("s.esf")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.Count("New Firmware Required: You do not have the minimum"), 1);
    EXPECT_EQ(r.Count("Low Battery Found:"), 1);
    EXPECT_EQ(r.Count("Upload Configuration is disabled"), 1);
    const CliRun p = OnBoard({"preset", "extreme"});
    EXPECT_EQ(p.exit, 1);
    EXPECT_EQ(p.Count("Upload Configuration is disabled"), 1);
    EXPECT_EQ(Board().data, before.data);
}

TEST_F(CliBoard, UploadSetsTheEyeBypassWithItsDelayAndWarnsAboutUnofferedValues) {
    Create({"--family", "8051", "--board", "3"});
    ASSERT_EQ(OnBoard({"download", "-o", Path("s.esf")}).exit, 0);
    ASSERT_EQ(Board().data[15 - 1], 0); // "Delay" on the board
    SetKeyLine(Path("s.esf"), 5, "5:0-0");
    SetKeyLine(Path("s.esf"), 3, "3:0");
    const CliRun r = OnBoard({"upload", Path("s.esf")});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.Count("kelvo-cli: warning: key 3 of " + Path("s.esf") +
                      " is 0, which the desktop program's page does not offer (1 to 30)"),
              1)
        << r.err;
    EXPECT_EQ(r.Count("warning"), 1);
    EXPECT_EQ(Board().data[5 - 1], 0);
    EXPECT_EQ(Board().data[15 - 1], 1); // "Bypass Eye" goes with the delay of 0
    EXPECT_EQ(Board().data[4 - 1], 0);
}

TEST_F(CliBoard, UploadRefusesAValueThatDoesNotFitItsByte) {
    Create({"--family", "avr", "--board", "3"});
    ASSERT_EQ(OnBoard({"download", "-o", Path("s.esf")}).exit, 0);
    const SimBoardState before = Board();
    for (const char* line : {"3:300", "3:-5"}) {
        SetKeyLine(Path("s.esf"), 3, line);
        const CliRun r = OnBoard({"upload", Path("s.esf")});
        EXPECT_EQ(r.exit, 1) << line;
        EXPECT_EQ(r.Count("Open Settings Failed: The settings file\n" + Path("s.esf") +
                          "\ngives key 3 the value " + std::string(line + 2) +
                          ", which does not fit: a setting holds 0 to 255."),
                  1)
            << r.err;
        EXPECT_EQ(Board().data, before.data);
    }
}

TEST_F(CliBoard, UnknownBoardTypeIsReadWithAWarning) {
    Create({"--family", "8051", "--board", "42"});
    const CliRun r = OnBoard({"download"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.Count("New Firmware Required: The board type is unrecognized"), 1);
    EXPECT_NE(r.out.find("Board Type: Unknown"), std::string::npos);
}

TEST_F(CliBoard, FirmwareUpdateWritesImageAndSettingsOnBothFamilies) {
    for (const char* family : {"avr", "8051"}) {
        Create({"--family", family, "--board", "3", "--force"});
        std::mt19937 rng(5);
        std::vector<std::uint8_t> code(1024);
        for (auto& b : code)
            b = static_cast<std::uint8_t>(rng());
        std::ofstream(Path("fw.efw")) << FormatFirmwareImage(3, CutIntoRecords(code));
        const CliRun r = OnBoard({"update-firmware", Path("fw.efw")});
        ASSERT_EQ(r.exit, 0) << family << r.err;
        EXPECT_EQ(r.Count("Firmware Upload Complete: The board firmware and settings have been "
                          "updated!"),
                  1);
        const SimBoardState s = Board();
        EXPECT_TRUE(std::equal(code.begin(), code.end(), s.code.begin())) << family;
    }
}

TEST_F(CliBoard, BadFirmwareFilesLeaveTheBoardUntouched) {
    Create({"--family", "avr", "--board", "3"});
    const std::vector<std::uint8_t> code = {1, 2, 3};
    std::ofstream(Path("other.efw")) << FormatFirmwareImage(4, CutIntoRecords(code));
    std::ofstream(Path("bad.efw")) << "KelvoEFW:3 garbage\n";
    const SimBoardState before = Board();
    CliRun r = OnBoard({"update-firmware", Path("other.efw")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.Count("Bad Firmware File: The firmware you have selected does not appear\nto be "
                      "for the board"),
              1);
    r = OnBoard({"update-firmware", Path("bad.efw")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.Count("Bad Firmware File: The firmware you have selected does not appear valid."),
              1);
    EXPECT_EQ(Board().code, before.code);
}

TEST_F(CliBoard, MalformedFirmwareNeverErasesEitherFamily) {
    std::ofstream(Path("old.hex"))
        << FormatIntelHexRecord(0, 0, fwtest::PatternCode(48)) << "\n:00000001FF\n";
    for (const char* family : {"avr", "8051"}) {
        Create({"--family", family, "--board", "3", "--code", Path("old.hex"), "--force"});
        const std::vector<std::uint8_t> before = Board().code;
        for (const auto& [name, file] : fwtest::MalformedImageFiles(3)) {
            std::ofstream(Path("bad.efw"), std::ios::trunc) << file;
            const CliRun r = OnBoard({"update-firmware", Path("bad.efw")});
            EXPECT_EQ(r.exit, 1) << family << ": " << name;
            EXPECT_EQ(r.Count("Bad Firmware File: The firmware you have selected does not appear "
                              "valid."),
                      1)
                << family << ": " << name << "\n"
                << r.err;
            EXPECT_EQ(Board().code, before) << family << ": " << name;
        }
    }
}

TEST_F(CliBoard, FactoryDefaultsNeedsYesAndPresetsUpload) {
    Create({"--family", "avr", "--board", "3"});
    const SimBoardState factory = Board();
    ASSERT_EQ(OnBoard({"preset", "extreme"}).exit, 0);
    EXPECT_EQ(Board().data[18], 0); // Extreme: minimum bolt open 0
    EXPECT_EQ(Board().data[4], 10);

    EXPECT_EQ(OnBoard({"factory-defaults"}).exit, 1);
    EXPECT_EQ(Board().data[4], 10);
    const CliRun r = OnBoard({"--yes", "factory-defaults"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(Board().data, factory.data);
}

TEST_F(CliBoard, UnreadableBoardGetsFirmwareOnlyWhenTheUserSaysSo) {
    // Firmware revision 0: no read accepts the board, whatever is wrong with it.
    Create({"--family", "avr", "--board", "3", "--firmware", "0.0"});
    std::ofstream(Path("fw.efw")) << fwtest::ImageFile(CutIntoRecords(fwtest::PatternCode(256)));
    const std::vector<std::uint8_t> before = Board().code;

    const CliRun no = OnBoard({"update-firmware", Path("fw.efw")});
    EXPECT_EQ(no.exit, 1);
    EXPECT_EQ(no.Count("Board Not Checked: The board could not be read"), 1) << no.err;
    EXPECT_EQ(no.Count("(answered No; give --yes to go on)"), 1);
    EXPECT_EQ(Board().code, before);

    // Recovered: firmware on, settings not (nothing valid was read): its own
    // exit code, never the one of a failed write.
    const CliRun yes = OnBoard({"--yes", "update-firmware", Path("fw.efw")});
    EXPECT_EQ(yes.exit, 3) << yes.err;
    EXPECT_EQ(yes.Count("Firmware Upload Complete: The board firmware has been updated, but"), 1);
    const std::vector<std::uint8_t> code = fwtest::PatternCode(256);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), Board().code.begin()));

    const CliRun bypass = OnBoard({"-bypassfwboardcheck", "update-firmware", Path("fw.efw")});
    EXPECT_EQ(bypass.exit, 3);
    EXPECT_EQ(bypass.Count("Board Not Checked"), 0);
    const CliRun initial = OnBoard({"-initprogramming", "update-firmware", Path("fw.efw")});
    EXPECT_EQ(initial.exit, 0) << initial.err;
    EXPECT_EQ(initial.Count("Board Not Checked"), 0);
}

TEST_F(CliBoard, PinTestInPlaceOfADownloadSucceeds) {
    Create({"--family", "avr"});
    const CliRun r = OnBoard({"-pintest", "--no-wait", "download"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_GT(r.Count("Kelvo: "), 0);
    EXPECT_EQ(OnBoard({"-pintest", "--no-wait", "download", "-o", Path("x.esf")}).exit, 2);
    EXPECT_FALSE(fs::exists(Path("x.esf")));
}

TEST_F(CliBoard, OutputsGoToStdoutOrAreWrittenSafelyNeverOverAnInput) {
    Create({"--family", "avr", "--board", "3"});
    const CliRun piped = OnBoard({"download", "-o", "-"});
    ASSERT_EQ(piped.exit, 0) << piped.err;
    EXPECT_EQ(piped.out.substr(0, 8), "Ver:3.0\n");
    EXPECT_EQ(piped.out.find("Board Type"), std::string::npos); // the listing went to stderr
    EXPECT_EQ(piped.Count("Board Type: Tovar"), 1);

    const std::string before = ReadText(board);
    EXPECT_EQ(OnBoard({"download", "-o", board}).exit, 2);
    EXPECT_EQ(ReadText(board), before);

    std::ofstream(Path("ro.esf")) << "mine";
    fs::permissions(Path("ro.esf"), fs::perms::owner_read);
    const CliRun ro = OnBoard({"download", "-o", Path("ro.esf")});
    EXPECT_EQ(ro.exit, 1);
    EXPECT_EQ(ro.Count("Save Settings Failed: Unable to create settings file. Your settings can "
                       "not be saved.\n\n" +
                       Path("ro.esf") + " is read-only"),
              1)
        << ro.err;
    EXPECT_EQ(ReadText(Path("ro.esf")), "mine");

    // sim-create: the code file must be a file, and not the board itself.
    fs::create_directory(Path("hexdir"));
    const CliRun dir =
        Run({"sim-create", Path("n.json"), "--family", "avr", "--code", Path("hexdir")});
    EXPECT_EQ(dir.exit, 1);
    EXPECT_EQ(dir.Count("hexdir: cannot be opened as a file"), 1) << dir.err;
    EXPECT_EQ(Run({"sim-create", board, "--family", "avr", "--code", board, "--force"}).exit, 2);
    EXPECT_EQ(ReadText(board), before);
}

TEST_F(CliBoard, UsageErrors) {
    EXPECT_EQ(Run({"frobnicate"}).exit, 2);
    EXPECT_EQ(Run({"-bogus", "download"}).exit, 2);
    EXPECT_EQ(Run({"--port", "xyz", "download"}).exit, 2);
    EXPECT_EQ(Run({"--port", "10000", "download"}).exit, 2);
    Create({"--family", "avr"});
    const CliRun highest = OnBoard({"-AVRonly", "--port", "0xFFFF", "download"});
    EXPECT_EQ(highest.Count("Searching for a board on port 0xFFFF, please wait...\n"), 1)
        << highest.err;
    EXPECT_EQ(highest.Count("no answer as AVR\n"), 2) << highest.err;
    EXPECT_EQ(Run({"preset", "wild"}).exit, 2);
    EXPECT_EQ(Run({"upload"}).exit, 2);
    const CliRun missing = Run({"--sim", Path("none.json"), "download"});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_NE(missing.err.find("none.json"), std::string::npos);
    const CliRun help = Run({"--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* code : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  130 "})
        EXPECT_NE(help.out.find(code), std::string::npos) << code;
}

TEST_F(CliBoard, OutputThatCannotBeWrittenIsAFailure) {
    // A stream that refuses everything, as stdout does on a full disk.
    struct Refusing final : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
    } refusing;
    std::ostream out(&refusing);
    std::ostringstream err;
    EXPECT_EQ(RunCli({"--help"}, out, err), 1);
    EXPECT_NE(err.str().find("writing to standard output failed"), std::string::npos);

    // The program itself, stdout to /dev/full.
    Create({"--family", "avr"});
    EXPECT_EQ(RunProgram({"--sim", board, "download"}, "/dev/full"), 1);
    EXPECT_EQ(RunProgram({"--sim", board, "download"}, "/dev/null"), 0);
    EXPECT_EQ(RunProgram({"--version"}, "/dev/full"), 1);
}
