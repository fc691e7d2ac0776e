#include "ops/FirmwareUpdate.h"

#include "ops/FirmwareImage.h"
#include "ops/Upload.h"

namespace kelvo {

void ShowInvalidFirmware(FlowHost& host) {
    host.ShowMessage("The firmware you have selected does not appear valid.\n\nPlease make "
                     "sure you have selected the correct firmware\nfor your board, and try "
                     "again.\n\nIf you downloaded it, try downloading it again.",
                     "Bad Firmware File", MessageIcon::Error, MessageButtons::Ok);
}

namespace {

constexpr char kInvalidFirmwareOutcome[] = "Firmware not written: the file is not valid";

void ShowFirmwareUploadFailed(FlowContext& ctx) {
    ctx.host.ShowMessage(
        "Unable to write firmware to the board. Make sure the programming cable is plugged in, "
        "and the power is on.   \n\nWhen you have verified the connections, press the \"Upload "
        "Firmware\" button to try to again.",
        "Firmware Upload Failed", MessageIcon::Exclamation, MessageButtons::Ok);
}

} // namespace

FirmwareUpdate UpdateFirmware(FlowContext& ctx) {
    AppState& state = ctx.state;
    if (state.runOptions.initProgramming)
        return InitialProgrammingFirmware(ctx) ? FirmwareUpdate::Complete
                                               : FirmwareUpdate::NotWritten;
    const std::optional<std::string> path = ctx.host.ChooseOpenFile(FileKind::Firmware);
    if (!path)
        return FirmwareUpdate::NotWritten;
    const bool checkBoard = !state.runOptions.bypassFwBoardCheck;
    const bool boardRead = state.boardInfo.boardLoaded == 1;
    if (checkBoard && boardRead &&
        ReadHeaderBoardCode(*path) != state.settingsImage[entry::boardTypeCode]) {
        ctx.host.ShowMessage("The firmware you have selected does not appear\nto be for the "
                             "board you have connected.\n\nPlease make sure you have selected "
                             "the correct\nfirmware for your board, and try again.\n\n",
                             "Bad Firmware File", MessageIcon::Error, MessageButtons::Ok);
        ctx.host.ReportOutcome("Firmware not written: the file is for another board");
        return FirmwareUpdate::NotWritten;
    }
    if (!FirmwareImageReader(*path, state.FirmwareImageText)) {
        ShowInvalidFirmware(ctx.host);
        ctx.host.ReportOutcome(kInvalidFirmwareOutcome);
        return FirmwareUpdate::NotWritten;
    }
    // Firmware for another board can leave this one unusable; without a read
    // that cannot be checked, but a board with broken firmware must stay
    // recoverable, so the user decides.
    // (Without a usable port there is nothing to ask: the write reports it.)
    if (checkBoard && !boardRead && ctx.portUnavailable.empty() &&
        ctx.host.ShowMessage("The board could not be read, so Kelvo cannot check that the "
                             "firmware you have selected is meant for it.\n\nFirmware for "
                             "another board can leave it unusable. Do you wish to write this "
                             "firmware anyway?",
                             "Board Not Checked", MessageIcon::Exclamation,
                             MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes) {
        ctx.host.ReportOutcome("Firmware not written: the board could not be checked");
        return FirmwareUpdate::NotWritten;
    }
    const AttemptResult written = BoardAttemptSequence(ctx, 3, 6, *path);
    if (!Succeeded(written)) {
        if (written == AttemptResult::Failed)
            ShowFirmwareUploadFailed(ctx);
        ctx.host.ReportOutcome(NoBoardOutcome(ctx, written) + "; firmware not written");
        return FirmwareUpdate::NotWritten;
    }
    if (written == AttemptResult::Avr)
        ctx.clock.SleepMs(1500); // let the new firmware start before the settings go in
    const int settingsWritten = UploadConfiguration(ctx);
    ctx.host.ReportOutcome(settingsWritten == 1
                               ? "Firmware written and verified; settings restored"
                               : "Firmware written and verified; settings not written");
    if (settingsWritten != 1 && StopRequested(ctx))
        return FirmwareUpdate::SettingsNotWritten; // the stop has been reported
    ctx.host.RequestDownload();
    ctx.host.ShowMessage(settingsWritten == 1
                             ? "The board firmware and settings have been updated!\n\n"
                             : "The board firmware has been updated, but your settings could "
                               "not be\nwritten to it due to a bad or empty value in one of the "
                               "Kelvo options.\n\nOnce you correct the option, you can upload "
                               "your settings.",
                         "Firmware Upload Complete", MessageIcon::None, MessageButtons::Ok);
    return settingsWritten == 1 ? FirmwareUpdate::Complete : FirmwareUpdate::SettingsNotWritten;
}

bool InitialProgrammingFirmware(FlowContext& ctx) {
    AppState& state = ctx.state;
    bool written = false;
    bool chosen = state.firmwarePathRemembered != 0;
    if (!chosen) {
        if (const std::optional<std::string> path = ctx.host.ChooseOpenFile(FileKind::Firmware)) {
            state.rememberedFirmwarePath = *path;
            state.firmwarePathRemembered = 1;
            chosen = true;
        }
    }
    if (chosen) {
        if (!FirmwareImageReader(state.rememberedFirmwarePath, state.FirmwareImageText)) {
            ShowInvalidFirmware(ctx.host);
            ctx.host.ReportOutcome(kInvalidFirmwareOutcome);
        } else if (const AttemptResult r =
                       BoardAttemptSequence(ctx, 3, 6, state.rememberedFirmwarePath);
                   !Succeeded(r)) {
            if (r == AttemptResult::Failed)
                ShowFirmwareUploadFailed(ctx);
            ctx.host.ReportOutcome(NoBoardOutcome(ctx, r) + "; firmware not written");
            return false;
        } else {
            written = true;
            ctx.host.ReportOutcome("Firmware written and verified");
        }
    }
    ctx.host.Beep();
    ctx.host.Beep();
    return written;
}

} // namespace kelvo
