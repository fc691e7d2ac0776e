// kelvo-cli end to end: each command as a user types it, on a simulated
// board kept in a state file between commands.

#include "FirmwareTestImages.h"
#include "app/BoardConnection.h"
#include "app/SimConnection.h"
#include "app/cli/BoardCommands.h"
#include "app/cli/Cli.h"
#include "files/SafeWrite.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimStateFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <utility>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
// `all[0]` started in `folder` (or here) with its stdin (/dev/null when
// -1), stdout and stderr on these descriptors; the pid, or -1.
pid_t Start(std::vector<std::string> all, int stdoutFd, int stderrFd, int stdinFd = -1,
            const char* folder = nullptr) {
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (stdinFd < 0)
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&files, stdinFd, 0);
    posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
    posix_spawn_file_actions_adddup2(&files, stderrFd, 2);
    if (folder)
        posix_spawn_file_actions_addchdir_np(&files, folder);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// The exit code, or 128 plus the signal that ended the process, as a
// shell reports it.
int ExitOf(pid_t pid) {
    int status = 0;
    // A run that has not ended after a minute is killed and gives -1.
    for (int waited = 0; ::waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (waited == 6000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// kelvo-cli as a program, its stdout sent to `stdoutPath`, stderr to
// `stderrPath`, stdin from `stdinPath`; returns its exit status.
int RunProgram(const std::vector<std::string>& args, const char* stdoutPath,
               const char* stderrPath = "/dev/null", const char* stdinPath = "/dev/null",
               const char* folder = nullptr) {
    std::vector<std::string> all = {KELVO_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    const int in = ::open(stdinPath, O_RDONLY);
    const int out = ::open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(stderrPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const pid_t pid = Start(all, out, err, in, folder);
    for (int fd : {in, out, err})
        ::close(fd);
    return pid < 0 ? -1 : ExitOf(pid);
}

// kelvo-cli with stderr on a pipe the test reads as it goes.
class WatchedRun {
public:
    explicit WatchedRun(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const int null = ::open("/dev/null", O_WRONLY);
        std::vector<std::string> all = {KELVO_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        pid_ = Start(all, null, fds[1]);
        ::close(null);
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~WatchedRun() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // Reads stderr until `text` has appeared; false at its end.
    bool WaitFor(const std::string& text) {
        char buffer[4096];
        while (err.find(text) == std::string::npos) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            err.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    void Signal(int signal) const { ::kill(pid_, signal); }
    int Finish() {
        WaitFor("\x01"); // to the end
        return ExitOf(pid_);
    }
    std::string err;

private:
    pid_t pid_ = -1;
    int fd_ = -1;
};
#endif

// An error stream that runs `action` once, when the text written to it first
// holds `when`: something happening while the progress shows that.
class ActingBuffer final : public std::stringbuf {
public:
    ActingBuffer(std::string when, std::function<void()> action)
        : when_(std::move(when)), action_(std::move(action)) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::streamsize written = std::stringbuf::xsputn(s, n);
        if (action_ && str().find(when_) != std::string::npos)
            std::exchange(action_, nullptr)();
        return written;
    }

private:
    std::string when_;
    std::function<void()> action_;
};

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
                         "\n\nWhen you have verified the connections, run kelvo-cli download "
                         "to try to again.\n");
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
    const CliRun r = OnBoard({"download", "--raw", "-o", Path("s.esf")});
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

        // Replaced while the board is read: the summary gives what was written.
        std::ofstream(Path("fw.efw")) << FormatFirmwareImage(3, CutIntoRecords(code));
        ActingBuffer err("Downloading settings", [&] {
            std::ofstream(Path("fw.efw"))
                << FormatFirmwareImage(3, CutIntoRecords(fwtest::PatternCode(2048)));
        });
        std::ostream errStream(&err);
        std::ostringstream out;
        ASSERT_EQ(RunCli({"--sim", board, "update-firmware", Path("fw.efw")}, out, errStream), 0)
            << err.str();
        EXPECT_NE(err.str().find("\n2048 bytes of firmware written and verified"),
                  std::string::npos)
            << err.str();
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
    EXPECT_EQ(OnBoard({"read-firmware", "-o", board}).exit, 2);
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
    fs::permissions(Path("ro.esf"), fs::perms::owner_write, fs::perm_options::add);

    // Nor over a board another run has open: it is in use, like the board.
    ASSERT_EQ(Run({"sim-create", Path("held.json"), "--family", "8051"}).exit, 0);
    const std::string held = ReadText(Path("held.json"));
    FileResult locked;
    const std::unique_ptr<LockedFile> other = LockedFile::Open(Path("held.json"), locked);
    ASSERT_TRUE(other) << locked.error;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"download", "-o", Path("held.json")},
          {"read-firmware", "-o", Path("held.json")}}) {
        const CliRun inUse = OnBoard(args);
        EXPECT_EQ(inUse.exit, 1) << args[0];
        EXPECT_EQ(inUse.Count(Path("held.json") + " is in use by another Kelvo run"), 1)
            << inUse.err;
    }
    EXPECT_EQ(ReadText(Path("held.json")), held);

    // sim-create: the code file must be a file, and not the board itself.
    fs::create_directory(Path("hexdir"));
    const CliRun dir =
        Run({"sim-create", Path("n.json"), "--family", "avr", "--code", Path("hexdir")});
    EXPECT_EQ(dir.exit, 1);
    EXPECT_EQ(dir.Count("hexdir: a folder, not a file"), 1) << dir.err;
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
    // An option given twice would lose its first value; the firmware file is
    // read more than once, so standard input cannot be it.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"download", "-o", "a.esf", "-o", "b.esf"}, "-o is given twice"},
        {{"download", "--raw", "--raw"}, "--raw is given twice"},
        {{"--sim", board, "--sim", board, "download"}, "--sim is given twice"},
        {{"--port", "378", "--port", "278", "download"}, "--port is given twice"},
        {{"update-firmware", "--backup", "a.efw", "--backup", "b.efw", "f.efw"},
         "--backup is given twice"},
        {{"pack-firmware", "f.hex", "--board", "3", "-o", "a.efw", "-o", "b.efw"},
         "-o is given twice"},
        {{"update-firmware", "-"}, "the firmware cannot come from standard input (-)"},
        {{"update-firmware", "-x"}, "usage: kelvo-cli [options] update-firmware"},
    };
    for (const auto& [args, says] : refused) {
        const CliRun r = Run(args);
        EXPECT_EQ(r.exit, 2) << says;
        EXPECT_EQ(r.Count(says), 1) << r.err;
        EXPECT_EQ(r.err.rfind("kelvo-cli: ", 0), 0u) << r.err;
    }

    EXPECT_EQ(Run({"programmers", "usbasp"}).exit, 2);
    const CliRun listed = Run({"programmers"});
    EXPECT_EQ(listed.exit, 0);
    EXPECT_EQ(listed.out.rfind("parallel        the cable on the parallel port", 0), 0u)
        << listed.out;
    const CliRun usb = OnBoard({"--programmer", "usbasp", "download"});
    EXPECT_EQ(usb.exit, 0) << usb.err;
    EXPECT_EQ(usb.Count("no hardware is used, reached through a simulated usbasp\n"), 1) << usb.err;
    EXPECT_EQ(OnBoard({"--programmer", "usbasp", "pintest", "--no-wait"}).exit, 1);
    const CliRun missing = Run({"--sim", Path("none.json"), "download"});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_NE(missing.err.find("none.json"), std::string::npos);
    const CliRun help = Run({"--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* code : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  130 "})
        EXPECT_NE(help.out.find(code), std::string::npos) << code;
}

// The listing of what a simulated scan of the buses found: FTDI chips by
// their identifier, a USBasp also by its strings, each named as
// --programmer takes it.
TEST(ProgrammersListing, NamesEachProgrammerFoundAndWhetherItCanBeOpened) {
    using Opened = UsbDeviceSeen::Opened;
    const UsbDeviceSeen bus[] = {
        {0x16C0, 0x05DC, "bus 1 device 4", Opened::Yes, "www.fischl.de", "USBasp", "A1"},
        {0x16C0, 0x05DC, "bus 1 device 5", Opened::Denied, "", "", ""},
        {0x0403, 0x6001, "bus 1 device 6", Opened::Yes, "FTDI", "FT232R USB UART", "A10K3QZXY"},
        {0x0403, 0x6014, "bus 1 device 7", Opened::Failed, "", "", ""},
        {0x0403, 0x6010, "bus 1 device 8", Opened::Denied, "", "", ""},
        {0x16C0, 0x05DC, "bus 2 device 2", Opened::Yes, "www.fischl.de", "USBtiny", "B"},
        {0x16C0, 0x05DC, "bus 2 device 3", Opened::Yes, "Someone", "USBasp", "B"},
        {0x16C0, 0x05DC, "bus 2 device 4", Opened::Failed, "", "", ""},
        {0x0403, 0x6015, "bus 2 device 5", Opened::Yes, "FTDI", "FT230X", "X"},
        {0x16C0, 0x05DD, "bus 2 device 6", Opened::Yes, "www.fischl.de", "USBasp", "C"},
    };
    std::vector<UsbProgrammerFound> found;
    for (const UsbDeviceSeen& seen : bus) {
        // The last two have identifiers of no programmer Kelvo drives.
        EXPECT_EQ(MayBeProgrammer(seen.vendorId, seen.productId), seen.where < "bus 2 device 5")
            << seen.where;
        if (std::optional<UsbProgrammerFound> f = IdentifyProgrammer(seen))
            found.push_back(*f);
    }
    const std::string parallel =
        "parallel        the cable on the parallel port (a port cannot tell whether it is there)\n";
    EXPECT_EQ(ProgrammerListing({}), parallel + "No USB programmer found.\n");
    EXPECT_EQ(ProgrammerListing(found),
              parallel + "usbasp:A1       USBasp on bus 1 device 4\n"
                         "usbasp          USBasp on bus 1 device 5: permission denied (see "
                         "docs/programmers.md)\n"
                         "ft232r:A10K3QZXY FT232R on bus 1 device 6\n"
                         "ft232r          FT232H on bus 1 device 7, no serial\n"
                         "ft232r          FT2232H on bus 1 device 8: permission denied (see "
                         "docs/programmers.md)\n");
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

#ifndef _WIN32
    // The program itself, stdout to /dev/full.
    Create({"--family", "avr"});
    EXPECT_EQ(RunProgram({"--sim", board, "download"}, "/dev/full"), 1);
    EXPECT_EQ(RunProgram({"--sim", board, "download"}, "/dev/null"), 0);
    EXPECT_EQ(RunProgram({"--version"}, "/dev/full"), 1);
#endif
}

#ifndef _WIN32
// A backup on standard output has reached it, whole, and been closed before
// the erase, or nothing is erased: a full disk, a pipe no one reads, a
// reader that stops early (| head -c) without SIGPIPE ending the run.
TEST_F(CliBoard, ABackupThatDoesNotReachStandardOutputStopsTheUpdate) {
    std::ofstream(Path("old.hex")) << [] {
        std::mt19937 rng(5);
        std::vector<std::uint8_t> code(6000);
        for (auto& b : code)
            b = static_cast<std::uint8_t>(rng());
        std::string text;
        for (const std::string& r : CutIntoRecords(code))
            text += r + "\n";
        return text;
    }();
    std::ofstream(Path("new.efw"))
        << FormatFirmwareImage(3, CutIntoRecords(fwtest::PatternCode(256)));
    Create({"--family", "avr", "--board", "3", "--code", Path("old.hex")});
    ASSERT_EQ(OnBoard({"read-firmware", "-o", Path("copy.efw")}).exit, 0);
    const std::vector<std::uint8_t> before = Board().code;
    const std::vector<std::string> update = {
        KELVO_CLI_PATH, "--sim", board, "update-firmware", "--backup", "-", Path("new.efw")};
    const int err = ::open(Path("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    enum class Out { Full, ClosedPipe, Head };
    for (Out out : {Out::Full, Out::ClosedPipe, Out::Head}) {
        SCOPED_TRACE(static_cast<int>(out));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t head = -1;
        if (out == Out::Head) {
            ::fcntl(fds[1], F_SETPIPE_SZ, 4096); // less than the copy
            const int null = ::open("/dev/null", O_WRONLY);
            head = Start({"head", "-c", "10"}, null, null, fds[0]);
            ::close(null);
        }
        ::close(fds[0]);
        const int full = ::open("/dev/full", O_WRONLY);
        const pid_t run = Start(update, out == Out::Full ? full : fds[1], err);
        ::close(full);
        ::close(fds[1]);
        EXPECT_EQ(ExitOf(run), 1);
        if (head > 0)
            ExitOf(head);
        EXPECT_EQ(Board().code, before);
    }
    ::close(err);
    EXPECT_NE(ReadText(Path("err.txt"))
                  .find("kelvo-cli: writing the firmware copy to standard "
                        "output failed\nkelvo-cli: --backup: no backup, so "
                        "the firmware was not replaced\n"),
              std::string::npos);
    // Into a file, the copy is whole and the update goes on.
    EXPECT_EQ(RunProgram({"--sim", board, "update-firmware", "--backup", "-", Path("new.efw")},
                         Path("out.efw").c_str()),
              0);
    EXPECT_EQ(ReadText(Path("out.efw")), ReadText(Path("copy.efw")));
}

// On the program itself: a closed terminal (SIGHUP) during the firmware
// write only warns; a stop between the firmware write and the settings
// write ends the run with the board saved as it is, and names the copy of
// the settings and the command that puts them back.
TEST_F(CliBoard, SignalsDuringAnUpdateOnTheProgramItself) {
    std::ofstream(Path("new.efw"))
        << FormatFirmwareImage(3, CutIntoRecords(fwtest::PatternCode(256)));
    Create({"--family", "avr", "--board", "3", "--pace", "20"});
    ASSERT_EQ(OnBoard({"preset", "extreme"}).exit, 0); // settings of the user's own
    const SimBoardState before = Board();
    const std::vector<std::uint8_t> code = fwtest::PatternCode(256);
    {
        WatchedRun hup({"--sim", board, "-AVRonly", "update-firmware", Path("new.efw")});
        ASSERT_TRUE(hup.WaitFor("Uploading firmware")) << hup.err;
        hup.Signal(SIGHUP);
        EXPECT_EQ(hup.Finish(), 0) << hup.err;
        EXPECT_NE(hup.err.find("Interrupt again to stop anyway"), std::string::npos) << hup.err;
        EXPECT_TRUE(std::equal(code.begin(), code.end(), Board().code.begin()));
        EXPECT_EQ(Board().data, before.data);
    }
    WatchedRun stop({"--sim", board, "-AVRonly", "-v", "update-firmware", Path("new.efw")});
    ASSERT_TRUE(stop.WaitFor("firmware write (operation 6)")) << stop.err;
    stop.Signal(SIGTERM);
    ASSERT_TRUE(stop.WaitFor("Interrupt again to stop anyway; otherwise the update goes on."))
        << stop.err;
    stop.Signal(SIGTERM);
    EXPECT_EQ(stop.Finish(), 128 + SIGTERM) << stop.err;
    EXPECT_NE(Board().data, before.data) << "the erase took the settings";
    const std::string command = "or run: kelvo-cli upload ";
    const std::size_t at = stop.err.rfind(command);
    ASSERT_NE(at, std::string::npos) << stop.err;
    const std::size_t start = at + command.size();
    const std::string copy = stop.err.substr(start, stop.err.find('\n', start) - start);
    const CliRun restore = OnBoard({"upload", copy});
    EXPECT_EQ(restore.exit, 0) << restore.err;
    EXPECT_EQ(Board().data, before.data);
}
#endif

// Without --sim the real port is used, never a board that is not there; a
// port that cannot be used says which, why and what to do.
#ifndef _WIN32 // the real port there is inpout32, not ppdev
TEST_F(CliBoard, WithoutSimTheRealPortIsUsedAndItsProblemsAreExplained) {
    ConnectionRequest fake;
    fake.ppdevPaths = {Path("proc"), Path("dev")};
    const auto run = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = RunCli(args, out, err, fake);
        return CliRun{code, out.str(), err.str()};
    };
    const auto explained = [&](const CliRun& r, const std::string& why) {
        EXPECT_EQ(r.exit, 1);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(r.Count("kelvo-cli: " + why), 1) << r.err;
        EXPECT_EQ(r.Count("give --sim FILE"), 1) << r.err;
        EXPECT_EQ(r.Count("A USB-to-parallel printer adapter cannot drive the cable's lines"), 1);
        EXPECT_EQ(r.Count("Searching"), 0);
        EXPECT_EQ(r.Count("simulated board"), 1) << "only in the advice";
    };
    explained(run({"download"}), "No parallel port is known to the kernel (" + Path("proc") +
                                     " is missing), so there is no " + Path("dev/parportN") +
                                     " to open. Load the driver with: sudo modprobe "
                                     "parport_pc ppdev");

    fs::create_directories(Path("proc/parport0"));
    std::ofstream(Path("proc/parport0/base-addr")) << "888\t1912\n"; // 0x378
    explained(run({"download"}), "The parallel port at 0x378 has no device node " +
                                     Path("dev/parport0") +
                                     ". Load the ppdev driver with: sudo "
                                     "modprobe ppdev");
    explained(run({"--port", "0x278", "download"}),
              "No parallel port has the address 0x278 (found: parport0 at 0x378)");
    // A node that is no parallel port cannot be claimed.
    fs::create_directories(Path("dev"));
    std::ofstream(Path("dev/parport0")) << "";
    explained(run({"-q", "--port", Path("dev/parport0"), "download"}),
              "Cannot claim " + Path("dev/parport0"));
    explained(run({"--port", Path("dev/parport7"), "download"}),
              "Cannot open " + Path("dev/parport7") +
                  ": No such file or directory. Load the "
                  "ppdev driver with: sudo modprobe ppdev");
    explained(run({"--port-driver", "direct", "--port", Path("dev/parport0"), "download"}),
              "--port " + Path("dev/parport0") +
                  " names a ppdev device; it needs --port-driver ppdev.");

    // A device named directly takes the address the kernel lists for it.
    fake.device = Path("dev/parport0");
    EXPECT_EQ(RequestedPortBase(fake), 0x378);
    fake.device = Path("dev/parport3");
    EXPECT_FALSE(RequestedPortBase(fake));
}
#endif

TEST_F(CliBoard, FilesAreCheckedBeforeTheBoardInTheUsersWords) {
    Create({"--family", "avr", "--board", "3"});
    const SimBoardState before = Board();
    const CliRun missing = OnBoard({"update-firmware", Path("nofile.efw")});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_EQ(missing.err, "kelvo-cli: " + Path("nofile.efw") + ": no such file\n");
    const CliRun folder = OnBoard({"update-firmware", dir.string()});
    EXPECT_EQ(folder.err, "kelvo-cli: " + dir.string() + ": a folder, not a file\n");

    // A record the writers would refuse: the flow's words, then which line and why.
    std::vector<std::string> records = CutIntoRecords(fwtest::PatternCode(64));
    records[2] = ":10003000" + std::string(32, '0') + "C0"; // out of order
    std::ofstream(Path("bad.efw")) << FormatFirmwareImage(3, records);
    const CliRun bad = OnBoard({"update-firmware", Path("bad.efw")});
    EXPECT_EQ(bad.exit, 1);
    EXPECT_EQ(bad.err, "kelvo-cli: Bad Firmware File: The firmware you have selected does not "
                       "appear valid.\n\nPlease make sure you have selected the correct firmware\n"
                       "for your board, and try again.\n\nIf you downloaded it, try downloading "
                       "it again.\nkelvo-cli: " +
                           Path("bad.efw") + ": line 4: the record " + records[2] +
                           " is out of order: expected address 32\n");
    std::ofstream(Path("short.efw")) << FormatFirmwareImage(3, {records[0]});
    EXPECT_EQ(OnBoard({"update-firmware", Path("short.efw")})
                  .Count("kelvo-cli: " + Path("short.efw") + ": the end record is missing\n"),
              1);

    const CliRun noSettings = OnBoard({"upload", Path("none.esf")});
    EXPECT_EQ(noSettings.exit, 1);
    EXPECT_EQ(noSettings.err, "kelvo-cli: " + Path("none.esf") + ": no such file\n");
    EXPECT_EQ(Board().data, before.data);
    EXPECT_EQ(Board().code, before.code);

    // A truncated file loads as the desktop program loads it; validation then
    // names what it found missing.
    std::ofstream(Path("cut.esf")) << "Ver:3.0\n0:0\n1:0\n2:1\n";
    const CliRun cut = OnBoard({"upload", Path("cut.esf")});
    EXPECT_EQ(cut.exit, 1);
    EXPECT_EQ(cut.Count("kelvo-cli: Incomplete Settings: Invalid Settings Found."), 1) << cut.err;
    EXPECT_EQ(cut.Count("kelvo-cli: " + Path("cut.esf") +
                        ": Operation Mode (entry 16) is empty or out of range, so the settings "
                        "were not written\n"),
              1)
        << cut.err;
    SetKeyLine(Path("cut.esf"), 1, "1:0"); // keeps the file as short; key 6 still missing
    EXPECT_EQ(Board().data, before.data);
}

#ifndef _WIN32 // spawns the program with a file as its stdin
TEST_F(CliBoard, SettingsComeThroughAPipeAndTheBoardSaysWhatItIs) {
    Create({"--family", "8051", "--board", "3"});
    ASSERT_EQ(OnBoard({"download", "-o", Path("s.esf")}).exit, 0);
    SetKeyLine(Path("s.esf"), 3, "3:21");
    const std::string err = Path("err.txt");
    ASSERT_EQ(RunProgram({"--sim", board, "upload", "/dev/stdin"}, "/dev/null", err.c_str(),
                         Path("s.esf").c_str()),
              0)
        << ReadText(err);
    EXPECT_EQ(Board().data[4 - 1], 21);
    const std::string text = ReadText(err);
    EXPECT_EQ(text.rfind("kelvo-cli: simulated board " + board + ", no hardware is used\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("\n8051-family board on port 0x378\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n29 settings bytes from /dev/stdin written and verified in "),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("\x1b"), std::string::npos) << "no escape codes into a file";
    // "-" is standard input too; endless input is not read to its end.
    SetKeyLine(Path("s.esf"), 3, "3:22");
    ASSERT_EQ(RunProgram({"--sim", board, "upload", "-"}, "/dev/null", err.c_str(),
                         Path("s.esf").c_str()),
              0)
        << ReadText(err);
    EXPECT_EQ(Board().data[4 - 1], 22);
    EXPECT_EQ(RunProgram({"--sim", board, "upload", "-"}, "/dev/null", err.c_str(), "/dev/zero"),
              1);
    EXPECT_NE(ReadText(err).find("-: larger than 1 MB"), std::string::npos) << ReadText(err);

    Create({"--family", "avr", "--board", "3", "--force"});
    EXPECT_EQ(OnBoard({"download"}).Count("\nATmega8 board (signature 1E 93 07) on port 0x378\n"),
              1);
    const CliRun unchecked = OnBoard({"-bypassreadcheck", "-AVRonly", "download"});
    EXPECT_EQ(unchecked.Count("\nAVR board (signature not checked) on port 0x378\n"), 1);
    EXPECT_EQ(unchecked.Count("warning"), 0);
    // Without a family the 8051 read, tried first, takes whatever it reads.
    const CliRun anyBoard = OnBoard({"-bypassreadcheck", "download"});
    EXPECT_EQ(anyBoard.Count("kelvo-cli: warning: -bypassreadcheck without -AVRonly or -8051only: "
                             "the 8051 read, tried first, then \"succeeds\" on any board"),
              1)
        << anyBoard.err;
    EXPECT_EQ(anyBoard.Count("\n8051-family board on port 0x378\n"), 1) << anyBoard.err;
}
#endif

TEST_F(CliBoard, QuietVerboseAndTheLinesThatEndAWrite) {
    Create({"--family", "avr", "--board", "3"});
    const CliRun quiet = OnBoard({"-q", "download"});
    EXPECT_EQ(quiet.exit, 0);
    EXPECT_EQ(quiet.err, "kelvo-cli: simulated board " + board + ", no hardware is used\n");
    EXPECT_EQ(quiet.Count("Board Type: Tovar"), 0);
    EXPECT_NE(quiet.out.find("Board Type: Tovar"), std::string::npos);

    const CliRun verbose = OnBoard({"--verbose", "download"});
    EXPECT_EQ(verbose.Count("no answer as 8051: settings read (operation 0), "), 1) << verbose.err;
    // The board that answered is read once, in two passes that agree.
    EXPECT_EQ(verbose.Count(": settings read (operation 4), "), 1) << verbose.err;
    EXPECT_EQ(verbose.Count(" port accesses, "), 2);
    EXPECT_EQ(verbose.Count(" s on the bus\n"), 2);
    // The read's calibration takes a tenth of a second, or one to two under
    // the whole-second switch.
    EXPECT_EQ(verbose.Count("(operation 4), 411006 port accesses, 0.41 s on the bus\n"), 1)
        << verbose.err;
    EXPECT_EQ(OnBoard({"-v", "-wholesecondcalibration", "download"})
                  .Count("(operation 4), 2272259 port accesses, 2.27 s on the bus\n"),
              1);

    std::ofstream(Path("fw.efw")) << FormatFirmwareImage(3,
                                                         CutIntoRecords(fwtest::PatternCode(1000)));
    const CliRun update = OnBoard({"update-firmware", Path("fw.efw")});
    ASSERT_EQ(update.exit, 0) << update.err;
    // 1000 bytes fill 63 records of 16, padded to whole 64-byte pages: 1024.
    // The write's bus time, then the whole command's, the board's pauses
    // included.
    EXPECT_EQ(update.Count("\n1024 bytes of firmware written and verified in 1.2 s (6.2 s in all); "
                           "settings restored\n"),
              1)
        << update.err;
    const CliRun quietUpdate = OnBoard({"-q", "update-firmware", Path("fw.efw")});
    EXPECT_EQ(quietUpdate.Count("bytes of firmware"), 0);
    EXPECT_EQ(quietUpdate.Count("Firmware Upload Complete"), 0);

    const CliRun preset = OnBoard({"preset", "fast"});
    EXPECT_EQ(preset.Count("\nPreset fast: 29 settings bytes written and verified in "), 1)
        << preset.err;
    // The board line once, or under -v once per operation with its cost.
    EXPECT_EQ(preset.Count("ATmega8 board (signature 1E 93 07) on port 0x378"), 1);
    EXPECT_EQ(OnBoard({"-v", "preset", "fast"})
                  .Count("ATmega8 board (signature 1E 93 07) on port 0x378: settings "),
              4); // the download, the read before the write, the write, the read back

    // factory-defaults prints the board as it reads back after the reset.
    const CliRun reset = OnBoard({"--yes", "factory-defaults"});
    ASSERT_EQ(reset.exit, 0) << reset.err;
    EXPECT_EQ(
        reset.out.rfind("Board Type: Tovar\nFirmware Revision: v3.10\nBattery Voltage: N/A\n", 0),
        0u)
        << reset.out;
    EXPECT_NE(reset.out.find("\n  Trigger Debounce: 10 Mult.\n"), std::string::npos)
        << "the factory debounce, not the preset's 15";
    EXPECT_EQ(reset.Count("\nFactory settings restored on the board and read back in "), 1);
}

TEST_F(CliBoard, EachCommandHasItsHelpAndNoHelpLineIsWiderThan80) {
    std::vector<std::string> texts = {Run({"--help"}).out};
    for (const CliCommand& c : CliCommands()) {
        const CliRun help = Run({std::string(c.name), "--help"});
        EXPECT_EQ(help.exit, 0);
        EXPECT_EQ(help.out.rfind("Usage: kelvo-cli [options] " + std::string(c.name), 0), 0u)
            << help.out;
        EXPECT_NE(help.out.find("\n  3    update-firmware"), std::string::npos) << c.name;
        texts.push_back(help.out);
    }
    for (const std::string& text : texts) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            EXPECT_LE(line.size(), 80u) << line;
    }
    EXPECT_EQ(WrapText("ab ", "cd efgh ij", 2, 8), "ab cd\n  efgh\n  ij\n");
    EXPECT_EQ(WrapText("", "abcd efg", 0, 8), "abcd efg\n") << "a line may fill the width";
    EXPECT_EQ(WrapText("", "[-a XY] b", 2, 5), "[-a XY]\n  b\n")
        << "an option stays with its value";
}

// A backup taken before an update gives the old firmware back byte for byte.
TEST_F(CliBoard, FirmwareBackupRestoresCodeMemoryOnBothFamilies) {
    std::mt19937 rng(11);
    std::vector<std::uint8_t> oldCode(3000), newCode(5000);
    for (auto& b : oldCode)
        b = static_cast<std::uint8_t>(rng());
    for (auto& b : newCode)
        b = static_cast<std::uint8_t>(rng());
    oldCode.back() = 0xFF; // an erased byte inside the firmware stays in the copy
    std::ofstream(Path("old.hex")) << [&] {
        std::string text;
        for (const std::string& r : CutIntoRecords(oldCode))
            text += r + "\n";
        return text;
    }();
    std::ofstream(Path("new.efw")) << FormatFirmwareImage(3, CutIntoRecords(newCode));
    for (const char* family : {"avr", "8051"}) {
        Create({"--family", family, "--board", "3", "--code", Path("old.hex"), "--force"});
        const std::vector<std::uint8_t> original = Board().code;

        const CliRun read = OnBoard({"read-firmware", "-o", Path("backup.efw")});
        ASSERT_EQ(read.exit, 0) << family << read.err;
        EXPECT_EQ(read.Count("\n8192 bytes of code memory read in "), 1) << read.err;
        EXPECT_EQ(read.Count(" and written to " + Path("backup.efw") +
                             " as a firmware image for board type 3\n"),
                  1);
        EXPECT_EQ(Board().code, original) << "reading changes nothing";
        ASSERT_EQ(OnBoard({"read-firmware", "-o", Path("backup.hex")}).exit, 0);
        std::ifstream hexIn(Path("backup.hex"));
        const HexImage hex = ReadIntelHex(hexIn);
        ASSERT_TRUE(hex.ok()) << hex.error;
        EXPECT_TRUE(std::equal(hex.memory.begin(), hex.memory.end(), original.begin()));
        // Up to the last page that holds firmware; the erased rest is left out.
        EXPECT_EQ(hex.memory.size(), 47u * 64u);

        const CliRun update =
            OnBoard({"update-firmware", "--backup", Path("again.efw"), Path("new.efw")});
        ASSERT_EQ(update.exit, 0) << family << update.err;
        EXPECT_EQ(ReadText(Path("again.efw")), ReadText(Path("backup.efw")));
        EXPECT_TRUE(std::equal(newCode.begin(), newCode.end(), Board().code.begin()));

        const CliRun restore = OnBoard({"update-firmware", Path("backup.efw")});
        ASSERT_EQ(restore.exit, 0) << family << restore.err;
        EXPECT_EQ(Board().code, original) << family;
    }
}

TEST_F(CliBoard, ALockedOrBlankPartIsNeverBackedUp) {
    std::ofstream(Path("new.efw"))
        << FormatFirmwareImage(3, CutIntoRecords(fwtest::PatternCode(256)));
    // AVR lock mode 3 (LB1 and LB2 programmed): the part reports it.
    Create({"--family", "avr", "--board", "3", "--lock-bits", "FC"});
    const std::vector<std::uint8_t> before = Board().code;
    const CliRun locked = OnBoard({"read-firmware", "-o", Path("b.efw")});
    EXPECT_EQ(locked.exit, 1);
    EXPECT_EQ(locked.Count("kelvo-cli: Firmware Read Refused: The board's lock bits forbid "
                           "reading its firmware"),
              1)
        << locked.err;
    EXPECT_FALSE(fs::exists(Path("b.efw")));
    const CliRun noUpdate =
        OnBoard({"update-firmware", "--backup", Path("b.efw"), Path("new.efw")});
    EXPECT_EQ(noUpdate.exit, 1);
    EXPECT_EQ(noUpdate.Count("kelvo-cli: --backup: no backup, so the firmware was not replaced\n"),
              1);
    EXPECT_EQ(Board().code, before);
    EXPECT_FALSE(fs::exists(Path("b.efw")));
    // Without a backup the chip erase of an update clears the lock bits.
    ASSERT_EQ(OnBoard({"update-firmware", Path("new.efw")}).exit, 0);
    EXPECT_EQ(Board().lockBits, 0xFF);

    // The 8051-family part cannot report its lock bits; locked, it reads
    // blank, and blank is refused too.
    Create({"--family", "8051", "--board", "3", "--lock-bits", "FC", "--force"});
    Create({"--family", "8051", "--board", "3", "--lock-bits", "FD", "--force"});
    EXPECT_EQ(OnBoard({"read-firmware", "-o", Path("fd.efw")}).exit, 0) << "LB2 alone is no mode";
    Create({"--family", "8051", "--board", "3", "--lock-bits", "FC", "--force"});
    const CliRun blank = OnBoard({"read-firmware", "-o", Path("b.efw")});
    EXPECT_EQ(blank.exit, 1);
    EXPECT_EQ(blank.Count("kelvo-cli: Firmware Read Refused: The board's code memory reads "
                          "blank: it holds no firmware, or its lock bits forbid reading it (an "
                          "8051-family part cannot report its lock bits and reads blank when "
                          "locked). No copy has been made.\n"),
              1)
        << blank.err;

    // A board whose settings read but whose code read does not: the
    // revision byte the code read checks is damaged, and only the settings
    // read was told to look past it.
    Create({"--family", "8051", "--board", "3", "--stuck-bit", "19:7:1", "--force"});
    const CliRun unread =
        OnBoard({"-8051only", "-bypassreadcheck", "read-firmware", "-o", Path("b.efw")});
    EXPECT_EQ(unread.exit, 1);
    EXPECT_EQ(unread.Count("kelvo-cli: Firmware Read Failed: Unable to read the firmware from "
                           "the board. Make sure the programming cable is plugged in, and the "
                           "power is on.\n"),
              1)
        << unread.err;
    EXPECT_FALSE(fs::exists(Path("b.efw")));
    EXPECT_FALSE(fs::exists(Path("b.efw")));
    // An AVR part with another signature is never read, whatever the
    // settings read was told.
    Create({"--family", "avr", "--board", "3", "--signature", "1E9308", "--force"});
    const CliRun foreign =
        OnBoard({"-AVRonly", "-bypassreadcheck", "read-firmware", "-o", Path("b.efw")});
    EXPECT_EQ(foreign.exit, 1);
    EXPECT_EQ(foreign.Count("no answer as AVR\n"), 2) << foreign.err;
    EXPECT_EQ(foreign.Count("kelvo-cli: Firmware Read Failed"), 1);
    EXPECT_FALSE(fs::exists(Path("b.efw")));

    // Locked against programming only (LB1), the AVR part takes no settings.
    Create({"--family", "avr", "--board", "3", "--lock-bits", "FE", "--force"});
    const SimBoardState lockedBoard = Board();
    const CliRun preset = OnBoard({"preset", "extreme"});
    EXPECT_EQ(preset.exit, 1);
    EXPECT_EQ(preset.Count("kelvo-cli: Settings Upload Failed"), 1) << preset.err;
    EXPECT_EQ(Board().data, lockedBoard.data);
    ASSERT_EQ(OnBoard({"read-firmware", "-o", Path("fe.efw")}).exit, 0) << "reading is allowed";

    // A backup that cannot be written stops the update before the erase.
    fs::create_directory(Path("folder.efw"));
    const CliRun unwritable =
        OnBoard({"update-firmware", "--backup", Path("folder.efw"), Path("new.efw")});
    EXPECT_EQ(unwritable.exit, 1);
    EXPECT_EQ(Board().code, lockedBoard.code);
    EXPECT_EQ(OnBoard({"update-firmware", "--backup", Path("new.efw"), Path("new.efw")}).exit, 2);
    EXPECT_EQ(
        OnBoard({"-initprogramming", "update-firmware", "--backup", Path("x.efw"), Path("new.efw")})
            .exit,
        2);
}

TEST_F(CliBoard, DownloadListsTheSettingsAsThePagesShowThemRawOrAsJson) {
    Create({"--family", "avr", "--board", "3"});
    const CliRun named = OnBoard({"download"});
    ASSERT_EQ(named.exit, 0) << named.err;
    EXPECT_NE(named.out.find("Battery Voltage: N/A\n\nFiring Options\n  Firing Mode: Semi Auto\n"
                             "  Rate of Fire (ROF): 15 bps\n  AE Bypass ROF: 15 bps\n"
                             "  Operation Mode: Standard\n  Solenoid Dwell: 7.5 ms\n"
                             "  Trigger Debounce: 10 Mult.\n"),
              std::string::npos)
        << named.out;
    for (const char* line : {"\nEye Options\n  After Eye Delay: 0 ms\n",
                             "\nTimer Options\n  Timer Init: Button 1 Only\n  Timer Time: 10:00\n"
                             "  Timer Mode: Timer Counts Down\n",
                             "\nPower Options\n  Powersave Time: 30 Minutes\n"})
        EXPECT_NE(named.out.find(line), std::string::npos) << line << named.out;
    // Only the pages this board has.
    EXPECT_EQ(named.out.find("Closed Bolt"), std::string::npos);
    EXPECT_EQ(named.out.find("LCD"), std::string::npos);
    EXPECT_EQ(named.out.find("Entry "), std::string::npos);

    const CliRun raw = OnBoard({"download", "--raw"});
    std::istringstream lines(raw.out);
    std::string line;
    for (int i = 0; i < 3; ++i)
        std::getline(lines, line);
    const SimBoardState state = Board();
    for (int i = 0; i < 37; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, "Entry " + std::to_string(i) + ": " + std::to_string(state.data[i]));
    }
    EXPECT_FALSE(std::getline(lines, line)) << "nothing after the bytes";

    const CliRun json = OnBoard({"download", "--json"});
    ASSERT_EQ(json.exit, 0) << json.err;
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["board"]["family"], "avr");
    EXPECT_EQ(doc["board"]["boardType"], "Tovar");
    EXPECT_EQ(doc["board"]["boardTypeCode"], 3);
    EXPECT_EQ(doc["board"]["port"], "0x378");
    ASSERT_EQ(doc["raw"].size(), 37u);
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(doc["raw"][i], state.data[i]) << i;
    bool dwellSeen = false;
    for (const auto& setting : doc["settings"]) {
        for (std::size_t k = 0; k < setting["entries"].size(); ++k)
            EXPECT_EQ(setting["raw"][k], doc["raw"][setting["entries"][k].get<int>()]);
        if (setting["name"] == "Solenoid Dwell") {
            dwellSeen = true;
            EXPECT_EQ(setting["value"], "7.5 ms");
            EXPECT_EQ(setting["page"], "Firing Options");
        }
    }
    EXPECT_TRUE(dwellSeen);
    EXPECT_EQ(OnBoard({"download", "--json", "-o", "-"}).exit, 2);
    EXPECT_EQ(OnBoard({"download", "--json", "--raw"}).exit, 2);

    // An LCD board lists its LCD pages; a closed-bolt one its closed-bolt page.
    Create({"--family", "8051", "--board", "10", "--force"});
    const CliRun lcd = OnBoard({"download"});
    EXPECT_NE(lcd.out.find("\nLCD Display Options\n  Section 1 Display: Timer\n"
                           "  Section 1-B Display: Shot Count\n  Section 2 Display: ROF Setting\n"
                           "  Section 2-B Display: Battery Voltage\n"),
              std::string::npos)
        << lcd.out;
    EXPECT_NE(lcd.out.find("\nLCD Menu Options\n  Menu Items: Firing Mode, Rate Of Fire, "),
              std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(OnBoard({"download", "--json"}).out)["board"]["family"],
              "8051");
    Create({"--family", "avr", "--board", "6", "--force"});
    EXPECT_NE(OnBoard({"download"}).out.find("\nClosed Bolt Options\n  Bolt Delay Offset: 5 ms\n"),
              std::string::npos);
}

#ifndef _WIN32 // devices and FIFOs
// Every file kelvo-cli reads is a regular file of bounded size: a link to an
// endless device, a FIFO nobody writes to, a folder or a huge file is refused
// at once (never read for ever, never waited on) by whatever reads it.
TEST_F(CliBoard, EveryInputThatIsNotABoundedFileIsRefusedAtOnce) {
    Create({"--family", "avr", "--board", "3"});
    struct Bad {
        const char* name;
        void (*make)(const fs::path&);
        const char* says;
    };
    const Bad bads[] = {
        {"zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         "not a regular file"},
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "not a regular file"},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, "a folder"},
        {"huge",
         [](const fs::path& p) {
             std::ofstream(p) << "Ver:3.0\n";
             fs::resize_file(p, 2 << 20);
         },
         "larger than"},
    };
    // IN stands for the bad file; each runs in a folder of its own.
    struct Reader {
        const char* name;
        std::vector<std::string> args;
        int exit;
    };
    const Reader readers[] = {
        {"ConnSettings.dat", {"--sim", board, "download"}, 0}, // the port falls back to 0x378
        {"in", {"--sim", board, "update-firmware", "IN"}, 1},
        {"in", {"pack-firmware", "IN", "--board", "3", "-o", "out.efw"}, 1},
        {"in", {"sim-create", "new.json", "--family", "avr", "--code", "IN"}, 1},
        {"in", {"--sim", "IN", "download"}, 1},
    };
    const std::string before = ReadText(board);
    int cell = 0;
    for (const Reader& reader : readers)
        for (const Bad& bad : bads) {
            const fs::path folder = dir / ("cell" + std::to_string(++cell));
            fs::create_directory(folder);
            const fs::path in = folder / reader.name;
            bad.make(in);
            std::vector<std::string> args = reader.args;
            std::replace(args.begin(), args.end(), std::string("IN"), in.string());
            const std::string err = (folder / "err.txt").string();
            const std::string what = args[args[0] == "--sim" ? 2 : 0] + " with " + bad.name;
            EXPECT_EQ(RunProgram(args, "/dev/null", err.c_str(), "/dev/null", folder.c_str()),
                      reader.exit)
                << what << ": " << ReadText(err);
            EXPECT_NE(ReadText(err).find(bad.says), std::string::npos)
                << what << ": " << ReadText(err);
            EXPECT_FALSE(fs::exists(folder / "out.efw") || fs::exists(folder / "new.json")) << what;
        }
    EXPECT_EQ(ReadText(board), before);
}

// A board that answers but fails the read check is not a cable problem.
TEST_F(CliBoard, ABoardThatFailsTheReadCheckIsToldApartFromNoBoard) {
    Create({"--family", "avr", "--board", "3", "--firmware", "9.0"});
    const CliRun r = OnBoard({"-AVRonly", "download"});
    EXPECT_EQ(r.exit, 1);
    const std::string cause = "a board answered on 0x378, but its settings failed the read check";
    EXPECT_EQ(r.Count("\n" + cause + " (-bypassreadcheck skips it)\n"), 2) << r.err;
    EXPECT_EQ(r.Count("no answer"), 0) << r.err;
    EXPECT_EQ(r.Count("to try to again.\n(" + cause), 1) << r.err;
    const CliRun verbose = OnBoard({"-v", "-AVRonly", "download"});
    EXPECT_EQ(verbose.Count(cause + " (-bypassreadcheck skips it): settings read (operation 4)"), 2)
        << verbose.err;
}
#endif
