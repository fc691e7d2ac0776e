#pragma once

#include "app/BoardConnection.h"
#include "app/cli/Cli.h"
#include "app/cli/CountingPort.h"
#include "link/StopRequest.h"
#include "ops/AppState.h"
#include "ops/FlowHost.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

// One board operation as kelvo-cli saw it.
struct OperationRecord {
    int operation = 0;
    bool succeeded = false;
    std::uint64_t accesses = 0; // port accesses
    std::uint64_t busNs = 0;    // time on the bus
};

// What the host measures operations with; all null in a host that only
// shows messages.
struct CliBoardView {
    const AppState* state = nullptr;
    CountingPort* counter = nullptr;
    BoardConnection* connection = nullptr;
};

// The flows' surroundings on a terminal: messages go to stderr as
// "caption: text" (failures and warnings after "kelvo-cli: "), questions are
// answered by --yes, file dialogs are answered by the command's own
// arguments, and each board operation draws a progress bar once a board
// answers. A search is one line, each attempt that finds no board one more,
// and the board that answered one more.
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

    // A line of kelvo-cli's own, not shown under -q.
    void Say(const std::string& line);

    std::optional<std::string> openFile;
    std::optional<std::string> saveFile;
    bool waitForEnter = false; // after each OK message (the pin test)
    bool downloadRequested = false;
    const StopRequest* stop = nullptr; // no more waiting once a stop is asked for
    CliBoardView board;
    std::vector<OperationRecord> operations; // every operation run, in order
    std::string answeredFamily;              // "avr" or "8051": the last board that answered

private:
    CliContext& cli_;
    std::string lastSearch_;     // the search line printed last
    std::string lastFamilyLine_; // the board line printed last
};

// A flow's message as the terminal shows it: where it tells the person to
// press a desktop button, the kelvo-cli command that does the same.
std::string TerminalMessageText(std::string text);

// "a board answered on 0x378, but its settings failed the read check ...".
std::string ReadCheckFailedText(int portBase);

// "ATmega8 board (signature 1E 93 07) on port 0x378", "8051-family board on
// port 0x378": how the board answered an operation of this code.
std::string AnsweringBoardText(int operation, int portBase, bool signatureChecked);

} // namespace kelvo
