#include "files/InputFile.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelvo {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
using ReadCount = int;
int ReadSome(int fd, char* buffer, std::size_t size) {
    return ::_read(fd, buffer, static_cast<unsigned>(size));
}
int Close(int fd) {
    return ::_close(fd);
}
bool IsStream(const struct stat& st) {
    return (st.st_mode & S_IFMT) == S_IFCHR || (st.st_mode & S_IFMT) == _S_IFIFO;
}
#else
// Non-blocking, so that opening a FIFO never waits for a writer.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
using ReadCount = ssize_t;
ReadCount ReadSome(int fd, char* buffer, std::size_t size) {
    return ::read(fd, buffer, size);
}
int Close(int fd) {
    return ::close(fd);
}
bool IsStream(const struct stat& st) {
    return S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode);
}
#endif

// "1 MB", "64 KB": a limit as the refusals name it.
std::string SizeText(std::size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KB";
    return std::to_string(bytes) + " bytes";
}

bool IsRegular(const struct stat& st) {
    return (st.st_mode & S_IFMT) == S_IFREG;
}

// Why a file of this kind is not read, or nothing.
std::string Refusal(const struct stat& st, bool streams) {
    if ((st.st_mode & S_IFMT) == S_IFDIR)
        return "a folder, not a file";
    if (!IsRegular(st) && !(streams && IsStream(st)))
        return "not a regular file (a device, a pipe or a socket); Kelvo reads only files";
    return {};
}

std::optional<std::string> ReadOpened(int fd, const struct stat& st, std::size_t limit,
                                      std::string& why) {
    if (IsRegular(st) && static_cast<std::uint64_t>(st.st_size) > limit) {
        why = "larger than " + SizeText(limit) + ", more than such a file ever holds";
        return std::nullopt;
    }
#ifndef _WIN32
    // Checked, a stream is read as it comes: a pipe's writer may be slow.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    std::string text;
    char buffer[8192];
    for (;;) {
        const ReadCount n = ReadSome(fd, buffer, sizeof buffer);
        if (n == 0)
            return text;
        if (n < 0) {
            why = errno == EINTR ? "reading it was interrupted"
                                 : std::string("cannot be read: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (text.size() + static_cast<std::size_t>(n) > limit) {
            why = "larger than " + SizeText(limit) + ", more than such a file ever holds";
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

std::optional<std::string> ReadInputFile(const fs::path& path, std::size_t limit, std::string& why,
                                         InputKinds kinds) {
    const bool streams = kinds == InputKinds::AlsoStreams;
    int fd = -1;
    bool ownFd = true;
    if (streams && path == "-") {
        fd = 0;
        ownFd = false;
    } else {
        // A device is looked at before it is opened: opening one can have
        // effects of its own (a tape rewinds, a modem line hangs up).
        struct stat before;
        if (::stat(path.string().c_str(), &before) != 0) {
            why = errno == ENOENT ? "no such file"
                                  : std::string("cannot be opened: ") + std::strerror(errno);
            return std::nullopt;
        }
        why = Refusal(before, streams);
        if (!why.empty())
            return std::nullopt;
        do
            fd = ::open(path.string().c_str(), kOpenFlags);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            why = std::string("cannot be opened for reading: ") + std::strerror(errno);
            return std::nullopt;
        }
    }
    struct stat st;
    std::optional<std::string> text;
    if (::fstat(fd, &st) != 0)
        why = std::string("cannot be read: ") + std::strerror(errno);
    else if (why = Refusal(st, streams); why.empty()) // it may have been swapped meanwhile
        text = ReadOpened(fd, st, limit, why);
    if (ownFd)
        Close(fd);
    return text;
}

} // namespace kelvo
