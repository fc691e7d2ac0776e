// Stopping board work part way: the operation leaves the port as its own
// ending does, no further attempt starts, and kelvo-cli turns SIGINT and
// SIGTERM into that stop, warning first while a write runs.
#include "FirmwareTestImages.h"
#include "FlowTestSupport.h"
#include "app/cli/Cli.h"
#include "link/AvrProtocol.h"
#include "link/Mcs51Protocol.h"
#include "link/Operation.h"
#include "ops/Download.h"
#include "ops/FirmwareImageHex.h"
#include "ops/FirmwareUpdate.h"
#include "sim/SimStateFile.h"

#include "test_operation_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

using namespace kelvo;
using namespace kelvo::optest;
namespace fs = std::filesystem;

namespace {

// Records like RecordingProgressSink and asks for a stop once the bar
// reaches `at`, as a stop button or a signal would between two steps.
class StopAt final : public ProgressSink {
public:
    StopAt(StopRequest& stop, int at) : stop_(stop), at_(at) {}
    void SetRange(int max) override { sink.SetRange(max); }
    void SetPosition(int position) override {
        sink.SetPosition(position);
        if (position == at_)
            stop_.requested = true;
    }
    void SetStatus(const std::string& text) override { sink.SetStatus(text); }
    void SetTimeLeft(const std::string& text) override { sink.SetTimeLeft(text); }
    void SetWarning(const std::string& text) override { sink.SetWarning(text); }

    RecordingProgressSink sink;

private:
    StopRequest& stop_;
    int at_;
};

// Bytes of 0x11 read as no instruction in a trace.
std::vector<std::string> Records(unsigned count) {
    return CutIntoRecords(std::vector<std::uint8_t>(16 * count, 0x11));
}

struct StoppedRun {
    int result;
    Tokens trace;
    BoardWrite writingAfter;
};

StoppedRun RunStopped(std::int32_t code, const std::vector<std::string>& records, int stopAt,
                      std::vector<std::uint8_t> misoBytes = {}) {
    OperationRig rig;
    // Tests run side by side: each its own file.
    SetFirmware(rig, records,
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                    std::to_string(code) + ".efw");
    rig.image.fill(0x21);
    rig.miso.assign(misoBytes.begin(), misoBytes.end());
    StopRequest stop;
    StopAt sink(stop, stopAt);
    OperationContext ctx(rig.bus, sink, rig.image, rig.firmwareText, rig.stepsRemaining);
    ctx.firmwarePath = rig.ctx.firmwarePath;
    ctx.stop = &stop;
    std::int32_t succeeded = -1;
    RunOperation(code, ctx, succeeded);
    return {succeeded, rig.Trace(), stop.writing.load()};
}

Tokens Tail(const Tokens& t, std::size_t n) {
    return n <= t.size() ? Tokens(t.end() - static_cast<long>(n), t.end()) : t;
}

long Count(const Tokens& t, const std::string& token) {
    return std::count(t.begin(), t.end(), token);
}

} // namespace

TEST(StopRequested, AvrWritesReleaseTheResetLineAtTheNextStep) {
    // Firmware: the step under way when the stop came (record 2) ends, and
    // with it the write: three of eight records loaded, no page committed.
    const StoppedRun fw = RunStopped(kOpWriteAvrFirmware, Records(8), 2, {0x07, 0x93, 0x1E});
    EXPECT_EQ(fw.result, 0);
    EXPECT_EQ(Tail(fw.trace, 1), Tokens{"D04"});
    EXPECT_EQ(Count(fw.trace, ">40"), 3 * 8); // eight words a record
    EXPECT_EQ(Count(fw.trace, ">4C"), 0);
    EXPECT_EQ(fw.writingAfter, BoardWrite::None);

    // Settings: addresses 0..10 written, then the reset line let go.
    std::vector<std::uint8_t> answers = {0x07, 0x93, 0x1E, 2};
    for (int a = 0; a <= 10; ++a)
        answers.push_back(0x21);
    const StoppedRun settings = RunStopped(kOpWriteAvrSettings, {}, 10, answers);
    EXPECT_EQ(settings.result, 0);
    EXPECT_EQ(Count(settings.trace, ">C0"), 11);
    EXPECT_EQ(Tail(settings.trace, 2), (Tokens{"~4", "D04"}));
}

TEST(StopRequested, Mcs51WritesCloseProgrammingAndLetTheBoardRun) {
    const Tokens finish = {"C10", "D04", "~3", ">AC", ">FF", ">FF", "~3", "D00"};
    // Three records' bytes read back: the stop comes during the third.
    const std::vector<std::uint8_t> answers(48, 0x11);
    const StoppedRun fw = RunStopped(kOpWrite8051Firmware, Records(8), 2, answers);
    EXPECT_EQ(fw.result, 0);
    Tokens expected = finish;
    expected.push_back("D00");
    EXPECT_EQ(Tail(fw.trace, expected.size()), expected);
    EXPECT_EQ(Count(fw.trace, "~1") - 1, 48); // a wait per programmed byte, one after the erase

    std::vector<std::uint8_t> settingsAnswers = {4};
    for (int a = 0; a <= 5; ++a)
        settingsAnswers.push_back(0x21);
    const StoppedRun settings = RunStopped(kOpWrite8051Settings, {}, 5, settingsAnswers);
    EXPECT_EQ(settings.result, 0);
    EXPECT_EQ(Count(settings.trace, ">06"), 6);
    expected = {"D00"};
    Append(expected, finish);
    EXPECT_EQ(Tail(settings.trace, expected.size()), expected);
}

TEST(StopRequested, ReadsEndAsTheyDoAndNothingIsErasedBeforeTheFirstStep) {
    const StoppedRun read = RunStopped(kOpRead8051Settings, {}, 3, {4, 1, 2, 3});
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(Tail(read.trace, 2), (Tokens{"<03", "D00"}));
    // The AVR read stops after address 2, a failure like any other.
    const StoppedRun avrRead =
        RunStopped(kOpReadAvrSettings, {}, 3, {0x07, 0x93, 0x1E, 3, 1, 2, 3});
    EXPECT_EQ(avrRead.result, 0);
    EXPECT_EQ(Count(avrRead.trace, ">A0"), 1 + 3); // the revision, then addresses 0 to 2
    EXPECT_EQ(Tail(avrRead.trace, 5), (Tokens{"<03", "D04", "D04", "C00", "S00"}));

    // Asked before the operation starts: calibration only, no erase.
    OperationRig rig;
    SetFirmware(rig, Records(4), "StopRequestedEarly.efw");
    StopRequest stop;
    stop.requested = true;
    rig.ctx.stop = &stop;
    EXPECT_EQ(WriteAvrFirmware(rig.ctx), 0);
    EXPECT_EQ(rig.Trace(), Tokens{kRigCalibration});
}

TEST(StopRequested, NoFurtherAttemptStartsAndTheBoardKeepsWhatWasWritten) {
    for (Family family : {Family::Avr, Family::Mcs51}) {
        SimBoardState s = BoardWithSettings(family, ValidBoardSettings(3, 3, 5));
        s.code.assign(s.code.size(), 0x00); // old firmware
        FlowBench b(s);
        StopRequest stop;
        b.ctx.stop = &stop;
        DownloadConfiguration(b.ctx);
        const fs::path file = fs::path(::testing::TempDir()) / "StopRequestedFlow.efw";
        std::ofstream(file) << fwtest::ImageFile(Records(64));
        b.host.files.push_back(file.string());
        b.host.requests.clear();
        // Stop once the firmware write is a third of the way through.
        b.host.onPosition = [&](int position) {
            if (position == 24)
                stop.requested = true;
        };
        EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);
        // The 8051 attempt comes first; nothing follows the stopped write.
        EXPECT_EQ(b.host.Operations(),
                  family == Family::Avr ? (std::vector<int>{3, 6}) : (std::vector<int>{3}));
        // Erased, then written part way: what a real board would hold now.
        const std::vector<std::uint8_t>& code = b.board.state().code;
        const std::vector<std::uint8_t> written(16 * 20, 0x11);
        EXPECT_TRUE(std::equal(written.begin(), written.end(), code.begin()));
        EXPECT_EQ(code[16 * 64 - 1], 0xFF);
        EXPECT_EQ(code.back(), 0xFF);
    }
}

namespace {

// An error stream that raises `signal`, `times` times over, once the text
// written to it holds `after` and then `trigger`: a user pressing Ctrl-C
// when the progress shows that.
class SignallingBuffer final : public std::stringbuf {
public:
    SignallingBuffer(std::string after, std::string trigger, int signal, int times)
        : after_(std::move(after)), trigger_(std::move(trigger)), signal_(signal), times_(times) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::streamsize written = std::stringbuf::xsputn(s, n);
        Check();
        return written;
    }
    int_type overflow(int_type c) override {
        const int_type r = std::stringbuf::overflow(c);
        Check();
        return r;
    }

private:
    void Check() {
        if (fired_)
            return;
        const std::string text = str();
        const std::size_t at = text.find(after_);
        if (at == std::string::npos || text.find(trigger_, at) == std::string::npos)
            return;
        fired_ = true;
        for (int i = 0; i < times_; ++i)
            std::raise(signal_);
    }

    std::string after_, trigger_;
    int signal_, times_;
    bool fired_ = false;
};

// What the signal handler writes to file descriptor 2, for one run.
class CapturedStderr {
public:
    explicit CapturedStderr(const fs::path& file) : file_(file) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int fd = ::open(file.string().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~CapturedStderr() { Restore(); }
    std::string Text() {
        Restore();
        std::ifstream in(file_);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    void Restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    fs::path file_;
    int saved_ = -1;
};

class CliSignals : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kelvo-signals-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        board_ = (dir_ / "board.json").string();
        std::ostringstream out, err;
        ASSERT_EQ(RunCli({"sim-create", board_, "--family", "8051", "--board", "3"}, out, err), 0)
            << err.str();
        firmware_ = (dir_ / "fw.efw").string();
        std::ofstream(firmware_) << fwtest::ImageFile(CutIntoRecords(code_));
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Run {
        int exit;
        std::string err, handler;
    };
    Run RunWith(std::vector<std::string> args, const std::string& after, const std::string& at,
                int signal, int times) {
        args.insert(args.begin(), {"--sim", board_});
        SignallingBuffer buffer(after, at, signal, times);
        std::ostream err(&buffer);
        std::ostringstream out;
        CapturedStderr captured(dir_ / "fd2.txt");
        const auto before = Handler(SIGINT);
        const int exit = RunCli(args, out, err);
        // The run's handlers go with it.
        for (int caught : {SIGINT, SIGTERM})
            EXPECT_EQ(Handler(caught), before) << caught;
        return {exit, buffer.str(), captured.Text()};
    }
    static void (*Handler(int signal))(int) {
        const auto handler = std::signal(signal, SIG_DFL);
        std::signal(signal, handler);
        return handler;
    }
    std::vector<std::uint8_t> Code() const {
        SimBoardState s;
        std::string error;
        EXPECT_TRUE(LoadSimState(board_, s, error)) << error;
        return s.code;
    }

    fs::path dir_;
    std::string board_, firmware_;
    const std::vector<std::uint8_t> code_ = fwtest::PatternCode(2048);
};

} // namespace

TEST_F(CliSignals, OneInterruptDuringAWriteOnlyWarns) {
    const Run fw =
        RunWith({"update-firmware", firmware_}, "Uploading firmware", "[#########", SIGINT, 1);
    EXPECT_EQ(fw.exit, kExitDone) << fw.err;
    EXPECT_NE(fw.handler.find("stopping now would leave the board without complete firmware. "
                              "Interrupt again to stop anyway"),
              std::string::npos)
        << fw.handler;
    EXPECT_TRUE(std::equal(code_.begin(), code_.end(), Code().begin()));

    const Run settings =
        RunWith({"preset", "fast"}, "Uploading settings", "[#########", SIGTERM, 1);
    EXPECT_EQ(settings.exit, kExitDone) << settings.err;
    EXPECT_NE(settings.handler.find("without complete settings"), std::string::npos)
        << settings.handler;
}

TEST_F(CliSignals, ASecondInterruptStopsAndTheBoardIsSavedAsItIsNow) {
    const Run r =
        RunWith({"update-firmware", firmware_}, "Uploading firmware", "[#########", SIGINT, 2);
    EXPECT_EQ(r.exit, 128 + SIGINT);
    EXPECT_NE(r.handler.find("kelvo-cli: stopping"), std::string::npos) << r.handler;
    EXPECT_NE(r.err.find("kelvo-cli: stopped by signal 2"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Firmware Upload Complete"), std::string::npos);
    // Part written, the rest still erased: what the chip now holds.
    const std::vector<std::uint8_t> code = Code();
    EXPECT_TRUE(std::equal(code_.begin(), code_.begin() + 512, code.begin()));
    EXPECT_EQ(code[code_.size() - 1], 0xFF);

    const Run term = RunWith({"update-firmware", firmware_}, "Uploading firmware",
                             "[###############", SIGTERM, 2);
    EXPECT_EQ(term.exit, 128 + SIGTERM);
}

TEST_F(CliSignals, OutsideAWriteTheFirstInterruptStops) {
    const Run r = RunWith({"download"}, "Downloading settings", "[#########", SIGINT, 1);
    EXPECT_EQ(r.exit, 128 + SIGINT);
    EXPECT_EQ(r.handler.find("Interrupt again"), std::string::npos) << r.handler;
    // The read stopped and no other attempt followed it.
    std::size_t searches = 0;
    for (std::size_t p = r.err.find("Searching for a board"); p != std::string::npos;
         p = r.err.find("Searching for a board", p + 1))
        ++searches;
    EXPECT_EQ(searches, 1u) << r.err;
}
