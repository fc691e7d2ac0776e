#pragma once

#include "app/cli/Cli.h"
#include "link/StopRequest.h"
#include "ops/FlowHost.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace kelvo {

// The flows' surroundings on a terminal: messages go to stderr as
// "caption: text", questions are answered by --yes, file dialogs are
// answered by the command's own arguments, and each board operation draws a
// progress bar.
class CliFlowHost final : public FlowHost {
public:
    explicit CliFlowHost(CliContext& cli) : cli_(cli) {}

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(FileKind) override { return openFile; }
    std::optional<std::string> ChooseSaveFile(FileKind, const std::string&) override {
        return saveFile;
    }
    void RunInProgressWindow(const OperationRequest& request,
                             const std::function<void(ProgressSink&)>& operation) override;
    void Beep() override;
    // A terminal has no options list or pages: the image is all there is.
    void RebuildOptionsList() override {}
    void KeepOnlyPages(const std::vector<int>&) override {}
    void WriteBoardPanel(const std::string&, const std::string&, const std::string&) override {}
    void SetUploadEnabled(bool) override {}
    void ReloadPageOnScreen() override {}
    void CollectCurrentPage() override {}
    void RequestDownload() override { downloadRequested = true; }

    std::optional<std::string> openFile;
    std::optional<std::string> saveFile;
    bool waitForEnter = false; // after each OK message (the pin test)
    bool downloadRequested = false;
    const StopRequest* stop = nullptr; // no more waiting once a stop is asked for

private:
    CliContext& cli_;
};

} // namespace kelvo
