#include "ops/SettingsFileFlows.h"

#include "files/SettingsFile.h"
#include "ops/EyeBypass.h"
#include "ops/Upload.h"

#include <filesystem>
#include <sstream>

namespace kelvo {

namespace {

void ShowCannotOpen(FlowContext& ctx, const std::string& path) {
    ctx.host.ShowMessage("Unable to open the settings file\n" + path +
                             "\n\nYour settings have not been changed.",
                         "Open Settings Failed", MessageIcon::Error, MessageButtons::Ok);
}

// Cut down to a byte, the value would reach the board as something else.
void ShowValueDoesNotFit(FlowContext& ctx, const std::string& path,
                         const SettingsValueProblem& problem) {
    ctx.host.ShowMessage("The settings file\n" + path + "\ngives key " +
                             std::to_string(problem.key) + " the value " +
                             std::to_string(problem.value) + ", which does not fit: " +
                             (problem.highest == 255 ? "a setting holds 0 to 255"
                                                     : "the LCD menu key holds 0 to 65535") +
                             ".\n\nYour settings have not been changed.",
                         "Open Settings Failed", MessageIcon::Error, MessageButtons::Ok);
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

bool ReadyToSave(FlowContext& ctx) {
    ctx.host.CollectCurrentPage();
    return CheckSettingsValid(ctx);
}

bool SaveConfiguration(FlowContext& ctx) {
    if (!ReadyToSave(ctx)) {
        ctx.host.ReportOutcome(kSettingsIncompleteOutcome + std::string("saved"));
        return false;
    }
    const std::optional<std::string> path =
        ctx.host.ChooseSaveFile(FileKind::Settings, "MySettings.esf");
    if (!path)
        return false;
    const FileResult written =
        SaveSettingsFile(*path, ctx.state.settingsImage, ctx.state.boardInfo.dialogMode);
    if (!written) {
        // Why, too: a read-only file or a folder is refused, not replaced.
        ctx.host.ShowMessage("Unable to create settings file. Your settings can not be saved.\n\n" +
                                 written.error,
                             "Save Settings Failed", MessageIcon::Error, MessageButtons::Ok);
        ctx.host.ReportOutcome("Settings not saved: " + FileName(*path) + " could not be written");
        return false;
    }
    ctx.host.ReportOutcome("Settings saved to " + FileName(*path));
    return true;
}

bool OpenConfiguration(FlowContext& ctx) {
    const std::optional<std::string> path = ctx.host.ChooseOpenFile(FileKind::Settings);
    if (!path)
        return false;
    std::string why;
    const std::optional<std::string> text = ReadSettingsFileText(*path, why);
    if (!text) {
        ShowCannotOpen(ctx, *path);
    } else if (OpenConfigurationText(ctx, *path, *text)) {
        ctx.host.ReportOutcome("Settings loaded from " + FileName(*path));
        return true;
    }
    ctx.host.ReportOutcome("Settings not loaded from " + FileName(*path));
    return false;
}

bool OpenConfigurationText(FlowContext& ctx, const std::string& path, const std::string& text) {
    std::istringstream first(text);
    switch (CheckSettingsVersion(first)) {
    case SettingsVersion::NoVersion:
        if (ctx.host.ShowMessage(
                "The selected settings file does not appear to be compatible with this version "
                "of the Kelvo software.\nUsing this file may cause incorrect values to be loaded. "
                "Do you wish to continue loading this file?",
                "Incompatible Settings File", MessageIcon::None,
                MessageButtons::YesNo) != MessageAnswer::Yes)
            return false;
        break;
    case SettingsVersion::Older:
        if (ctx.host.ShowMessage("The selected settings file was made with an older version of "
                                 "the Kelvo software.\nUsing this file may cause incorrect values "
                                 "to be loaded into the dialogs.\nDo you wish to continue loading "
                                 "this file?",
                                 "Older Settings File Selected", MessageIcon::None,
                                 MessageButtons::YesNo) != MessageAnswer::Yes)
            return false;
        break;
    case SettingsVersion::Accepted:
        break;
    }
    std::istringstream in(text);
    if (const std::optional<SettingsValueProblem> problem =
            ReadSettingsFile(in, ctx.state.settingsImage, ctx.state.boardInfo.dialogMode)) {
        ShowValueDoesNotFit(ctx, path, *problem);
        return false;
    }
    SetEyeBypassFromDelay(ctx.state.settingsImage);
    ctx.host.ReloadPageOnScreen();
    return true;
}

} // namespace kelvo
