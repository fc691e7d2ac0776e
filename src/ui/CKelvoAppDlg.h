#pragma once

#include "link/Clock.h"
#include "ops/BoardSearch.h"
#include "ui/BoardAccess.h"
#include "ui/HelpHooks.h"
#include "ui/OptionPages.h"
#include "ui/QtFlowHost.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kelvo {

using PageFactory = std::function<OptionPageSet(PageEnvironment&)>;

struct MainWindowOptions {
    bool simulatedBoard = false;              // the title says so
    std::optional<std::int32_t> portOverride; // --port: wins over ConnSettings.dat
    // Runs the about box over the window; without it there is no about entry.
    std::function<void(QWidget* parent)> showAbout;
};

// The main window: the board information panel, the options list, the page
// on screen and the buttons that run every flow.
class CKelvoAppDlg final : public QDialog {
    Q_OBJECT

public:
    CKelvoAppDlg(AppState& state, BoardAccess& board, HelpService& help,
                 const MainWindowOptions& options = {},
                 const PageFactory& makePages = MakeOptionPages);
    ~CKelvoAppDlg() override;

    // Empties the options list and fills it with the eight entries.
    void RebuildOptionsList();
    // Places page 0 and marks the first list entry.
    void ShowFirstPage();
    // The list-click handler: collects the page being left (unless
    // reloadPagesFlag is set) and shows the chosen one.
    void SwitchPage();

    // Runs a flow on the board the window was given, and saves a simulated
    // board afterwards.
    void RunFlow(const std::function<void(FlowContext&)>& flow);

    int currentPage() const { return currentPage_; }
    bool reloadPagesFlag = false;
    QtFlowHost& host();
    CRHGenericChildDialog& page(int number) { return *pages_.at(static_cast<std::size_t>(number)); }

public slots:
    // Enter never closes the window.
    void accept() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Host;

    void BuildControls();
    void OpeningSequence(const MainWindowOptions& options);
    // The panel's data exchange: labels to BoardInfo texts, or back.
    void UpdatePanel(bool saveToState);
    void DownloadConfigurationRequest();
    void OpenConnectionDialog();
    // The status line left of Exit: what the last flow did, or why not.
    void ShowOutcome(const QString& line);

    AppState& state_;
    BoardAccess& board_;
    HelpService& help_;
    PageEnvironment env_;
    OptionPageSet pages_;
    std::unique_ptr<Host> host_;
    SystemClock idleClock_;
    int currentPage_ = -1;

    QLabel* boardType_ = nullptr;
    QLabel* firmwareRevision_ = nullptr;
    QLabel* batteryVoltage_ = nullptr;
    QListWidget* list_ = nullptr;
    QGroupBox* frame_ = nullptr;
    QPushButton* upload_ = nullptr;
    QFrame* rule_ = nullptr;
    QLabel* outcome_ = nullptr;
    bool readBack_ = false; // a download a flow asked for is running
};

} // namespace kelvo
