#include "ops/Download.h"

#include "link/PinTest.h"
#include "ops/BoardTypes.h"
#include "ops/ConfirmedRead.h"
#include "ops/RawMemory.h"
#include "settings/EditText.h"

namespace kelvo {

namespace {

void WritePanel(FlowContext& ctx) {
    const BoardInfo& info = ctx.state.boardInfo;
    ctx.host.WriteBoardPanel(info.boardTypeName, info.firmwareRevisionText,
                             info.batteryVoltageText);
}

void RunPinTestFlow(FlowContext& ctx) {
    if (ReportPortUnavailable(ctx)) {
        ctx.host.ReportOutcome(NoBoardOutcome(ctx, AttemptResult::NoPort));
        return;
    }
    if (ctx.programmer) {
        ctx.host.ShowMessage(kTextPinTestNeedsCable, "Kelvo", MessageIcon::Exclamation,
                             MessageButtons::Ok);
        return;
    }
    Link link(ctx.port, ctx.clock, ctx.state.link);
    RunPinTest(link, [&](const std::string& text) {
        ctx.host.ShowMessage(text, "Kelvo", MessageIcon::None, MessageButtons::Ok);
    });
    ctx.host.ReportOutcome("Pin test finished; the port is back at rest");
}

} // namespace

bool BatteryUsable(const BoardInfo& info) {
    return info.batteryVoltage < 15.0f && info.batteryVoltage > 1.0f && info.hasBatteryReading == 1;
}

void IdentifyBoard(const BoardSettingsImage& image, BoardInfo& info) {
    info.batteryVoltage = static_cast<float>(image[entry::batteryVolts]) +
                          static_cast<float>(image[entry::batteryFraction]) / 256.0f;
    info.boardLoaded = 1;
    const int major = image[entry::firmwareMajor];
    if (major == 0) {
        info.boardTypeName = info.firmwareRevisionText = info.batteryVoltageText = "Unknown";
        info.dialogMode = 0;
        return;
    }
    info.firmwareRevisionText =
        "v" + std::to_string(major) + "." + std::to_string(image[entry::firmwareMinor]);
    if (const std::optional<BoardType> type = LookUpBoardType(image[entry::boardTypeCode])) {
        info.boardTypeName = std::string(type->name);
        info.hasBatteryReading = type->hasBatteryReading;
        info.dialogMode = type->dialogModeFromBoard ? image[entry::halcyraMode] : 0;
    } else {
        info.boardTypeName = "Unknown";
        info.hasBatteryReading = 0;
        info.dialogMode = 0;
    }
    info.batteryVoltageText =
        BatteryUsable(info) ? FormatFixed(info.batteryVoltage, 1) + " volts" : "N/A";
}

std::string BoardName(const BoardInfo& info) {
    return info.boardTypeName == "Unknown" ? "a board of unknown type"
                                           : "the " + info.boardTypeName + " board";
}

void ShowBoardReadFailed(FlowContext& ctx) {
    ctx.host.ShowMessage(
        "Unable to read settings from board. Make sure the programming cable is plugged in, "
        "and the power is on.    \n\nWhen you have verified the connections, press the "
        "\"Download Configuration\" button to try to again.",
        "Board Read Failed", MessageIcon::Exclamation, MessageButtons::Ok);
}

void ShowUnknownBoard(FlowContext& ctx) {
    BoardInfo& info = ctx.state.boardInfo;
    info.boardTypeName = info.firmwareRevisionText = info.batteryVoltageText = "Unknown";
    info.dialogMode = 0;
    WritePanel(ctx);
}

void DownloadConfiguration(FlowContext& ctx) {
    AppState& state = ctx.state;
    BoardInfo& info = state.boardInfo;
    const BoardSettingsImage& image = state.settingsImage;
    if (state.runOptions.pinTest) {
        RunPinTestFlow(ctx);
        return;
    }
    if (const AttemptResult found = ReadSettingsConfirmed(ctx); !Succeeded(found)) {
        if (found == AttemptResult::Failed) {
            ShowBoardReadFailed(ctx);
            if (ctx.programmer && !ctx.programmer->CanProgram(Family::Mcs51))
                ctx.host.ShowMessage(kTextAvrOnlyProgrammer, "Kelvo", MessageIcon::Exclamation,
                                     MessageButtons::Ok);
        }
        info.boardLoaded = 0;
        ResetSettingsImage(state.settingsImage);
        ShowUnknownBoard(ctx);
        ctx.host.ReportOutcome(NoBoardOutcome(ctx, found));
        return;
    }

    ctx.host.RebuildOptionsList();
    IdentifyBoard(image, info);
    const int major = image[entry::firmwareMajor];
    const int minor = image[entry::firmwareMinor];
    if (major == 0) {
        WritePanel(ctx);
        ctx.host.ReportOutcome("A board answered but reports no firmware revision");
        return;
    }
    if (const std::optional<BoardType> type = LookUpBoardType(image[entry::boardTypeCode])) {
        ctx.host.KeepOnlyPages(type->pages);
    } else {
        ctx.host.ShowMessage(
            "The board type is unrecognized by this version of the Kelvo software.\n\nUsing a "
            "version of this software that doesn't directly support your board\nmay cause "
            "undesired settings results. It is recommended you change to a\nversion of the "
            "software that does support it.",
            "New Firmware Required", MessageIcon::Error, MessageButtons::Ok);
    }
    WritePanel(ctx);

    const float revision = static_cast<float>(major) + static_cast<float>(minor) / 100.0f;
    if (revision < MinimumFirmwareRevision) {
        if (!state.runOptions.bypassFirmwareCheck) {
            ctx.host.ShowMessage(
                "You do not have the minimum required firmware version on your board to use "
                "this software.\n\nYou currently have " +
                    FormatFixed(revision, 2) + ", and " + FormatFixed(MinimumFirmwareRevision, 2) +
                    " is required. You must update your firmware before you can\nupload new "
                    "settings to the board.",
                "New Firmware Required", MessageIcon::Error, MessageButtons::Ok);
            state.uploadEnabled = false;
            ctx.host.SetUploadEnabled(false);
        }
    } else {
        state.uploadEnabled = true;
        ctx.host.SetUploadEnabled(true);
    }

    if (info.batteryVoltage < LowBatteryThreshold && BatteryUsable(info))
        ctx.host.ShowMessage(
            "Your battery voltage is reading below 6.5 volts.\n\nUsing a low battery can cause "
            "problems while changing settings or updating firmware,\nas well as operational "
            "problems. It is recommended you change your battery as soon.",
            "Low Battery Found", MessageIcon::Exclamation, MessageButtons::Ok);

    ctx.host.ReloadPageOnScreen();
    ctx.host.ReportOutcome("Settings read from " + BoardName(info));
    if (state.runOptions.displayDataMemRaw)
        ShowRawMemory(ctx, RawMemoryMode::Read);
}

} // namespace kelvo
