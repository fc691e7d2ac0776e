#include "ops/BoardSearch.h"

#include "link/Link.h"
#include "link/Operation.h"
#include "link/OperationContext.h"
#include "link/ParallelIspBus.h"

#include <cstdio>

namespace kelvo {

std::string SearchStatusText(int portBase, bool avr) {
    char port[16];
    std::snprintf(port, sizeof port, "%X", static_cast<unsigned>(portBase));
    return std::string("Searching for a board on port 0x") + port +
           (avr ? ", please wait... " : ", please wait...");
}

std::uint64_t EntriesToWrite(SettingsEntries entries, const BoardSettingsImage& image) {
    std::uint64_t mask = kEveryImageEntry;
    if (entries == SettingsEntries::PageOnly) {
        for (std::size_t e : kReadOnlyEntries)
            mask &= ~(std::uint64_t{1} << e);
        // An entry nothing has given a value (a file without its key, no
        // board read yet) would reach the board as 0xFF: the board keeps
        // its own byte instead.
        for (std::size_t e = 0; e < image.size(); ++e)
            if (image[e] == Unset)
                mask &= ~(std::uint64_t{1} << e);
    }
    return mask;
}

void RunBoardOperation(FlowContext& ctx, const OperationRequest& request, SettingsEntries entries) {
    ctx.host.RunInProgressWindow(request, [&](ProgressSink& sink) {
        Link link(ctx.port, ctx.clock, ctx.state.link);
        ParallelIspBus parallel(link);
        OperationContext op(ctx.programmer ? *ctx.programmer : parallel, sink,
                            ctx.state.settingsImage, ctx.state.FirmwareImageText,
                            ctx.state.stepsRemaining);
        op.firmwarePath = request.firmwarePath;
        op.bypassReadCheck = ctx.state.runOptions.bypassReadCheck;
        op.delayMultiplier = ctx.state.runOptions.delayMultiplier;
        op.calibrationClock = ctx.state.runOptions.wholeSecondCalibration
                                  ? CalibrationClock::WholeSeconds
                                  : CalibrationClock::Microseconds;
        op.entriesToWrite = EntriesToWrite(entries, ctx.state.settingsImage);
        op.stop = ctx.stop;
        op.codeRead = &ctx.state.codeRead;
        op.extraReads = kExtraReads;
        StartOperation(static_cast<OperationCode>(request.operation), request.initialStatus, op,
                       ctx.state.operationSucceeded);
        ctx.state.failedReadCheck = op.failedReadCheck;
        ctx.state.readsDisagreed = op.readsDisagreed;
    });
}

bool ReportPortUnavailable(FlowContext& ctx) {
    if (ctx.portUnavailable.empty())
        return false;
    ctx.host.ShowMessage("The parallel port cannot be used.\n\n" + ctx.portUnavailable +
                             "\n\nAfter fixing this, or choosing another port with the "
                             "\"Connection...\" button, try again. The Help topic \"Using a "
                             "real parallel port\" (F1) explains each step.",
                         "Parallel Port Unavailable", MessageIcon::Exclamation, MessageButtons::Ok);
    return true;
}

std::string NoBoardOutcome(const FlowContext& ctx, AttemptResult result) {
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(ctx.state.link.portBase));
    if (result == AttemptResult::Stopped)
        return "Stopped";
    if (result == AttemptResult::Disagreed)
        return "A board answered on port " + std::string(port) + ", but its reads did not agree";
    return result == AttemptResult::NoPort ? "Port " + std::string(port) + " could not be used"
                                           : "No board answered on port " + std::string(port);
}

AttemptResult BoardAttemptSequence(FlowContext& ctx, int operation8051, int operationAvr,
                                   const std::string& firmwarePath, SettingsEntries entries) {
    if (ReportPortUnavailable(ctx)) {
        ctx.state.operationSucceeded = 0;
        return AttemptResult::NoPort;
    }
    const RunOptions& options = ctx.state.runOptions;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const bool avr = attempt % 2 == 1;
        if (StopRequested(ctx) || (avr ? options.only8051 : options.avrOnly)) {
            ctx.state.operationSucceeded = 0;
            continue;
        }
        OperationRequest request;
        request.operation = avr ? operationAvr : operation8051;
        request.initialStatus = SearchStatusText(ctx.state.link.portBase, avr);
        request.warning = kFlowWarning;
        request.firmwarePath = firmwarePath;
        RunBoardOperation(ctx, request, entries);
        if (ctx.state.operationSucceeded == 1)
            return avr ? AttemptResult::Avr : AttemptResult::Mcs51;
    }
    return StopRequested(ctx) ? AttemptResult::Stopped : AttemptResult::Failed;
}

} // namespace kelvo
