#include "files/FileReplace.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvo {

#ifdef _WIN32

namespace {

std::string SystemMessage(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

} // namespace

bool ReplaceFileWith(const std::filesystem::path& temporary, const std::filesystem::path& target,
                     std::string& error) {
    // Windows refuses to replace a read-only file, but not every Windows API
    // emulation does; say so the same way everywhere.
    const DWORD attributes = GetFileAttributesW(target.wstring().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = "cannot replace " + target.string() + ": the file is read-only";
        return false;
    }
    // One rename that replaces the old file; written through, so a power cut
    // right after a save keeps the new file. An open file or a folder is not
    // replaced.
    if (MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = "cannot replace " + target.string() + ": " + SystemMessage(GetLastError());
    return false;
}

#else

bool ReplaceFileWith(const std::filesystem::path& temporary, const std::filesystem::path& target,
                     std::string& error) {
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (!ec)
        return true;
    error = "cannot replace " + target.string() + ": " + ec.message();
    return false;
}

#endif

} // namespace kelvo
