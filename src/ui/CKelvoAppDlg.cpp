#include "ui/CKelvoAppDlg.h"

#include "files/ConnectionSettings.h"
#include "ops/Download.h"
#include "ops/FirmwareUpdate.h"
#include "ops/SettingsFileFlows.h"
#include "ops/Upload.h"
#include "ui/Artwork.h"
#include "ui/CAboutDlg.h"
#include "ui/CSettingsDlg.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/ModalRun.h"

#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTime>

#include <algorithm>
#include <filesystem>

namespace kelvo {

namespace {

// Pixels between the "Options" frame and the page inside it.
const QMargins kPageFrameMargins(4, 15, 4, 6);

const ContextHelpTable kMainWindowHelp{
    "KelvoDialog.txt",
    {{1009, 1}, {1044, 2}, {1008, 3}, {1007, 4}, {1010, 5}, {1011, 6}, {1065, 7}}};

struct ListEntry {
    const char* text;
    int page;
};

// In list order; inserted from the last to the first, each at the top.
constexpr ListEntry kListEntries[] = {
    {"Firing Options", kPageFiring},
    {"Closed Bolt Options", kPageClosedBolt},
    {"Eye Options", kPageEye},
    {"Timer Options", kPageTimer},
    {"LCD Display Options", kPageLcdDisplay},
    {"LCD Menu Options", kPageLcdMenu},
    {"Presets", kPagePresets},
    {"Power Options", kPagePower},
};

// Stands in for the port while the real one cannot be opened; the flows
// never reach it then (they stop at the board search), and a floating
// cable reads high.
class DisconnectedPort final : public Port {
public:
    void PortWrite(std::uint16_t, std::uint8_t) override {}
    std::uint8_t PortRead(std::uint16_t) override { return 0xFF; }
};

DisconnectedPort g_disconnectedPort;

} // namespace

// What the flows ask of the main window.
class CKelvoAppDlg::Host final : public QtFlowHost {
public:
    explicit Host(CKelvoAppDlg& window) : QtFlowHost(&window), w_(window) {}

    void RebuildOptionsList() override { w_.RebuildOptionsList(); }
    void KeepOnlyPages(const std::vector<int>& pages) override {
        for (int row = w_.list_->count() - 1; row >= 0; --row) {
            const int page = w_.list_->item(row)->data(Qt::UserRole).toInt();
            if (std::find(pages.begin(), pages.end(), page) == pages.end())
                delete w_.list_->takeItem(row);
        }
    }
    void WriteBoardPanel(const std::string& type, const std::string& firmware,
                         const std::string& battery) override {
        w_.boardType_->setText(QString::fromStdString(type));
        w_.firmwareRevision_->setText(QString::fromStdString(firmware));
        w_.batteryVoltage_->setText(QString::fromStdString(battery));
    }
    void SetUploadEnabled(bool enabled) override { w_.upload_->setEnabled(enabled); }
    void ReloadPageOnScreen() override {
        w_.reloadPagesFlag = true;
        w_.SwitchPage();
    }
    // The page on screen, whatever the list's mark says: the arrow keys move
    // the mark without switching pages.
    void CollectCurrentPage() override {
        const int page = w_.state_.currentPageNumber;
        if (page >= 0 && page < static_cast<int>(w_.pages_.size()))
            w_.pages_[static_cast<std::size_t>(page)]->Collect(CollectVariant::CollectCurrentPage);
    }
    // The read-back a flow asks for keeps that flow's line; a failed one
    // has its own box.
    void RequestDownload() override {
        Post([this] {
            w_.readBack_ = true;
            w_.DownloadConfigurationRequest();
            w_.readBack_ = false;
        });
    }
    void ReportOutcome(const std::string& line) override {
        if (w_.readBack_)
            return;
        w_.ShowOutcome(QString::fromStdString(line) + QStringLiteral(" at ") +
                       QTime::currentTime().toString(QStringLiteral("HH:mm")));
    }

private:
    CKelvoAppDlg& w_;
};

CKelvoAppDlg::CKelvoAppDlg(AppState& state, BoardAccess& board, HelpService& help,
                           const MainWindowOptions& options, const PageFactory& makePages)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state_(state), board_(board),
      help_(help), env_{state, help,
                        [this](const std::function<void(FlowContext&)>& flow) { RunFlow(flow); }},
      host_(std::make_unique<Host>(*this)) {
    pages_ = makePages(env_);
    setWindowTitle(options.simulatedBoard
                       ? QStringLiteral("Kelvo Application Version 3.0 (simulated board)")
                       : QStringLiteral("Kelvo Application Version 3.0"));
    BuildControls();
    if (options.showAbout)
        InstallAboutEntry(this, FindControl(this, 135),
                          [this, show = options.showAbout] { show(this); });
    InstallHelp(this, help_, kMainWindowHelp);
    // Keys start in the options list, never unseen on the logo.
    list_->setFocus();
    OpeningSequence(options);
}

CKelvoAppDlg::~CKelvoAppDlg() = default;

QtFlowHost& CKelvoAppDlg::host() {
    return *host_;
}

void CKelvoAppDlg::BuildControls() {
    const QFont& f = font();
    setFixedSize(DluToPixels(f, 345, 260));
    auto place = [&](QWidget* w, int x, int y, int width, int height, int id = -1) {
        w->setGeometry(DluToPixels(f, x, y, width, height));
        if (id >= 0)
            SetControlId(w, id);
    };
    auto label = [&](const char* text, int x, int y, int width, int id = -1) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        place(l, x, y, width, 10, id);
        return l;
    };

    place(new QGroupBox(QStringLiteral("Board Information:"), this), 6, 4, 180, 56);
    label("Board Type:", 15, 18, 68);
    boardType_ = label("Unknown", 85, 18, 98, 1005);
    label("Firmware Revision:", 15, 31, 68);
    firmwareRevision_ = label("Unknown", 85, 31, 98, 1006);
    label("Battery Voltage:", 15, 44, 68);
    batteryVoltage_ = label("Unknown", 85, 44, 98, 1013);

    auto* logo = new QLabel(this);
    place(logo, 193, 4, 145, 56, 135);
    logo->setPixmap(KelvoLogo(logo->size(), devicePixelRatioF()));

    list_ = new QListWidget(this);
    place(list_, 6, 66, 76, 130, 1065);
    list_->setViewMode(QListView::ListMode);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Pages switch on mouse clicks only; the arrow keys just move the mark.
    connect(list_, &QListWidget::clicked, this, [this] { SwitchPage(); });

    frame_ = new QGroupBox(QStringLiteral("Options"), this);
    place(frame_, 85, 62, 254, 134, 1066);

    auto flowButton = [&](const char* text, int id, int x, int y, int width,
                          std::function<void()> handler) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        place(b, x, y, width, 14, id);
        // Enter must never press a button for the window (it would close
        // it on "Exit ").
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, std::move(handler));
        return b;
    };
    flowButton("Download Configuration", 1007, 6, 202, 108,
               [this] { RunFlow([](FlowContext& ctx) { DownloadConfiguration(ctx); }); });
    upload_ = flowButton("Upload Configuration", 1008, 118, 202, 108,
                         [this] { RunFlow([](FlowContext& ctx) { UploadConfiguration(ctx); }); });
    flowButton("Update Firmware", 1011, 230, 202, 109,
               [this] { RunFlow([](FlowContext& ctx) { UpdateFirmware(ctx); }); });
    flowButton("Save Configuration", 1009, 6, 220, 108,
               [this] { RunFlow([](FlowContext& ctx) { SaveConfiguration(ctx); }); });
    flowButton("Open Configuration", 1044, 118, 220, 108,
               [this] { RunFlow([](FlowContext& ctx) { OpenConfiguration(ctx); }); });
    flowButton("Connection...", 1010, 230, 220, 109, [this] { OpenConnectionDialog(); });
    flowButton("Exit ", 2, 279, 240, 60, [this] { reject(); });

    label("Orrivane", 6, 243, 34);
    rule_ = new QFrame(this);
    rule_->setFrameShape(QFrame::HLine);
    rule_->setFrameShadow(QFrame::Sunken);
    place(rule_, 42, 245, 230, 4);
    // What the last flow did takes the rule's place, inside the design's
    // frame; never a window of its own.
    outcome_ = label("", 42, 243, 233);
    outcome_->setObjectName(QStringLiteral("outcomeLine"));
    outcome_->hide();
}

void CKelvoAppDlg::ShowOutcome(const QString& line) {
    rule_->hide();
    outcome_->setToolTip(line);
    outcome_->setText(outcome_->fontMetrics().elidedText(line, Qt::ElideRight, outcome_->width()));
    outcome_->show();
}

void CKelvoAppDlg::OpeningSequence(const MainWindowOptions& options) {
    std::error_code ec;
    state_.startDirectory = std::filesystem::current_path(ec).string();
    currentPage_ = -1;
    reloadPagesFlag = false;
    state_.settingsImage[entry::unused] = 0;
    UpdatePanel(false);
    ResetSettingsImage(state_.settingsImage);
    std::string customAddress;
    LoadConnectionSettings(state_.startDirectory, state_.link.portBase, customAddress);
    if (options.portOverride)
        state_.link.portBase = *options.portOverride;
    setWindowIcon(KelvoIcon());
    RebuildOptionsList();
    if (state_.runOptions.initProgramming) {
        ResetSettingsImage(state_.settingsImage);
        UpdatePanel(true);
        BoardInfo& info = state_.boardInfo;
        info.firmwareRevisionText = "None";
        info.boardTypeName = "Empty";
        info.batteryVoltageText = "N/A";
        info.dialogMode = 0;
        UpdatePanel(false);
    } else {
        host_->Post([this] { DownloadConfigurationRequest(); });
    }
    host_->Post([this] { ShowFirstPage(); });
}

void CKelvoAppDlg::UpdatePanel(bool saveToState) {
    BoardInfo& info = state_.boardInfo;
    if (saveToState) {
        info.boardTypeName = boardType_->text().toStdString();
        info.firmwareRevisionText = firmwareRevision_->text().toStdString();
        info.batteryVoltageText = batteryVoltage_->text().toStdString();
    } else {
        host_->WriteBoardPanel(info.boardTypeName, info.firmwareRevisionText,
                               info.batteryVoltageText);
    }
}

void CKelvoAppDlg::RebuildOptionsList() {
    list_->clear();
    for (auto it = std::rbegin(kListEntries); it != std::rend(kListEntries); ++it) {
        auto* item = new QListWidgetItem(QString::fromLatin1(it->text));
        item->setData(Qt::UserRole, it->page);
        list_->insertItem(0, item);
    }
}

void CKelvoAppDlg::ShowFirstPage() {
    pages_[kPageFiring]->CreatePage(this, frame_, kPageFrameMargins);
    if (list_->count() > 0)
        list_->selectionModel()->setCurrentIndex(list_->model()->index(0, 0),
                                                 QItemSelectionModel::NoUpdate);
    currentPage_ = kPageFiring;
    state_.currentPageNumber = kPageFiring;
}

void CKelvoAppDlg::SwitchPage() {
    const int pageCount = static_cast<int>(pages_.size());
    int chosen = -1;
    if (!reloadPagesFlag) {
        const QListWidgetItem* mark = list_->currentItem();
        chosen = mark ? mark->data(Qt::UserRole).toInt() : -1;
        if (chosen < 0)
            return;
        state_.currentPageNumber = chosen;
    }
    if (currentPage_ >= 0 && currentPage_ < pageCount) {
        CRHGenericChildDialog& leaving = *pages_[static_cast<std::size_t>(currentPage_)];
        if (!reloadPagesFlag)
            leaving.Collect(CollectVariant::SwitchPage);
        leaving.DestroyPage();
    }
    if (reloadPagesFlag)
        chosen = currentPage_;
    if (chosen >= 0 && chosen < pageCount)
        pages_[static_cast<std::size_t>(chosen)]->CreatePage(this, frame_, kPageFrameMargins);
    reloadPagesFlag = false;
    currentPage_ = chosen;
    state_.currentPageNumber = chosen;
}

void CKelvoAppDlg::RunFlow(const std::function<void(FlowContext&)>& flow) {
    std::string error;
    const bool ready = board_.Prepare(state_.link.portBase, error);
    FlowContext ctx{state_, *host_, ready ? board_.port() : g_disconnectedPort,
                    ready ? board_.clock() : idleClock_};
    if (!ready)
        ctx.portUnavailable = error;
    else
        ctx.programmer = board_.usbProgrammer();
    flow(ctx);
    // A programmer that vanished stopped the flow like the stop button would.
    if (ctx.programmer && !ctx.programmer->Fault().empty())
        host_->ShowMessage(ctx.programmer->Fault() +
                               " What was being written to the board may be incomplete.",
                           "Kelvo", MessageIcon::Exclamation, MessageButtons::Ok);
    if (ready && !board_.Save(error))
        host_->ShowMessage(error, "Kelvo", MessageIcon::Exclamation, MessageButtons::Ok);
}

void CKelvoAppDlg::DownloadConfigurationRequest() {
    RunFlow([](FlowContext& ctx) { DownloadConfiguration(ctx); });
}

void CKelvoAppDlg::OpenConnectionDialog() {
    CSettingsDlg dialog(state_, help_, this, &board_);
    RunModal(dialog);
}

void CKelvoAppDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kelvo
