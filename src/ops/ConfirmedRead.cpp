#include "ops/ConfirmedRead.h"

#include "link/Operation.h"

namespace kelvo {

namespace {

constexpr char kNoisyCable[] = "The programming cable may be loose, too long or picking up noise.";

// A board answered, but its passes never agreed: the user is told, and the
// flow ends as after failed attempts.
AttemptResult NotConfirmed(FlowContext& ctx, const std::string& caption, const std::string& text) {
    ctx.state.operationSucceeded = 0;
    ctx.host.ShowMessage(text, caption, MessageIcon::Exclamation, MessageButtons::Ok);
    return AttemptResult::Disagreed;
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
    if (!Succeeded(found) || !ctx.state.readsDisagreed)
        return found;
    return SettingsDisagreed(ctx);
}

AttemptResult ReadCodeConfirmed(FlowContext& ctx) {
    const AttemptResult found = BoardAttemptSequence(ctx, kOpRead8051Code, kOpReadAvrCode);
    if (!Succeeded(found) || !ctx.state.readsDisagreed)
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
    const bool avr = written == AttemptResult::Avr;
    OperationRequest request;
    request.operation = avr ? kOpReadAvrSettings : kOpRead8051Settings;
    request.initialStatus = SearchStatusText(ctx.state.link.portBase, avr);
    request.warning = kFlowWarning;
    // The board answered the write; one that does not answer the read at
    // once (a check byte read wrong) is asked again.
    ctx.state.operationSucceeded = 0;
    for (int read = 0; read <= kExtraReads && ctx.state.operationSucceeded != 1; ++read) {
        if (StopRequested(ctx))
            break;
        RunBoardOperation(ctx, request);
    }
    const bool read = ctx.state.operationSucceeded == 1 && !ctx.state.readsDisagreed;
    const BoardSettingsImage back = image;
    image = sent;
    if (!read) {
        if (!StopRequested(ctx))
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
