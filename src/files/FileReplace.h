#pragma once

#include <filesystem>
#include <string>

namespace kelvo {

// Puts the finished file `temporary` in the place of `target` in one rename,
// so a reader sees either the old file or the new one. On Windows a
// read-only target is refused rather than overwritten. False, with a
// message, when the target could not be replaced; it is then as it was.
bool ReplaceFileWith(const std::filesystem::path& temporary, const std::filesystem::path& target,
                     std::string& error);

} // namespace kelvo
