#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kelvo {

// Outcome of writing a file; `error` says what went wrong, for the user.
struct FileResult {
    bool ok = true;
    std::string error;
    explicit operator bool() const { return ok; }
};

// Writes `content` to `path` so that a failure never leaves a half-written or
// lost file, and nothing but `path` is touched (symbolic links are followed):
// - a regular file, or a new one, is written to a file created exclusively
//   under a unique name in the same folder, given the old file's permissions
//   (and owner, where the process may; on Windows the folder's), then renamed
//   over it; a read-only file is refused, and so is one another Kelvo run
//   holds (see LockedFile) as in use;
// - a terminal, /dev/null or a pipe (NUL, CON on Windows) is written
//   directly: replacing it would destroy it;
// On Windows lines end in CR LF, as text files there do.
// - anything else (a folder, a disk device) is refused.
FileResult WriteFileReplacing(const std::filesystem::path& path, std::string_view content);

// A regular file held under an exclusive lock from Open until the object is
// destroyed, through every Replace: a second holder is refused at once
// instead of waiting, in this process or any other. The lock binds Kelvo
// runs, not other programs.
class LockedFile {
public:
    // Locks the writable regular file at `path` (symbolic links followed).
    // Returns null and sets `result` when it is missing, not a regular file,
    // read-only, or held by someone else.
    static std::unique_ptr<LockedFile> Open(const std::filesystem::path& path, FileResult& result);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // The file, with links resolved.
    const std::filesystem::path& path() const { return path_; }

    // Replaces the content as WriteFileReplacing does; the new file is locked
    // before it takes the old one's place, so the lock is never let go.
    FileResult Replace(std::string_view content);

private:
    // POSIX: the locked file's descriptor. Windows: the handle of a lock file
    // beside it, which no one else may open while it is held.
#ifdef _WIN32
    using Handle = void*;
#else
    using Handle = int;
#endif
    LockedFile(std::filesystem::path path, Handle handle)
        : path_(std::move(path)), handle_(handle) {}

    std::filesystem::path path_;
    Handle handle_;
};

} // namespace kelvo
