#include "files/SafeWrite.h"
#include "files/SafeWriteParts.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

namespace fs = std::filesystem;

using safewrite::Failure;
using safewrite::ReadOnlyMessage;
using safewrite::Resolved;

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// No write permission for anyone counts too: root could write it, but the
// file says it is not to be changed.
bool IsReadOnly(const fs::path& path, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A new file beside `target`, created exclusively under a name nobody else
// uses, so that nothing at that name (a link planted there included) is
// followed or overwritten.
int CreateSibling(const fs::path& target, fs::path& created, int& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = safewrite::SiblingName(target);
        const int fd = ::open(created.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        error = errno;
        if (error != EEXIST)
            return -1;
    }
    return -1;
}

// Writes `content` to a new sibling of `target` and renames it over
// `target`. `old` is the file being replaced, if any: its permissions and
// owner carry over. With `keep`, the new file is locked before the rename and
// left open in *keep.
FileResult ReplaceRegular(const fs::path& target, const struct stat* old, std::string_view content,
                          int* keep) {
    fs::path temporary;
    int error = 0;
    const int fd = CreateSibling(target, temporary, error);
    if (fd < 0)
        return Failure("cannot create a new file beside " + target.string() + ": " + Reason(error));
    auto fail = [&](const std::string& what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return Failure(what + ": " + Reason(saved) + "; " + target.string() + " is unchanged");
    };
    if (old) {
        if (::fchmod(fd, old->st_mode & 07777) != 0)
            return fail("cannot give the new " + target.string() + " the old one's permissions");
        // Only a privileged process may hand a file to another owner; others
        // make files that are theirs anyway.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0 && errno != EPERM)
            return fail("cannot give the new " + target.string() + " the old one's owner");
    }
    if (!WriteAll(fd, content) || ::fsync(fd) != 0)
        return fail("cannot write " + temporary.string());
    if (keep && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail("cannot lock " + temporary.string());
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail("cannot replace " + target.string());
    if (keep) {
        *keep = fd;
    } else if (::close(fd) != 0) {
        return Failure("cannot write " + target.string() + ": " + Reason(errno));
    }
    return {};
}

// A terminal, /dev/null or a pipe: written as it is.
FileResult WriteInPlace(const fs::path& target, std::string_view content) {
    int fd;
    do
        fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Failure("cannot open " + target.string() + ": " + Reason(errno));
    const bool written = WriteAll(fd, content);
    const int error = errno;
    if (::close(fd) != 0 || !written)
        return Failure("cannot write " + target.string() + ": " + Reason(written ? errno : error));
    return {};
}

// Why an existing file of this type is not written at all, or nothing.
std::string RefusedType(const fs::path& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return path.string() + " is a folder";
    if (S_ISBLK(st.st_mode))
        return path.string() + " is a disk device; Kelvo does not write to it";
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode))
        return path.string() + " is not a file Kelvo can write to";
    return {};
}

} // namespace

FileResult WriteFileReplacing(const fs::path& path, std::string_view content) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return Failure("cannot write " + path.string() + ": " + Reason(errno));
        return ReplaceRegular(Resolved(path), nullptr, content, nullptr);
    }
    if (const std::string refused = RefusedType(path, st); !refused.empty())
        return Failure(refused);
    if (!S_ISREG(st.st_mode))
        return WriteInPlace(path, content);
    return safewrite::ReplaceHeld(path, content);
}

std::unique_ptr<LockedFile> LockedFile::Open(const fs::path& path, FileResult& result) {
    const fs::path target = Resolved(path);
    // The holder replaces the file when it saves; a lock won on a file that
    // has just been replaced is worth nothing, so look again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Non-blocking: a FIFO put in the file's place must not hang the open.
        const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            result = Failure("cannot open " + target.string() + ": " + Reason(errno));
            return nullptr;
        }
        struct stat held, now;
        std::string refused;
        if (::fstat(fd, &held) != 0)
            refused = "cannot open " + target.string() + ": " + Reason(errno);
        else if (S_ISDIR(held.st_mode))
            refused = target.string() + " is a folder";
        else if (!S_ISREG(held.st_mode))
            refused = target.string() + " is not a regular file";
        else if (IsReadOnly(target, held))
            refused = ReadOnlyMessage(target);
        else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            refused = errno == EWOULDBLOCK
                          ? safewrite::InUseMessage(target)
                          : "cannot lock " + target.string() + ": " + Reason(errno);
        if (!refused.empty()) {
            ::close(fd);
            result = Failure(refused);
            return nullptr;
        }
        if (::stat(target.c_str(), &now) == 0 && now.st_dev == held.st_dev &&
            now.st_ino == held.st_ino) {
            result = {};
            return std::unique_ptr<LockedFile>(new LockedFile(target, fd));
        }
        ::close(fd);
    }
    result = Failure(target.string() + " keeps being replaced; cannot lock it");
    return nullptr;
}

LockedFile::~LockedFile() {
    ::close(handle_);
}

FileResult LockedFile::Replace(std::string_view content) {
    struct stat st;
    if (::fstat(handle_, &st) != 0)
        return Failure("cannot write " + path_.string() + ": " + Reason(errno));
    int replacement = -1;
    FileResult result = ReplaceRegular(path_, &st, content, &replacement);
    if (result) {
        ::close(handle_); // the old file's lock; the new one is held already
        handle_ = replacement;
    }
    return result;
}

} // namespace kelvo
