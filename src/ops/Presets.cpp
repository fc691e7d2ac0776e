#include "ops/Presets.h"

#include "ops/ConfirmedRead.h"
#include "ops/Download.h"
#include "ops/EyeBypass.h"
#include "settings/BoardNames.h"

#include <array>

namespace kelvo {

namespace {

struct PresetValues {
    std::int32_t debounce, afterEyeDelay, minBoltOpen, asDelay;
};

constexpr std::array<PresetValues, 4> kPresets = {{
    {25, 4, 50, 30}, // Conservative
    {20, 5, 45, 28}, // Normal
    {15, 4, 40, 22}, // Fast
    {10, 2, 0, 20},  // Extreme
}};

} // namespace

std::optional<Preset> PresetFromName(std::string_view name) {
    if (name == "conservative")
        return Preset::Conservative;
    if (name == "normal")
        return Preset::Normal;
    if (name == "fast")
        return Preset::Fast;
    if (name == "extreme")
        return Preset::Extreme;
    return std::nullopt;
}

void ApplyPreset(Preset preset, BoardSettingsImage& image, const BoardInfo& info) {
    const PresetValues& v = kPresets[static_cast<std::size_t>(preset)];
    if (info.boardTypeName == kBoardHalcyra)
        image[entry::dwell] = info.dialogMode == 0 ? 10 : 5;
    else
        image[entry::dwell] = 16;
    image[entry::operationMode] = 0;
    image[entry::firingMode] = 0;
    image[entry::rofPeriod] = 1;
    image[entry::aeBypassRofPeriod] = 83;
    image[entry::debounce] = v.debounce;
    image[entry::afterEyeDelay] = v.afterEyeDelay;
    image[entry::boltDelayOffset] = 6;
    image[entry::minBoltOpen] = v.minBoltOpen;
    image[entry::asDelay] = v.asDelay;
    SetEyeBypassFromDelay(image);
}

bool FactoryDefaults(FlowContext& ctx) {
    AppState& state = ctx.state;
    if (ctx.host.ShowMessage("This will reset all board settings to factory defaults. Are you "
                             "sure you wish to do this?",
                             "Confirm Factory Reset", MessageIcon::None,
                             MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes)
        return false;
    const BoardSettingsImage saved = state.settingsImage;
    state.settingsImage.fill(0xFF);
    if (const AttemptResult reset = BoardAttemptSequence(ctx, 1, 5, {}, SettingsEntries::Every);
        !Succeeded(reset)) {
        if (reset == AttemptResult::Failed)
            ctx.host.ShowMessage(
                "Unable to load factory defaults to the board. Make sure the programming cable is "
                "plugged in, and the power is on.    \n\nWhen you have verified the connections, "
                "press the \"Upload Configuration\" button to try to again.",
                "Settings Upload Failed", MessageIcon::Exclamation, MessageButtons::Ok);
        state.settingsImage = saved;
        ctx.host.ReportOutcome(NoBoardOutcome(ctx, reset) + "; factory defaults not written");
        return false;
    }
    ctx.clock.SleepMs(1000);
    if (const AttemptResult read = ReadSettingsConfirmed(ctx); !Succeeded(read)) {
        if (read == AttemptResult::Failed)
            ShowBoardReadFailed(ctx);
        ResetSettingsImage(state.settingsImage);
        state.settingsImage[entry::eyeSensitivity] = Unset;
        // Not the 0xFF of the reset: the panel and the raw view show these.
        for (std::size_t i : kReadOnlyEntries)
            state.settingsImage[i] = saved[i];
        ShowUnknownBoard(ctx);
        ctx.host.ReportOutcome("Factory defaults written; the board could not be read back");
        return false;
    }
    ctx.host.ReportOutcome("Factory defaults written to " + BoardName(state.boardInfo));
    return true;
}

} // namespace kelvo
