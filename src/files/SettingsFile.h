#pragma once

#include "files/SafeWrite.h"
#include "settings/BoardSettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

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
    CannotOpen,
};

// Judges a first line (trailing white space is ignored).
SettingsVersion CheckSettingsVersionLine(std::string_view firstLine);
// Judges the first line of a stream or file.
SettingsVersion CheckSettingsVersion(std::istream& in);
SettingsVersion CheckSettingsFileVersion(const std::filesystem::path& path);

// Reads the version line and keys 0 to 28 positionally into `image` and
// `dialogMode`. Never fails: a line without its key gives the key's default,
// and entries the file does not carry keep their values.
void ReadSettingsFile(std::istream& in, BoardSettingsImage& image, std::int32_t& dialogMode);

// As above from a file; false (and nothing changed) when it cannot be opened.
bool LoadSettingsFile(const std::filesystem::path& path, BoardSettingsImage& image,
                      std::int32_t& dialogMode);

} // namespace kelvo
