#pragma once

// What the POSIX and Windows file writers share: names and messages.

#include "files/SafeWrite.h"

#include <filesystem>
#include <string>

namespace kelvo::safewrite {

inline FileResult Failure(const std::string& what) {
    return {false, what};
}

// Links followed, so that a link stays and the file it names is written (a
// link to nothing yet names the file to create).
std::filesystem::path Resolved(const std::filesystem::path& path);

// A name beside `target` that no one else is likely to use: ".NAME.kelvo-XXXXXXXX".
std::filesystem::path SiblingName(const std::filesystem::path& target);

// Replaces an existing regular file under its lock, which another Kelvo run
// holding it refuses: see LockedFile.
FileResult ReplaceHeld(const std::filesystem::path& path, std::string_view content);

std::string ReadOnlyMessage(const std::filesystem::path& path);
std::string InUseMessage(const std::filesystem::path& path);

} // namespace kelvo::safewrite
