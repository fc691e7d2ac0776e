#pragma once

#include "link/ProgressSink.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

enum class MessageIcon { None, Exclamation, Error };
// YesNoDefaultNo guards what cannot be undone: Enter answers No.
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageAnswer { Ok, Yes, No };
enum class FileKind { Settings, Firmware };

// Page numbers, as the options list carries them.
enum Page : int {
    kPageFiring = 0,
    kPageClosedBolt = 1,
    kPageEye = 2,
    kPageTimer = 3,
    kPageLcdDisplay = 4,
    kPageLcdMenu = 5,
    kPagePresets = 6,
    kPagePower = 7,
    kPageDialogMode = 8,
};

// One board operation as a flow hands it to its progress window.
struct OperationRequest {
    int operation = 0;
    std::string initialStatus;
    std::string warning;
    std::string firmwarePath;
};

// What a flow needs of its surroundings: the desktop program's windows, the
// terminal, or a test script.
class FlowHost {
public:
    virtual ~FlowHost() = default;

    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // The path the user chose, or nothing when the dialog was cancelled.
    virtual std::optional<std::string> ChooseOpenFile(FileKind kind) = 0;
    virtual std::optional<std::string> ChooseSaveFile(FileKind kind,
                                                      const std::string& proposedName) = 0;
    // Shows a progress window and runs `operation` inside it, reporting to
    // the window; returns when the operation has ended and the window closed.
    virtual void RunInProgressWindow(const OperationRequest& request,
                                     const std::function<void(ProgressSink&)>& operation) = 0;
    virtual void Beep() = 0;

    // Main-window actions.
    virtual void RebuildOptionsList() = 0;
    // Removes every options-list entry except these pages.
    virtual void KeepOnlyPages(const std::vector<int>& pages) = 0;
    virtual void WriteBoardPanel(const std::string& boardTypeName,
                                 const std::string& firmwareRevisionText,
                                 const std::string& batteryVoltageText) = 0;
    virtual void SetUploadEnabled(bool enabled) = 0;
    // Re-creates the page on screen from the image without collecting it.
    virtual void ReloadPageOnScreen() = 0;
    // Takes the values of the page on screen into the image.
    virtual void CollectCurrentPage() = 0;
    // Queues a Download Configuration to run after the current flow.
    virtual void RequestDownload() = 0;
    // One line saying what the flow did or why not ("Settings written to the
    // Fennick board"), for a window's status line; the terminal says it with
    // its own output and exit status instead.
    virtual void ReportOutcome(const std::string& /*line*/) {}
};

} // namespace kelvo
