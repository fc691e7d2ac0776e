#include "ui/QtFlowHost.h"

#include "ui/CStatusDlg.h"
#include "ui/ModalRun.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace kelvo {

namespace {

struct FileDialogKind {
    const char* filter;
    const char* suffix;
};

FileDialogKind DialogKind(FileKind kind) {
    if (kind == FileKind::Settings)
        return {"Kelvo Config Files (*.esf)", "esf"};
    return {"Kelvo Firmware Files (*.efw)", "efw"};
}

std::optional<std::string> RunFileDialog(QWidget* owner, FileKind kind, bool save,
                                         const std::string& proposedName) {
    const FileDialogKind k = DialogKind(kind);
    QFileDialog dialog(owner, save ? QStringLiteral("Save As") : QStringLiteral("Open"),
                       QDir::currentPath(), QString::fromLatin1(k.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromLatin1(k.suffix));
    if (!proposedName.empty())
        dialog.selectFile(QString::fromStdString(proposedName));
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

} // namespace

MessageAnswer QtFlowHost::ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons) {
    return ShowMessageBox(owner_, text, caption, icon, buttons);
}

std::optional<std::string> QtFlowHost::ChooseOpenFile(FileKind kind) {
    return RunFileDialog(owner_, kind, false, {});
}

std::optional<std::string> QtFlowHost::ChooseSaveFile(FileKind kind,
                                                      const std::string& proposedName) {
    return RunFileDialog(owner_, kind, true, proposedName);
}

void QtFlowHost::RunInProgressWindow(const OperationRequest& request,
                                     const std::function<void(ProgressSink&)>& operation) {
    // No owner, as the design's runner has none; application-modal all the
    // same.
    CStatusDlg window(request);
    CStatusDlg* const outer = active_;
    active_ = &window;
    QObject::connect(&window, &CStatusDlg::operationEnded, &window, [this] {
        std::vector<std::function<void()>> waiting;
        waiting.swap(deferred_);
        for (auto& call : waiting)
            Post(std::move(call));
    });
    window.Run(operation);
    active_ = outer;
}

void QtFlowHost::Beep() {
    QApplication::beep();
}

void QtFlowHost::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        owner_, [this, call = std::move(call)] { Deliver(call); }, Qt::QueuedConnection);
}

void QtFlowHost::Deliver(const std::function<void()>& call) {
    if (active_ && active_->OperationRunning()) {
        deferred_.push_back(call);
        return;
    }
    call();
}

} // namespace kelvo
