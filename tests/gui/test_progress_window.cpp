#include "MainWindowFixture.h"
#include "ops/FirmwareImageHex.h"
#include "ops/FirmwareUpdate.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>

namespace kelvo {
namespace {

constexpr char kSearchText[] = "Searching for a board on port 0x378, please wait...";

// What the window showed after each change its operation made.
struct Shown {
    std::string status, timeLeft, warning;
    int position = 0, maximum = 0;
};

void RecordProgress(CStatusDlg& window, std::vector<Shown>& into) {
    QObject::connect(&window, &CStatusDlg::progressShown, &window, [&window, &into] {
        const auto* bar = static_cast<QProgressBar*>(FindControl(&window, 1013));
        into.push_back({TextOf(&window, 1012).toStdString(), TextOf(&window, 1067).toStdString(),
                        TextOf(&window, 1014).toStdString(), bar->value(), bar->maximum()});
    });
}

struct PaintCounter final : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(MainWindowTest, ProgressWindowTakesNoInputWhileItsOperationRuns) {
    Open(Fennick());
    WaitForFlows(1);
    const int windowsBefore = script.progressWindows;

    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    std::atomic<int> runs{0};
    QPointer<CStatusDlg> seen;
    PaintCounter paintCounter;
    bool closedEarly = false;
    bool checked = false;
    int postedRan = 0;
    bool postedDuringOperation = false;
    script.onProgress = [&](CStatusDlg& progress) {
        seen = &progress;
        EXPECT_EQ(progress.windowTitle(), "Communication In Progress...");
        EXPECT_FALSE(progress.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(progress.windowFlags() & Qt::WindowSystemMenuHint);
        EXPECT_TRUE(progress.isModal());
        // Neither does the window close before its operation has started.
        QTimer::singleShot(0, &progress, [&] {
            closedEarly = progress.close();
            QTest::keyClick(&progress, Qt::Key_Escape);
            closedEarly |= !progress.isVisible();
        });
        // The operation starts only once the window has been painted.
        progress.installEventFilter(&paintCounter);
        QObject::connect(&progress, &CStatusDlg::operationStarted, &progress, [&] {
            EXPECT_GT(paintCounter.paints, 0);
            // The operation is now blocked on the latch.
            ASSERT_TRUE(SpinUntil([&] {
                return TextOf(seen, 1012) == "Downloading settings from your board, please wait...";
            }));
            EXPECT_EQ(TextOf(seen, 1014),
                      "Do not turn off the power or disconnect the programming cable.");
            EXPECT_EQ(TextOf(seen, 1067), "");
            QTest::keyClick(seen, Qt::Key_Escape);
            QTest::keyClick(seen, Qt::Key_F4, Qt::AltModifier);
            EXPECT_FALSE(seen->close());
            QCloseEvent desktopClose;
            QApplication::sendEvent(seen, &desktopClose);
            Click(1007); // "Download Configuration" on the main window
            QCloseEvent mainClose;
            QApplication::sendEvent(window.get(), &mainClose);
            QTest::keyClick(window.get(), Qt::Key_Escape);
            QApplication::processEvents();
            EXPECT_TRUE(seen->isVisible());
            EXPECT_TRUE(window->isVisible());
            EXPECT_TRUE(seen->OperationRunning());
            EXPECT_EQ(script.progressWindows, windowsBefore + 1);
            // A request queued now (a download asked for by a flow, say)
            // waits until the operation has ended.
            window->host().Post([&] {
                ++postedRan;
                postedDuringOperation = seen && seen->OperationRunning();
            });
            QApplication::processEvents();
            QApplication::processEvents();
            EXPECT_EQ(postedRan, 0);
            checked = true;
            std::lock_guard lock(mutex);
            released = true;
            cv.notify_all();
        });
    };
    OperationRequest request;
    request.operation = 0;
    request.initialStatus = kSearchText;
    request.warning = "Do not turn off the power or disconnect the programming cable. ";
    window->host().RunInProgressWindow(request, [&](ProgressSink& sink) {
        ++runs;
        sink.SetStatus("Downloading settings from your board, please wait...");
        sink.SetWarning("Do not turn off the power or disconnect the programming cable.");
        sink.SetTimeLeft("");
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return released; });
    });
    EXPECT_TRUE(checked);
    EXPECT_FALSE(closedEarly);
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(SpinUntil([&] { return postedRan == 1; }));
    EXPECT_FALSE(postedDuringOperation);
    EXPECT_TRUE(seen.isNull()); // closed and gone
    EXPECT_EQ(script.progressWindows, windowsBefore + 1);
    EXPECT_EQ(board->saves, 1); // the click on Download ran nothing, then or later
    QApplication::processEvents();
    EXPECT_EQ(board->saves, 1);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, UnassignedOperationTwoClosesAtOnceAndKeepsTheFlag) {
    state.runOptions.initProgramming = 1; // no search at start-up
    Open(Fennick());
    std::vector<Shown> shown;
    std::string statusAtEnd;
    script.onProgress = [&](CStatusDlg& progress) {
        RecordProgress(progress, shown);
        QObject::connect(&progress, &CStatusDlg::operationEnded, &progress,
                         [&] { statusAtEnd = TextOf(&progress, 1012).toStdString(); });
    };
    for (int flag : {1, 0}) {
        window->RunFlow([&](FlowContext& ctx) {
            ctx.state.operationSucceeded = flag;
            OperationRequest request;
            request.operation = 2;
            request.initialStatus = kSearchText;
            RunBoardOperation(ctx, request);
            EXPECT_EQ(ctx.state.operationSucceeded, flag);
        });
        EXPECT_EQ(statusAtEnd, kSearchText);
    }
    EXPECT_EQ(script.progressWindows, 2);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Only the start texts: no operation ran.
    for (const Shown& s : shown)
        EXPECT_EQ(s.status, kSearchText);
}

// Busy from the first moment (the search and the calibration count no step),
// and between two estimates the time left counts down once a second.
TEST_F(MainWindowTest, BarIsBusyUntilARangeAndTimeLeftCountsDownBetweenEstimates) {
    Open(Fennick());
    WaitForFlows(1);
    std::mutex mutex;
    std::condition_variable cv;
    int stage = 0; // raised by the window's side, waited for by the operation
    const auto release = [&](int to) {
        std::lock_guard lock(mutex);
        stage = to;
        cv.notify_all();
    };
    const auto waitFor = [&](int at) {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return stage >= at; });
    };
    bool busyAtStart = false, countedDown = false, stopped = false, busyAtZero = false,
         counting = false;
    script.onProgress = [&](CStatusDlg& progress) {
        QObject::connect(&progress, &CStatusDlg::operationStarted, &progress, [&, p = &progress] {
            auto* bar = static_cast<QProgressBar*>(FindControl(p, 1013));
            busyAtStart = bar->minimum() == 0 && bar->maximum() == 0;
            countedDown = SpinUntil([&] { return TextOf(p, 1067) == "Time Left: 00:01"; });
            release(1);
            // A range alone, and step 0, still count nothing.
            ASSERT_TRUE(SpinUntil([&] { return TextOf(p, 1067) == "Time Left: Calculating..."; }));
            busyAtZero = bar->maximum() == 0;
            QTest::qWait(1300);
            stopped = TextOf(p, 1067) == "Time Left: Calculating...";
            release(2);
            counting = SpinUntil([&] { return bar->maximum() == 36 && bar->value() == 1; });
            release(3);
        });
    };
    OperationRequest request;
    request.initialStatus = kSearchText;
    window->host().RunInProgressWindow(request, [&](ProgressSink& sink) {
        sink.SetTimeLeft("Time Left: 00:03");
        waitFor(1);
        sink.SetRange(36);
        sink.SetPosition(0);
        sink.SetTimeLeft("Time Left: Calculating...");
        waitFor(2);
        sink.SetPosition(1);
        waitFor(3);
    });
    EXPECT_TRUE(busyAtStart);
    EXPECT_TRUE(busyAtZero);
    EXPECT_TRUE(counting);
    EXPECT_TRUE(countedDown);
    EXPECT_TRUE(stopped) << "a text that is no estimate stops the countdown";
}

TEST_F(MainWindowTest, FirmwareUpdateShowsItsStatusBarAndTimeLeft) {
    Open(Fennick());
    WaitForFlows(1);
    std::mt19937 rng(7);
    std::vector<std::uint8_t> code(8192);
    for (auto& b : code)
        b = static_cast<std::uint8_t>(rng());
    const std::vector<std::string> records = CutIntoRecords(code);
    const std::string file = (directory / "new.efw").string();
    std::ofstream(file) << FormatFirmwareImage(1, records);
    const int tokens = static_cast<int>(records.size()) + 1; // the header too

    std::vector<std::vector<Shown>> windows;
    script.onProgress = [&](CStatusDlg& progress) {
        windows.emplace_back();
        RecordProgress(progress, windows.back());
    };
    script.Choose("Open", file).Press("Firmware Upload Complete");
    Click(1011);
    WaitForFlows(3); // the update, and the download it asked for

    EXPECT_EQ(script.fileFilters, (std::vector<std::string>{"Kelvo Firmware Files (*.efw)"}));
    EXPECT_EQ(script.fileSuffixes, (std::vector<std::string>{"efw"}));
    EXPECT_EQ(script.texts.back(), "The board firmware and settings have been updated!\n\n");
    EXPECT_EQ(script.icons.back(), QMessageBox::NoIcon);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), board->board.state().code.begin()));

    // 8051 attempt, AVR firmware write; the settings upload: the board read
    // (8051, AVR), the write (8051, AVR), the read-back (AVR); and the
    // download after it (8051, AVR).
    ASSERT_EQ(windows.size(), 9u);
    const std::vector<Shown>& write = windows[1];
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(write.front().status, kSearchText + std::string(" "));
    bool uploading = false, calculating = false, estimate = false;
    int lastPosition = -1;
    for (const Shown& s : write) {
        uploading |= s.status == "Uploading firmware to your board, please wait...";
        calculating |= s.timeLeft == "Time Left: Calculating...";
        estimate |= s.timeLeft.rfind("Time Left: 00:", 0) == 0;
        EXPECT_GE(s.position, lastPosition) << "the bar never moves back";
        lastPosition = s.position;
    }
    // The operation's third call replaces the flow's warning for good.
    for (std::size_t i = 2; i < write.size(); ++i)
        EXPECT_EQ(write[i].warning,
                  "Do not turn off the power or disconnect the programming cable.");
    EXPECT_TRUE(uploading);
    EXPECT_TRUE(calculating);
    EXPECT_TRUE(estimate) << "a 10-second write shows an estimate after 5 seconds";
    EXPECT_EQ(write.back().maximum, 2 * tokens);
    // Into the verification pass, which starts at N.
    EXPECT_GT(write.back().position, tokens + tokens / 2);
    // A settings write shows no time left.
    for (const Shown& s : windows[6])
        EXPECT_EQ(s.timeLeft, "");
    EXPECT_EQ(Panel(), (std::vector<std::string>{"Fennick", "v3.10", "9.4 volts"}));
    // The read-back keeps the update's own line.
    const auto* line = window->findChild<QLabel*>(QStringLiteral("outcomeLine"));
    EXPECT_TRUE(line->toolTip().startsWith("Firmware written and verified; settings restored at "));
}

} // namespace
} // namespace kelvo
