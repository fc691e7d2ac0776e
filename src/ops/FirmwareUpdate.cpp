#include "ops/FirmwareUpdate.h"

#include "ops/FirmwareImage.h"
#include "ops/RecoverySettings.h"
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

// The recovery note, as a last paragraph, while a copy of the settings is
// all that is left of them.
std::string WithRecoveryNote(const FlowContext& ctx, std::string text) {
    const std::string& file = ctx.state.recoverySettingsFile;
    return file.empty() ? text : text + "\n\n" + RecoveryNote(file);
}

void ShowFirmwareUploadFailed(FlowContext& ctx) {
    ctx.host.ShowMessage(
        WithRecoveryNote(ctx, "Unable to write firmware to the board. Make sure the programming "
                              "cable is plugged in, and the power is on.   \n\nWhen you have "
                              "verified the connections, press the \"Upload Firmware\" button "
                              "to try to again."),
        "Firmware Upload Failed", MessageIcon::Exclamation, MessageButtons::Ok);
}

// The chip erase takes the settings with it: they live on only in memory
// until they are written back, so a copy goes to a file first.
bool KeepSettingsCopy(FlowContext& ctx) {
    AppState& state = ctx.state;
    ctx.host.CollectCurrentPage();
    std::string error;
    const std::optional<std::filesystem::path> saved =
        SaveRecoverySettings(state.recoveryFolder, state.settingsImage, state.boardInfo.dialogMode,
                             state.boardInfo.boardTypeName, error);
    if (!saved) {
        ctx.host.ShowMessage("A firmware update erases the board's settings, so Kelvo keeps a copy "
                             "of them first, but the copy could not be saved: " +
                                 error + ".\n\nNothing has been written to the board.",
                             "Settings Not Saved", MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    state.recoverySettingsFile = saved->string();
    return true;
}

// From the erase to the end of the settings write, a first interrupt only
// warns, as during each write itself.
class ProtectedSpan {
public:
    explicit ProtectedSpan(StopRequest* stop) : stop_(stop) {
        if (stop_)
            stop_->writing = BoardWrite::Update;
    }
    ~ProtectedSpan() {
        if (stop_)
            stop_->writing = BoardWrite::None;
    }
    ProtectedSpan(const ProtectedSpan&) = delete;
    ProtectedSpan& operator=(const ProtectedSpan&) = delete;

private:
    StopRequest* stop_;
};

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
    state.recoverySettingsFile.clear();
    if (boardRead && ctx.portUnavailable.empty() && !KeepSettingsCopy(ctx)) {
        ctx.host.ReportOutcome("Firmware not written: the settings could not be kept");
        return FirmwareUpdate::NotWritten;
    }
    int settingsWritten = -1;
    {
        ProtectedSpan span(ctx.stop);
        const AttemptResult written = BoardAttemptSequence(ctx, 3, 6, *path);
        if (!Succeeded(written)) {
            if (written == AttemptResult::Failed)
                ShowFirmwareUploadFailed(ctx);
            ctx.host.ReportOutcome(NoBoardOutcome(ctx, written) + "; firmware not written");
            return FirmwareUpdate::NotWritten;
        }
        if (written == AttemptResult::Avr)
            ctx.clock.SleepMs(1500); // let the new firmware start before the settings go in
        settingsWritten = UploadConfiguration(ctx);
    }
    ctx.host.ReportOutcome(settingsWritten == 1
                               ? "Firmware written and verified; settings restored"
                               : "Firmware written and verified; settings not written");
    if (settingsWritten != 1 && StopRequested(ctx))
        return FirmwareUpdate::SettingsNotWritten; // the stop has been reported
    ctx.host.RequestDownload();
    if (settingsWritten == 1)
        state.recoverySettingsFile.clear();
    ctx.host.ShowMessage(
        settingsWritten == 1
            ? "The board firmware and settings have been updated!\n\n"
            : WithRecoveryNote(ctx, "The board firmware has been updated, but your settings "
                                    "could not be\nwritten to it due to a bad or empty value "
                                    "in one of the Kelvo options.\n\nOnce you correct the "
                                    "option, you can upload your settings."),
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
