// Started by bench_gui: the desktop program's start on a fresh simulated
// board, ending as soon as page 0 is on screen and the start-up download is
// done (exit 0), or after 20 s without (exit 1).
#include "app/DesktopBoardAccess.h"
#include "ui/CKelvoAppDlg.h"

#include <QApplication>
#include <QElapsedTimer>

using namespace kelvo;

namespace {
class NoHelp final : public HelpService {
public:
    void OpenHelpFile() override {}
    void ShowContextHelp(QWidget*, const ContextHelpTable&, const QPoint&) override {}
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    AppState state;
    ConnectionRequest fresh;
    fresh.driver = PortDriver::Simulated; // a board for this run only
    DesktopBoardAccess board(fresh, {});  // no programmer is chosen here
    NoHelp help;
    CKelvoAppDlg window(state, board, help);
    window.show();
    QElapsedTimer limit;
    limit.start();
    while (!(window.currentPage() == 0 && window.page(0).window() &&
             window.page(0).window()->isVisible() && state.boardInfo.boardLoaded == 1 &&
             !QApplication::activeModalWidget())) {
        if (limit.elapsed() > 20000)
            return 1;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return 0;
}
