#include "app/cli/CliFlowHost.h"

#include "app/cli/TerminalProgress.h"
#include "link/Operation.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

namespace kelvo {

namespace {

bool IsAvrOperation(int operation) {
    return operation == kOpReadAvrSettings || operation == kOpWriteAvrSettings ||
           operation == kOpWriteAvrFirmware || operation == kOpReadAvrCode;
}

const char* OperationName(int operation) {
    switch (operation) {
    case kOpRead8051Settings:
    case kOpReadAvrSettings:
        return "settings read";
    case kOpWrite8051Settings:
    case kOpWriteAvrSettings:
        return "settings write";
    case kOpWrite8051Firmware:
    case kOpWriteAvrFirmware:
        return "firmware write";
    case kOpRead8051Code:
    case kOpReadAvrCode:
        return "firmware read";
    default:
        return "operation";
    }
}

std::string Seconds(std::uint64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(ns) / 1e9);
    return text;
}

std::string PortText(int portBase) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(portBase));
    return text;
}

// The desktop's buttons a message names, and what does the same here.
struct ButtonCommand {
    std::string_view desktop;
    std::string_view terminal;
};
constexpr ButtonCommand kButtonCommands[] = {
    {"press the \"Download Configuration\" button", "run kelvo-cli download"},
    {"press the \"Upload Configuration\" button", "run kelvo-cli upload FILE.esf"},
    {"press the \"Upload Firmware\" button", "run kelvo-cli update-firmware FILE.efw"},
    {"choosing another port with the \"Connection...\" button",
     "choosing another port with --port"},
};

} // namespace

std::string TerminalMessageText(std::string text) {
    for (const ButtonCommand& b : kButtonCommands)
        for (std::size_t at; (at = text.find(b.desktop)) != std::string::npos;)
            text.replace(at, b.desktop.size(), b.terminal);
    return text;
}

std::string ReadCheckFailedText(int portBase) {
    return "a board answered on " + PortText(portBase) +
           ", but its settings failed the read check (-bypassreadcheck skips it)";
}

std::string AnsweringBoardText(int operation, int portBase, bool signatureChecked) {
    if (!IsAvrOperation(operation))
        return "8051-family board on port " + PortText(portBase);
    return signatureChecked ? "ATmega8 board (signature 1E 93 07) on port " + PortText(portBase)
                            : "AVR board (signature not checked) on port " + PortText(portBase);
}

void CliFlowHost::Say(const std::string& line) {
    if (!cli_.quiet)
        cli_.err << line << "\n" << std::flush;
}

MessageAnswer CliFlowHost::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageIcon icon, MessageButtons buttons) {
    const bool problem = icon != MessageIcon::None;
    // The flows' texts without the blank lines some end in, and with the
    // commands that stand for the desktop's buttons.
    std::string shown = TerminalMessageText(text.substr(0, text.find_last_not_of('\n') + 1));
    // The design's text blames the cable; when a board did answer, say so.
    if (icon == MessageIcon::Exclamation && board.state && board.state->failedReadCheck)
        shown += "\n(" + ReadCheckFailedText(board.state->link.portBase) + ")";
    if (problem || buttons != MessageButtons::Ok || !cli_.quiet)
        cli_.err << (problem ? "kelvo-cli: " : "") << caption << ": " << shown << "\n";
    if (buttons != MessageButtons::Ok) {
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

void CliFlowHost::RunInProgressWindow(const OperationRequest& request,
                                      const std::function<void(ProgressSink&)>& operation) {
    // The search line once for a run of attempts, without the AVR form's
    // trailing blank.
    std::string search = request.initialStatus;
    while (!search.empty() && search.back() == ' ')
        search.pop_back();
    if (search != lastSearch_) {
        lastSearch_ = search;
        Say(search);
    }
    // Progress goes to stderr so that what a command prints on stdout stays
    // clean for scripts.
    const ProgressStyle style = cli_.quiet ? ProgressStyle::Silent
                                : &cli_.err == &std::cerr && IsTerminal(stderr)
                                    ? ProgressStyle::Terminal
                                    : ProgressStyle::Plain;
    TerminalProgress progress(cli_.err, style);
    OperationRecord record;
    record.operation = request.operation;
    const std::uint64_t accessesBefore = board.counter ? board.counter->accesses : 0;
    const std::uint64_t nsBefore = board.connection ? board.connection->BusTimeNs() : 0;
    operation(progress);
    record.succeeded = board.state && board.state->operationSucceeded == 1;
    record.accesses = board.counter ? board.counter->accesses - accessesBefore : 0;
    record.busNs = board.connection ? board.connection->BusTimeNs() - nsBefore : 0;
    operations.push_back(record);
    progress.Finish(record.succeeded);

    const int portBase = board.state ? board.state->link.portBase : 0;
    const char* family = IsAvrOperation(request.operation) ? "AVR" : "8051";
    std::string line;
    if (record.succeeded) {
        answeredFamily = IsAvrOperation(request.operation) ? "avr" : "8051";
        const bool checked = !(request.operation == kOpReadAvrSettings && board.state &&
                               board.state->runOptions.bypassReadCheck);
        line = AnsweringBoardText(request.operation, portBase, checked);
        if (line == lastFamilyLine_ && !cli_.verbose)
            return;
        lastFamilyLine_ = line;
    } else if (board.state && board.state->failedReadCheck) {
        line = ReadCheckFailedText(portBase);
    } else if (!progress.Started()) {
        line = std::string("no answer as ") + family;
    } else {
        line = std::string(family) + " " + OperationName(request.operation) + " failed at " +
               std::to_string(progress.Percent()) + "%";
    }
    if (cli_.verbose)
        line += std::string(": ") + OperationName(request.operation) + " (operation " +
                std::to_string(request.operation) + "), " + std::to_string(record.accesses) +
                " port accesses, " + Seconds(record.busNs) + " on the bus";
    Say(line);
}

void CliFlowHost::Beep() {
    cli_.err << '\a' << std::flush;
}

} // namespace kelvo
