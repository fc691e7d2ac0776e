#include "ops/Upload.h"

#include "ops/ConfirmedRead.h"
#include "ops/Download.h"
#include "ops/RawMemory.h"
#include "settings/Validation.h"

namespace kelvo {

bool CheckSettingsValid(FlowContext& ctx) {
    const SettingsValidation result = ValidateSettings(
        ctx.state.settingsImage, ctx.state.boardInfo.dialogMode, ctx.state.boardInfo.boardTypeName);
    if (!result)
        ctx.host.ShowMessage(std::string(result.message), std::string(result.caption),
                             MessageIcon::Error, MessageButtons::Ok);
    return static_cast<bool>(result);
}

int UploadConfiguration(FlowContext& ctx) {
    ctx.host.CollectCurrentPage();
    if (!CheckSettingsValid(ctx)) {
        ctx.host.ReportOutcome(kSettingsIncompleteOutcome + std::string("written"));
        return -1;
    }
    if (ctx.state.runOptions.displayDataMemRaw)
        ShowRawMemory(ctx, RawMemoryMode::WillBeWritten);
    // What the board holds now, so that the read-back can tell a byte that
    // went astray from one that was never written.
    BoardSettingsImage before{};
    AttemptResult written = ReadSettingsAside(ctx, before);
    if (Succeeded(written))
        written = BoardAttemptSequence(ctx, 1, 5);
    if (!Succeeded(written)) {
        if (written == AttemptResult::Failed)
            ctx.host.ShowMessage(
                "Unable to write settings to the board. Make sure the programming cable is plugged "
                "in, and the power is on.    \n\nWhen you have verified the connections, press the "
                "\"Upload Configuration\" button to try to again.",
                "Settings Upload Failed", MessageIcon::Exclamation, MessageButtons::Ok);
        ctx.host.ReportOutcome(NoBoardOutcome(ctx, written) + "; settings not written");
        return -1;
    } else if (!VerifySettingsWritten(ctx, written, before)) {
        ctx.host.ReportOutcome("Settings written, but the board did not read back as written");
        return -1;
    }
    ctx.host.ReportOutcome("Settings written to " + BoardName(ctx.state.boardInfo));
    return 1;
}

} // namespace kelvo
