#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kelvo {

// Outcome of writing a file; `error` says what went wrong, for the user.
struct FileResult {
    bool ok = true;
    std::string error;
    explicit operator bool() const { return ok; }
};

// Writes `content` in text mode to a temporary file beside `path` and renames
// it over `path`, so a write that fails half-way leaves any existing file as
// it was.
FileResult WriteFileReplacing(const std::filesystem::path& path, std::string_view content);

} // namespace kelvo
