#include "app/cli/SettingsListing.h"

#include "ops/BoardTypes.h"
#include "ops/FlowHost.h"
#include "settings/EditText.h"
#include "settings/PageValues.h"
#include "settings/Tables.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace kelvo {

namespace {

constexpr const char* kEmpty = "(empty)";

// An edit's text with its unit; a blank edit is empty.
std::string WithUnit(std::string text, const char* unit) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (text.empty())
        return kEmpty;
    return *unit ? text + " " + unit : text;
}

std::string Listed(std::span<const std::string_view> texts, int position) {
    return position >= 0 && position < static_cast<int>(texts.size())
               ? std::string(texts[static_cast<std::size_t>(position)])
               : kEmpty;
}

void Firing(const BoardSettingsImage& image, std::vector<SettingLine>& out) {
    const FiringPageValues v = FillFiringPage(image);
    const std::string page = "Firing Options";
    out.push_back(
        {page, "Firing Mode", Listed(FiringModeTexts, v.firingMode), {entry::firingMode}});
    out.push_back({page, "Rate of Fire (ROF)", Listed(RofTexts, v.rateOfFire), {entry::rofPeriod}});
    out.push_back({page,
                   "AE Bypass ROF",
                   Listed(AeBypassRofTexts, v.aeBypassRof),
                   {entry::aeBypassRofPeriod}});
    out.push_back({page,
                   "Operation Mode",
                   v.standard     ? "Standard"
                   : v.testMaxCps ? "Test Max CPS"
                                  : kEmpty,
                   {entry::operationMode}});
    out.push_back({page, "Solenoid Dwell", WithUnit(v.dwellText, "ms"), {entry::dwell}});
    out.push_back({page, "Trigger Debounce", WithUnit(v.debounceText, "Mult."), {entry::debounce}});
    out.push_back({page, "ABS Dwell", WithUnit(v.absDwellText, "ms"), {entry::absDwell}});
    out.push_back({page,
                   "Mechanical Debounce",
                   WithUnit(v.mechanicalDebounceText, "Mult."),
                   {entry::mechanicalDebounce}});
}

void ClosedBolt(const BoardSettingsImage& image, std::vector<SettingLine>& out) {
    const ClosedBoltPageValues v = FillClosedBoltPage(image);
    const std::string page = "Closed Bolt Options";
    out.push_back({page,
                   "Bolt Delay Offset",
                   WithUnit(v.boltDelayOffsetText, "ms"),
                   {entry::boltDelayOffset}});
    out.push_back({page, "AS Delay", WithUnit(v.asDelayText, "ms"), {entry::asDelay}});
    out.push_back(
        {page, "Min. Bolt Open", WithUnit(v.minBoltOpenText, "ms"), {entry::minBoltOpen}});
    out.push_back(
        {page, "E.B. Min. Bolt Open", WithUnit(v.ebMinBoltOpenText, "ms"), {entry::ebMinBoltOpen}});
}

void Eye(const BoardSettingsImage& image, const BoardInfo& info, std::vector<SettingLine>& out) {
    const EyePageValues v = FillEyePage(image, info.dialogMode, info.boardTypeName);
    const std::string page = "Eye Options";
    out.push_back({page,
                   "After Eye Delay",
                   v.bypassEye ? "Bypass Eye"
                   : v.delay   ? WithUnit(v.delayText, "ms")
                               : kEmpty,
                   {entry::afterEyeDelay, entry::eyeBypass}});
    if (v.eyeSensitivityVisible)
        out.push_back(
            {page, "Eye Sensitivity", WithUnit(v.eyeSensitivityText, ""), {entry::eyeSensitivity}});
    out.push_back({page, "Eye Mode", Listed(EyeModeTexts, v.eyeMode), {entry::eyeMode}});
    if (v.boltTimerWaitEnabled)
        out.push_back({page,
                       "Bolt Timer Wait Time",
                       WithUnit(v.boltTimerWaitText, "ms"),
                       {entry::boltTimerWait}});
}

void Timer(const BoardSettingsImage& image, std::vector<SettingLine>& out) {
    const TimerPageValues v = FillTimerPage(image);
    const std::string page = "Timer Options";
    out.push_back({page, "Timer Init", Listed(TimerInitTexts, v.timerInit), {entry::timerStart}});
    const std::string minutes = WithUnit(v.minutesText, "");
    const std::string seconds = WithUnit(v.secondsText, "");
    out.push_back({page,
                   "Timer Time",
                   minutes == kEmpty || seconds == kEmpty ? kEmpty : minutes + ":" + seconds,
                   {entry::timerMinutesCode, entry::timerSecondsFives}});
    out.push_back({page,
                   "Timer Mode",
                   v.countsDown ? "Timer Counts Down"
                   : v.countsUp ? "Timer Counts Up"
                                : kEmpty,
                   {entry::timerMode}});
}

void LcdDisplay(const BoardSettingsImage& image, std::vector<SettingLine>& out) {
    const LcdDisplayPageValues v = FillLcdDisplayPage(image);
    const char* names[] = {"Section 1 Display", "Section 1-B Display", "Section 2 Display",
                           "Section 2-B Display"};
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back({"LCD Display Options",
                       names[i],
                       Listed(LcdSectionTexts, v.sections[i]),
                       {entry::lcdSection1 + i}});
}

void LcdMenu(const BoardSettingsImage& image, const BoardInfo& info,
             std::vector<SettingLine>& out) {
    std::string shown;
    for (const LcdMenuItem& item : FillLcdMenuPage(image, info.dialogMode).items)
        if (item.checked)
            shown += (shown.empty() ? "" : ", ") + std::string(item.text);
    out.push_back({"LCD Menu Options",
                   "Menu Items",
                   shown.empty() ? "none" : shown,
                   {entry::lcdMenuMask0, entry::lcdMenuMask1, entry::lcdMenuMask2}});
}

void Power(const BoardSettingsImage& image, std::vector<SettingLine>& out) {
    out.push_back({"Power Options",
                   "Powersave Time",
                   WithUnit(FillPowerPage(image).powersaveText, "Minutes"),
                   {entry::powersaveMinutes}});
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::vector<SettingLine> ListSettings(const BoardSettingsImage& image, const BoardInfo& info) {
    std::vector<int> pages = {kPageFiring,     kPageClosedBolt, kPageEye,  kPageTimer,
                              kPageLcdDisplay, kPageLcdMenu,    kPagePower};
    if (const std::optional<BoardType> type = LookUpBoardType(image[entry::boardTypeCode]))
        pages = type->pages;
    std::vector<SettingLine> out;
    for (int page : pages) {
        switch (page) {
        case kPageFiring:
            Firing(image, out);
            break;
        case kPageClosedBolt:
            ClosedBolt(image, out);
            break;
        case kPageEye:
            Eye(image, info, out);
            break;
        case kPageTimer:
            Timer(image, out);
            break;
        case kPageLcdDisplay:
            LcdDisplay(image, out);
            break;
        case kPageLcdMenu:
            LcdMenu(image, info, out);
            break;
        case kPagePower:
            Power(image, out);
            break;
        default:
            break; // Presets and Dialog Mode hold no setting of the board
        }
    }
    return out;
}

std::string SettingsJson(const BoardSettingsImage& image, const BoardInfo& info,
                         const std::string& family, int portBase) {
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", static_cast<unsigned>(portBase));
    std::string json = "{\n  \"board\": {\n    \"family\": " + JsonString(family) +
                       ",\n    \"port\": " + JsonString(port) +
                       ",\n    \"boardType\": " + JsonString(info.boardTypeName) +
                       ",\n    \"boardTypeCode\": " + std::to_string(image[entry::boardTypeCode]) +
                       ",\n    \"firmwareRevision\": " + JsonString(info.firmwareRevisionText) +
                       ",\n    \"batteryVoltage\": " + JsonString(info.batteryVoltageText) +
                       ",\n    \"dialogMode\": " + std::to_string(info.dialogMode) +
                       "\n  },\n  \"settings\": [";
    const std::vector<SettingLine> lines = ListSettings(image, info);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SettingLine& l = lines[i];
        std::string entries, raw;
        for (std::size_t e : l.entries) {
            entries += (entries.empty() ? "" : ", ") + std::to_string(e);
            raw += (raw.empty() ? "" : ", ") + std::to_string(image[e]);
        }
        json += std::string(i ? "," : "") + "\n    {\"page\": " + JsonString(l.page) +
                ", \"name\": " + JsonString(l.name) + ", \"value\": " + JsonString(l.value) +
                ", \"entries\": [" + entries + "], \"raw\": [" + raw + "]}";
    }
    json += "\n  ],\n  \"raw\": [";
    for (std::size_t i = 0; i < image.size(); ++i)
        json += (i ? ", " : "") + std::to_string(image[i]);
    return json + "]\n}\n";
}

} // namespace kelvo
