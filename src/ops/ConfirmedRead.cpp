#include "ops/ConfirmedRead.h"

#include "link/Operation.h"

#include <utility>

namespace kelvo {

namespace {

constexpr char kNoisyCable[] = "The programming cable may be loose, too long or picking up noise.";

// Reads with `operation` until a read agrees with an earlier one; `take`
// gives what a read left behind. The first read has been made already.
template <typename Take> bool ReadUntilTwoAgree(FlowContext& ctx, int operation, Take take) {
    auto last = take();
    OperationRequest request;
    request.operation = operation;
    request.initialStatus = SearchStatusText(
        ctx.state.link.portBase, operation == kOpReadAvrSettings || operation == kOpReadAvrCode);
    request.warning = kFlowWarning;
    for (int read = 0; read <= kExtraReads; ++read) {
        if (ctx.stop && ctx.stop->requested)
            break;
        RunBoardOperation(ctx, request);
        if (ctx.state.operationSucceeded != 1)
            continue; // nothing to compare; the next read is compared with the last good one
        auto now = take();
        if (now == last)
            return true;
        last = std::move(now);
    }
    ctx.state.operationSucceeded = 0;
    return false;
}

// What ended a read that never agreed: a stop (the flow says what it says
// after any stopped search) or the board's own disagreement.
AttemptResult NotConfirmed(FlowContext& ctx, const std::string& caption, const std::string& text) {
    if (ctx.stop && ctx.stop->requested)
        return AttemptResult::Failed;
    ctx.host.ShowMessage(text, caption, MessageIcon::Exclamation, MessageButtons::Ok);
    return AttemptResult::Disagreed;
}

int OperationOf(AttemptResult found, int operation8051, int operationAvr) {
    return found == AttemptResult::Avr ? operationAvr : operation8051;
}

bool ReadSettingsAgain(FlowContext& ctx, AttemptResult family) {
    return ReadUntilTwoAgree(ctx, OperationOf(family, kOpRead8051Settings, kOpReadAvrSettings),
                             [&] { return ctx.state.settingsImage; });
}

AttemptResult SettingsDisagreed(FlowContext& ctx) {
    return NotConfirmed(
        ctx, "Board Read Failed",
        std::string("A board answered, but its settings read differently each time they were "
                    "read, so they cannot be trusted. ") +
            kNoisyCable + "\n\nWhen you have verified the connections, try again.");
}

} // namespace

AttemptResult ReadSettingsConfirmed(FlowContext& ctx) {
    const AttemptResult found = BoardAttemptSequence(ctx, kOpRead8051Settings, kOpReadAvrSettings);
    if (!Succeeded(found) || ReadSettingsAgain(ctx, found))
        return found;
    return SettingsDisagreed(ctx);
}

AttemptResult ReadCodeConfirmed(FlowContext& ctx) {
    const AttemptResult found = BoardAttemptSequence(ctx, kOpRead8051Code, kOpReadAvrCode);
    const CodeRead& read = ctx.state.codeRead;
    if (!Succeeded(found) ||
        ReadUntilTwoAgree(ctx, OperationOf(found, kOpRead8051Code, kOpReadAvrCode),
                          [&] { return std::make_pair(read.locked, read.memory); }))
        return found;
    return NotConfirmed(ctx, "Firmware Read Failed",
                        std::string("A board answered, but its firmware read differently each "
                                    "time it was read, so no copy has been made. ") +
                            kNoisyCable);
}

AttemptResult ReadSettingsAside(FlowContext& ctx, BoardSettingsImage& board) {
    BoardSettingsImage& image = ctx.state.settingsImage;
    const BoardSettingsImage kept = image;
    const AttemptResult found = ReadSettingsConfirmed(ctx);
    board = image;
    image = kept;
    return found;
}

bool VerifySettingsWritten(FlowContext& ctx, AttemptResult written,
                           const BoardSettingsImage& before) {
    BoardSettingsImage& image = ctx.state.settingsImage;
    const BoardSettingsImage sent = image;
    // The write's own check reads each byte once, right after writing it;
    // this read sees them all, and what a stray write did to a neighbour.
    RunBoardOperation(ctx, [&] {
        OperationRequest request;
        request.operation = OperationOf(written, kOpRead8051Settings, kOpReadAvrSettings);
        request.initialStatus =
            SearchStatusText(ctx.state.link.portBase, written == AttemptResult::Avr);
        request.warning = kFlowWarning;
        return request;
    }());
    const bool read = ReadSettingsAgain(ctx, written);
    const BoardSettingsImage back = image;
    image = sent;
    if (!read) {
        SettingsDisagreed(ctx);
        return false;
    }
    const std::uint64_t mask = EntriesToWrite(SettingsEntries::PageOnly, sent);
    for (std::size_t e = 0; e < kImageEntries; ++e) {
        const std::int32_t want = ((mask >> e) & 1u) ? sent[e] : before[e];
        if ((back[e] & 0xFF) != (want & 0xFF)) {
            ctx.host.ShowMessage(
                "The settings read back from the board differ from the settings written to it "
                "(entry " +
                    std::to_string(e) + " reads " + std::to_string(back[e] & 0xFF) +
                    " instead of " + std::to_string(want & 0xFF) +
                    "), so the board may hold wrong values. " + kNoisyCable +
                    "\n\nWhen you have verified the connections, press the \"Upload "
                    "Configuration\" button to try to again.",
                "Settings Upload Failed", MessageIcon::Exclamation, MessageButtons::Ok);
            return false;
        }
    }
    return true;
}

} // namespace kelvo
