#include "app/cli/CliFlowHost.h"

#include "app/cli/TerminalProgress.h"

#include <iostream>
#include <string>

namespace kelvo {

MessageAnswer CliFlowHost::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageIcon, MessageButtons buttons) {
    cli_.err << caption << ": " << text << "\n";
    if (buttons == MessageButtons::YesNo) {
        cli_.err << (cli_.yes ? "(answered Yes)\n" : "(answered No; give --yes to go on)\n");
        return cli_.yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    if (waitForEnter && !(stop && stop->requested)) {
        cli_.err << "Press Enter to go on." << std::flush;
        std::string line;
        std::getline(std::cin, line);
    }
    return MessageAnswer::Ok;
}

void CliFlowHost::RunInProgressWindow(const OperationRequest&,
                                      const std::function<void(ProgressSink&)>& operation) {
    // Progress goes to stderr so that what a command prints on stdout stays
    // clean for scripts.
    TerminalProgress progress(cli_.err, &cli_.err == &std::cerr && IsTerminal(stderr));
    operation(progress);
}

void CliFlowHost::Beep() {
    cli_.err << '\a' << std::flush;
}

} // namespace kelvo
