// Renders the desktop program's windows into PNG files for the README and
// the user guide: the main window with each options-list page, a progress
// window during a firmware write, and the connection dialog. Run under the
// offscreen platform by scripts/screenshots.
#include "app/DesktopBoardAccess.h"
#include "ui/CKelvoAppDlg.h"
#include "ui/CSettingsDlg.h"
#include "ui/CStatusDlg.h"
#include "ui/ModalRun.h"

#include <QApplication>
#include <QFontDatabase>
#include <QListWidget>
#include <QTimer>

#include <condition_variable>
#include <iostream>
#include <mutex>

using namespace kelvo;

namespace {

class NoHelp final : public HelpService {
public:
    void OpenHelpFile() override {}
    void ShowContextHelp(QWidget*, const ContextHelpTable&, const QPoint&) override {}
};

bool Save(QWidget& w, const QString& path) {
    if (!w.grab().save(path)) {
        std::cerr << "cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

// Grabs the progress window once the operation's texts are on screen, then
// lets the operation end.
class ProgressGrabber final : public ModalObserver {
public:
    ProgressGrabber(QString path, int changes) : path_(std::move(path)), changes_(changes) {}
    void ModalOpening(QDialog& dialog) override {
        auto* progress = qobject_cast<CStatusDlg*>(&dialog);
        if (!progress)
            return;
        QObject::connect(progress, &CStatusDlg::progressShown, progress, [this, progress] {
            if (--changes_ == 0) {
                ok = Save(*progress, path_);
                std::lock_guard lock(mutex);
                released = true;
                cv.notify_all();
            }
        });
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    bool ok = false;

private:
    QString path_;
    int changes_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvo"));
    if (argc != 2) {
        std::cerr << "usage: kelvo-screenshots OUTPUT_DIR\n";
        return 2;
    }
    if (QFontDatabase::families().isEmpty()) {
        std::cerr << "kelvo-screenshots: no fonts found (install fonts-dejavu-core and "
                     "fontconfig); the pictures would have no text\n";
        return 1;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    AppState state;
    ConnectionRequest fresh;
    fresh.driver = PortDriver::Simulated; // a board for this run only
    DesktopBoardAccess board(fresh, {});  // no programmer is chosen here
    NoHelp help;
    MainWindowOptions options;
    options.simulatedBoard = true;
    CKelvoAppDlg window(state, board, help, options);
    window.show();
    // The start-up download and the first page.
    while (window.currentPage() != 0 || state.boardInfo.boardLoaded != 1 ||
           QApplication::activeModalWidget())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();

    // Every entry, the ones this board lacks included.
    window.RebuildOptionsList();
    auto* list = window.findChild<QListWidget*>();
    const char* names[] = {"firing",      "closed-bolt", "eye",     "timer",
                           "lcd-display", "lcd-menu",    "presets", "power"};
    for (int row = 0; row < list->count(); ++row) {
        list->setCurrentRow(row);
        window.SwitchPage();
        QApplication::processEvents();
        ok &= Save(window, dir + "/main-" + names[row] + ".png");
    }

    ProgressGrabber grabber(dir + "/progress.png", 5);
    SetModalObserver(&grabber);
    OperationRequest request;
    request.operation = 6;
    request.initialStatus = "Searching for a board on port 0x378, please wait... ";
    window.host().RunInProgressWindow(request, [&](ProgressSink& sink) {
        sink.SetStatus("Uploading firmware to your board, please wait...");
        sink.SetWarning("Do not turn off the power or disconnect the programming cable.");
        sink.SetRange(1028);
        sink.SetPosition(377);
        sink.SetTimeLeft("Time Left: 00:26");
        std::unique_lock lock(grabber.mutex);
        grabber.cv.wait(lock, [&] { return grabber.released; });
    });
    SetModalObserver(nullptr);
    ok &= grabber.ok;

    CSettingsDlg settings(state, help, &window, &board);
    settings.show();
    QApplication::processEvents();
    ok &= Save(settings, dir + "/connection.png");
    return ok ? 0 : 1;
}
