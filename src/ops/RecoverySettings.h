#pragma once

#include "settings/BoardSettingsImage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvo {

// Copies of the settings kept in the recovery folder; older ones are removed.
inline constexpr std::size_t kRecoveryFilesKept = 20;

// Saves `image` as a settings file in `folder` (created, for its owner only,
// when missing) under a new name that gives the board and the local time,
// "settings-20261208-153012-Halcyra.esf", then removes all but the newest
// kRecoveryFilesKept such files. The path, or nothing with `error` set.
std::optional<std::filesystem::path>
SaveRecoverySettings(const std::filesystem::path& folder, const BoardSettingsImage& image,
                     std::int32_t dialogMode, const std::string& boardName, std::string& error);

// What puts the copy in `file` back, in both programs' words; the last
// paragraph of every message about an update that did not finish.
std::string RecoveryNote(const std::string& file);

} // namespace kelvo
