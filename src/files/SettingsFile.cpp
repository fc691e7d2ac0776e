#include "files/SettingsFile.h"

#include "files/TextParsing.h"
#include "settings/EditText.h"
#include "settings/PageRanges.h"
#include "settings/Tables.h"

#include <array>
#include <cmath>
#include <fstream>
#include <istream>
#include <limits>

namespace kelvo {

namespace {

// How a key line is written and read.
enum class KeyKind {
    Plain,         // "k:%d" of one entry
    AfterEyeDelay, // "5:0-%d" / "5:1-%d", value after the first '-'
    Minutes,       // timerMinutesCode as minutes
    Seconds,       // timerSecondsFives times 5
    Unused,        // written as 0, never read
    MenuMask,      // lcdMenuMask0 + 256 x lcdMenuMask1
    DialogMode,
};

struct KeySpec {
    KeyKind kind;
    std::size_t entryIndex; // Plain, AfterEyeDelay, Minutes, Seconds
    std::int32_t missing;   // value stored when the line lacks the key text
};

constexpr KeySpec Plain(std::size_t index, std::int32_t missing) {
    return {KeyKind::Plain, index, missing};
}

// Keys 0 to 28 in file order (lines 2 to 30).
constexpr std::array<KeySpec, 29> kKeys = {{
    Plain(entry::operationMode, 0),
    Plain(entry::firingMode, 0),
    Plain(entry::rofPeriod, 1),
    Plain(entry::debounce, Unset),
    Plain(entry::dwell, Unset),
    {KeyKind::AfterEyeDelay, entry::afterEyeDelay, 0},
    Plain(entry::operationMode, Unset), // again; this later line wins on reading
    Plain(entry::eyeMode, Unset),
    Plain(entry::timerStart, Unset),
    {KeyKind::Minutes, entry::timerMinutesCode, Unset},
    {KeyKind::Seconds, entry::timerSecondsFives, Unset},
    Plain(entry::timerMode, Unset),
    {KeyKind::Unused, 0, 0},
    Plain(entry::lcdSection1, Unset),
    Plain(entry::lcdSection1B, Unset),
    Plain(entry::lcdSection2, Unset),
    Plain(entry::lcdSection2B, Unset),
    Plain(entry::aeBypassRofPeriod, 1),
    {KeyKind::MenuMask, 0, 0},
    Plain(entry::boltDelayOffset, Unset),
    Plain(entry::minBoltOpen, Unset),
    Plain(entry::asDelay, Unset),
    Plain(entry::powersaveMinutes, Unset),
    {KeyKind::DialogMode, 0, 0},
    Plain(entry::eyeSensitivity, Unset),
    Plain(entry::absDwell, Unset),
    Plain(entry::mechanicalDebounce, Unset),
    Plain(entry::boltTimerWait, Unset),
    Plain(entry::ebMinBoltOpen, Unset),
}};

std::string KeyText(std::size_t key) {
    return std::to_string(key) + ":";
}

std::int64_t WrittenValue(const KeySpec& keyInfo, const BoardSettingsImage& image,
                          std::int32_t dialogMode) {
    switch (keyInfo.kind) {
    case KeyKind::Seconds:
        return std::int64_t{image[keyInfo.entryIndex]} * 5;
    case KeyKind::MenuMask:
        return image[entry::lcdMenuMask0] + std::int64_t{256} * image[entry::lcdMenuMask1];
    case KeyKind::DialogMode:
        return dialogMode;
    case KeyKind::Unused:
        return 0;
    default:
        return image[keyInfo.entryIndex];
    }
}

std::string FormatKeyLine(std::size_t key, const BoardSettingsImage& image,
                          std::int32_t dialogMode) {
    const KeySpec& keyInfo = kKeys[key];
    std::string line = KeyText(key);
    if (keyInfo.kind == KeyKind::AfterEyeDelay) {
        const std::int32_t delay = image[keyInfo.entryIndex];
        return line + (delay == 0 ? "0-" : "1-") + std::to_string(delay);
    }
    if (keyInfo.kind == KeyKind::Minutes) {
        // A code outside the table (a board byte the Timer page never saw,
        // as on boards without that page) is written as -1 minutes, which a
        // later load ignores like any unknown number of minutes.
        const std::int32_t code = image[keyInfo.entryIndex];
        if (code < 0 || code >= static_cast<std::int32_t>(TimerMinutesTable.size()))
            return line + "-1";
        const std::int32_t minutes = TimerMinutesTable[static_cast<std::size_t>(code)];
        return line + (minutes < 10 ? "0" : "") + std::to_string(minutes);
    }
    return line + std::to_string(WrittenValue(keyInfo, image, dialogMode));
}

// Stores one key's value, or says why it does not fit.
std::optional<SettingsValueProblem> StoreKey(std::size_t key, std::string_view line,
                                             std::size_t keyLength, BoardSettingsImage& image,
                                             std::int32_t& dialogMode) {
    const KeySpec& keyInfo = kKeys[key];
    // The value stands after as many characters as the key text has,
    // wherever in the line the key text was found.
    const std::int32_t value = ParseLeadingDecimal(line.substr(keyLength));
    auto byte = [&](std::int32_t stored,
                    std::int32_t given) -> std::optional<SettingsValueProblem> {
        if (stored != Unset && (stored < 0 || stored > 255))
            return SettingsValueProblem{key, given, 255};
        image[keyInfo.entryIndex] = stored;
        return std::nullopt;
    };
    switch (keyInfo.kind) {
    case KeyKind::Plain:
        return byte(value, value);
    case KeyKind::AfterEyeDelay: {
        const std::size_t dash = line.find('-');
        if (dash == std::string_view::npos)
            return byte(Unset, Unset);
        const std::int32_t delay = ParseLeadingDecimal(line.substr(dash + 1));
        return byte(delay, delay);
    }
    case KeyKind::Minutes:
        for (std::size_t code = 0; code < TimerMinutesTable.size(); ++code)
            if (TimerMinutesTable[code] == value)
                image[keyInfo.entryIndex] = static_cast<std::int32_t>(code);
        break;
    case KeyKind::Seconds:
        return byte(value / 5, value);
    case KeyKind::MenuMask:
        if (value < 0 || value > 0xFFFF)
            return SettingsValueProblem{key, value, 0xFFFF};
        image[entry::lcdMenuMask0] = value & 0xFF;
        image[entry::lcdMenuMask1] = (value >> 8) & 0xFF;
        break;
    case KeyKind::DialogMode:
        dialogMode = value;
        break;
    case KeyKind::Unused:
        break;
    }
    return std::nullopt;
}

void StoreMissing(const KeySpec& keyInfo, BoardSettingsImage& image, std::int32_t& dialogMode) {
    switch (keyInfo.kind) {
    case KeyKind::MenuMask:
        image[entry::lcdMenuMask0] = 0;
        image[entry::lcdMenuMask1] = 0;
        break;
    case KeyKind::DialogMode:
        dialogMode = keyInfo.missing;
        break;
    case KeyKind::Unused:
        break;
    default:
        image[keyInfo.entryIndex] = keyInfo.missing;
        break;
    }
}

// strtod's result narrowed to float; values beyond float's range become
// infinities rather than an undefined conversion.
float NarrowToFloat(double value) {
    constexpr double max = std::numeric_limits<float>::max();
    if (std::isfinite(value) && std::fabs(value) > max)
        return value > 0 ? std::numeric_limits<float>::infinity()
                         : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

} // namespace

std::string FormatSettingsFile(const BoardSettingsImage& image, std::int32_t dialogMode) {
    // A comma locale must not write "Ver:3,0".
    std::string text = "Ver:" + FormatFixed(SettingsFileVersion, 1) + "\n";
    for (std::size_t key = 0; key < kKeys.size(); ++key)
        text += FormatKeyLine(key, image, dialogMode) + "\n";
    return text;
}

FileResult SaveSettingsFile(const std::filesystem::path& path, const BoardSettingsImage& image,
                            std::int32_t dialogMode) {
    return WriteFileReplacing(path, FormatSettingsFile(image, dialogMode));
}

SettingsVersion CheckSettingsVersionLine(std::string_view firstLine) {
    const std::string_view line = TrimTrailingSpace(firstLine);
    if (line.find("Ver:") == std::string_view::npos)
        return SettingsVersion::NoVersion;
    // The number is read after the line's first four characters, wherever
    // "Ver:" stood.
    const float version = NarrowToFloat(ParseLeadingFloat(line.substr(4)));
    return version < SettingsFileVersion ? SettingsVersion::Older : SettingsVersion::Accepted;
}

SettingsVersion CheckSettingsVersion(std::istream& in) {
    std::string line;
    ReadLimitedLine(in, line, kSettingsLineLimit);
    return CheckSettingsVersionLine(line);
}

std::optional<SettingsValueProblem> ReadSettingsFile(std::istream& in, BoardSettingsImage& image,
                                                     std::int32_t& dialogMode) {
    BoardSettingsImage loaded = image;
    std::int32_t loadedMode = dialogMode;
    std::string line;
    ReadLimitedLine(in, line, kSettingsLineLimit); // version line, judged separately
    for (std::size_t key = 0; key < kKeys.size(); ++key) {
        const bool haveLine = ReadLimitedLine(in, line, kSettingsLineLimit);
        const KeySpec& keyInfo = kKeys[key];
        if (keyInfo.kind == KeyKind::Unused)
            continue;
        const std::string_view trimmed = TrimTrailingSpace(line);
        const std::string keyText = KeyText(key);
        if (!haveLine || trimmed.find(keyText) == std::string_view::npos)
            StoreMissing(keyInfo, loaded, loadedMode);
        else if (auto problem = StoreKey(key, trimmed, keyText.size(), loaded, loadedMode))
            return problem;
    }
    image = loaded;
    dialogMode = loadedMode;
    return std::nullopt;
}

std::optional<std::string> ReadSettingsFileText(const std::filesystem::path& path, std::string& why,
                                                InputKinds kinds) {
    // Thirty lines of 255 characters, with room to spare for long lines.
    constexpr std::size_t kLimit = 1 << 20;
    return ReadInputFile(path, kLimit, why, kinds);
}

std::vector<KeyOutsidePageRange> KeysOutsidePageRanges(const BoardSettingsImage& image) {
    std::vector<KeyOutsidePageRange> outside;
    // Key 0 is read first and overwritten by key 6: only key 6 counts.
    for (std::size_t key = 1; key < kKeys.size(); ++key) {
        const KeySpec& keyInfo = kKeys[key];
        const int scale = keyInfo.kind == KeyKind::Seconds ? 5 : 1;
        if (keyInfo.kind != KeyKind::Plain && keyInfo.kind != KeyKind::AfterEyeDelay &&
            keyInfo.kind != KeyKind::Seconds)
            continue;
        const std::int32_t value = image[keyInfo.entryIndex];
        const std::optional<PageControlRange> range = PageControlRangeOf(keyInfo.entryIndex);
        if (value == Unset || !range || range->Offers(value))
            continue;
        std::string offered;
        if (range->periods.empty()) {
            offered =
                std::to_string(range->low * scale) + " to " + std::to_string(range->high * scale);
        } else {
            offered = "one of";
            for (std::int32_t period : range->periods)
                offered += " " + std::to_string(period);
        }
        outside.push_back({key, std::int64_t{value} * scale, offered});
    }
    return outside;
}

} // namespace kelvo
