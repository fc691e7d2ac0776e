#pragma once

#include "ops/FlowHost.h"

#include <functional>
#include <vector>

class QWidget;

namespace kelvo {

class CStatusDlg;

// The flows' surroundings in the desktop program: message boxes, file
// dialogs and progress windows owned by the main window. What a flow asks
// of the main window itself is left to the main window.
class QtFlowHost : public FlowHost {
public:
    explicit QtFlowHost(QWidget* owner) : owner_(owner) {}

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) final;
    std::optional<std::string> ChooseOpenFile(FileKind kind) final;
    std::optional<std::string> ChooseSaveFile(FileKind kind, const std::string& proposedName) final;
    void RunInProgressWindow(const OperationRequest& request,
                             const std::function<void(ProgressSink&)>& operation) final;
    void Beep() final;

    // Queues `call` like a message posted to the main window: it runs from
    // the event loop in the order posted, and one that comes due while a
    // board operation runs waits until the operation has ended, so nothing
    // but the operation touches the board or the settings image meanwhile.
    void Post(std::function<void()> call);

    // The progress window of the operation running now, or null.
    CStatusDlg* ActiveProgressWindow() const { return active_; }

private:
    void Deliver(const std::function<void()>& call);

    QWidget* owner_;
    CStatusDlg* active_ = nullptr;
    std::vector<std::function<void()>> deferred_;
};

} // namespace kelvo
