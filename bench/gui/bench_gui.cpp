// The desktop program's speed as a person sees it:
// - BM_StartToFirstPage: from starting the process to page 0 on screen with
//   the start-up download done, on a fresh simulated board (target: under
//   0.5 s);
// - BM_ProgressWindowDuringFirmwareWrite: how often the progress window
//   repaints its bar while an 8 KB firmware write runs on its worker
//   thread, and the longest the window's event loop went without turning
//   (what a desktop would judge "not responding" by). The simulated board
//   keeps pace with the wall clock at ten times a real bus's speed, so the
//   worker waits as it would on a cable and the write takes a second or two
//   rather than the 10-30 s of a real bus.
#include "app/SimConnection.h"
#include "link/Operation.h"
#include "ops/BoardSearch.h"
#include "ops/FirmwareImage.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimBoard.h"
#include "ui/CStatusDlg.h"
#include "ui/ControlId.h"
#include "ui/ModalRun.h"
#include "ui/QtFlowHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace kelvo;

namespace {

void BM_StartToFirstPage(benchmark::State& state) {
    const QString child = QStringLiteral(KELVO_STARTUP_CHILD);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int code =
            QProcess::execute(child, {QStringLiteral("-platform"), QStringLiteral("offscreen")});
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (code != 0)
            state.SkipWithError("the child did not reach page 0");
    }
}
BENCHMARK(BM_StartToFirstPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Counts the progress bar's paints and the longest gap between two turns of
// the event loop while the progress window is up.
class Watch final : public QObject, public ModalObserver {
public:
    void ModalOpening(QDialog& dialog) override {
        if (QWidget* bar = FindControl(&dialog, 1013))
            bar->installEventFilter(this);
        tick_.setInterval(1);
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            if (last_.isValid())
                maxGapNs = std::max(maxGapNs, last_.nsecsElapsed());
            last_.start();
        });
        tick_.start();
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    void Stop() { tick_.stop(); }
    long paints = 0;
    qint64 maxGapNs = 0;

private:
    QTimer tick_;
    QElapsedTimer last_;
};

class NoWindowHost final : public QtFlowHost {
public:
    explicit NoWindowHost(QWidget* owner) : QtFlowHost(owner) {}
    void RebuildOptionsList() override {}
    void KeepOnlyPages(const std::vector<int>&) override {}
    void WriteBoardPanel(const std::string&, const std::string&, const std::string&) override {}
    void SetUploadEnabled(bool) override {}
    void ReloadPageOnScreen() override {}
    void CollectCurrentPage() override {}
    void RequestDownload() override {}
};

void BM_ProgressWindowDuringFirmwareWrite(benchmark::State& state) {
    std::mt19937 rng(1);
    std::vector<std::uint8_t> code(8192);
    for (auto& b : code)
        b = static_cast<std::uint8_t>(rng());
    const auto file = std::filesystem::temp_directory_path() / "kelvo-bench-gui.efw";
    std::ofstream(file) << FormatFirmwareImage(1, CutIntoRecords(code));
    QWidget owner;
    NoWindowHost host(&owner);
    double paintsPerSecond = 0, maxGapMs = 0;
    for (auto _ : state) {
        AppState app;
        FirmwareImageReader(file.string(), app.FirmwareImageText);
        SimBoardState paced = MakeNewSimBoard(NewSimBoard{});
        paced.pace = 10;
        SimBoard board(std::move(paced));
        FlowContext ctx{app, host, board, board};
        Watch watch;
        SetModalObserver(&watch);
        QElapsedTimer timer;
        timer.start();
        OperationRequest request;
        request.operation = kOpWriteAvrFirmware;
        request.firmwarePath = file.string();
        RunBoardOperation(ctx, request);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        watch.Stop();
        SetModalObserver(nullptr);
        if (app.operationSucceeded != 1)
            state.SkipWithError("the firmware write failed");
        paintsPerSecond = static_cast<double>(watch.paints) / seconds;
        maxGapMs = static_cast<double>(watch.maxGapNs) / 1e6;
    }
    state.counters["bar_repaints_per_s"] = paintsPerSecond;
    state.counters["max_event_loop_gap_ms"] = maxGapMs;
}
BENCHMARK(BM_ProgressWindowDuringFirmwareWrite)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
