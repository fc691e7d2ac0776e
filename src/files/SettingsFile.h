#pragma once

#include "files/InputFile.h"
#include "files/SafeWrite.h"
#include "settings/BoardSettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// Version this program writes; older files are loaded only after a question.
inline constexpr float SettingsFileVersion = 3.0f;

// The reader looks at no more than this many characters of a line.
inline constexpr std::size_t kSettingsLineLimit = 255;

// The whole file for `image` and `dialogMode`: the version line and the
// 29 key lines, each ended by '\n'.
std::string FormatSettingsFile(const BoardSettingsImage& image, std::int32_t dialogMode);

// Writes the file without truncating an existing one first: a save that fails
// leaves the old file intact.
FileResult SaveSettingsFile(const std::filesystem::path& path, const BoardSettingsImage& image,
                            std::int32_t dialogMode);

enum class SettingsVersion {
    Accepted,  // "Ver:" and 3.0 or newer
    Older,     // "Ver:" and older than 3.0
    NoVersion, // no "Ver:" in the first line
};

// Judges a first line (trailing white space is ignored).
SettingsVersion CheckSettingsVersionLine(std::string_view firstLine);
// Judges the first line of a stream or file.
SettingsVersion CheckSettingsVersion(std::istream& in);

// A key whose value does not fit what it is stored in: a setting is one
// byte (0 to 255, or -1 for an empty field), the LCD menu key two (0 to
// 65535). Written to the board it would arrive cut down to a byte.
struct SettingsValueProblem {
    std::size_t key = 0;
    std::int64_t value = 0; // as the file gives it
    std::int64_t highest = 255;
};

// Reads the version line and keys 0 to 28 positionally into `image` and
// `dialogMode`. A line without its key gives the key's default, and entries
// the file does not carry keep their values. A value that does not fit its
// setting stops the load: nothing is changed and the key is returned.
std::optional<SettingsValueProblem> ReadSettingsFile(std::istream& in, BoardSettingsImage& image,
                                                     std::int32_t& dialogMode);

// The whole text of a settings file, read once, so that with AlsoStreams a
// pipe such as /dev/stdin (or "-") loads too; nothing, and `why`, when it
// cannot be read. The reader takes no more than a settings file could
// sensibly hold.
std::optional<std::string> ReadSettingsFileText(const std::filesystem::path& path, std::string& why,
                                                InputKinds kinds = InputKinds::RegularFile);

// A key whose value, as loaded, is one the desktop program's page control
// for it never produces; `offered` says what the control offers.
struct KeyOutsidePageRange {
    std::size_t key = 0;
    std::int64_t value = 0; // as the file gives it
    std::string offered;
};

// The keys of the file `image` was loaded from whose values lie outside
// their page control's range (empty fields excepted).
std::vector<KeyOutsidePageRange> KeysOutsidePageRanges(const BoardSettingsImage& image);

} // namespace kelvo
