#include "files/SafeWrite.h"
#include "files/SafeWriteParts.h"

#include <algorithm>
#include <system_error>

#include <windows.h>

namespace kelvo {

namespace fs = std::filesystem;

using safewrite::Failure;
using safewrite::ReadOnlyMessage;
using safewrite::Resolved;

namespace {

std::string Reason(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    void Reset(HANDLE h) {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = h;
    }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes now; false when the system reports an error (a write it had
    // held back may have failed).
    bool Close() {
        const bool closed = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE h_;
};

std::string WithCrLf(std::string_view content) {
    std::string text;
    text.reserve(content.size() + content.size() / 16);
    for (const char c : content) {
        if (c == '\n')
            text.push_back('\r');
        text.push_back(c);
    }
    return text;
}

bool WriteAll(HANDLE h, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(h, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

// What is at a path. Opened without asking for access, so that a file
// someone holds open is still looked at.
struct Found {
    enum Kind { Missing, Regular, Folder, Device, Unreadable } kind;
    bool readOnly = false;
    DWORD error = 0;
};

Found Inspect(const fs::path& path) {
    const Handle h(CreateFileW(path.wstring().c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) {
        const DWORD error = GetLastError();
        return {error == ERROR_FILE_NOT_FOUND ? Found::Missing : Found::Unreadable, false, error};
    }
    if (GetFileType(h.get()) != FILE_TYPE_DISK)
        return {Found::Device};
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info))
        return {Found::Unreadable, false, GetLastError()};
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {Found::Folder};
    return {Found::Regular, (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0};
}

// Writes `content` to a new file beside `target`, created under a name no
// one else uses, and moves it over `target` in one step.
FileResult ReplaceRegular(const fs::path& target, std::string_view content) {
    fs::path temporary;
    DWORD error = 0;
    Handle file(INVALID_HANDLE_VALUE);
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = safewrite::SiblingName(target);
        file.Reset(CreateFileW(temporary.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    if (!file)
        return Failure("cannot create a new file beside " + target.string() + ": " + Reason(error));
    auto fail = [&](const std::string& what, DWORD why) {
        file.Close();
        DeleteFileW(temporary.wstring().c_str());
        return Failure(what + ": " + Reason(why) + "; " + target.string() + " is unchanged");
    };
    if (!WriteAll(file.get(), WithCrLf(content)) || !FlushFileBuffers(file.get()))
        return fail("cannot write " + temporary.string(), GetLastError());
    if (!file.Close())
        return fail("cannot write " + temporary.string(), GetLastError());
    // Written through, so that a power cut right after a save keeps the new
    // file. A file another program holds open without sharing is not
    // replaced.
    if (!MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail("cannot replace " + target.string(), GetLastError());
    return {};
}

// NUL, CON, a pipe: written as they are.
FileResult WriteInPlace(const fs::path& target, std::string_view content) {
    Handle h(CreateFileW(target.wstring().c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return Failure("cannot open " + target.string() + ": " + Reason(GetLastError()));
    if (!WriteAll(h.get(), WithCrLf(content)))
        return Failure("cannot write " + target.string() + ": " + Reason(GetLastError()));
    return {};
}

} // namespace

// Replaces the file at `target` (already resolved) as what is found there
// allows. A regular file is replaced under its lock: taken here, or already
// held by the caller (`held`), since Windows refuses a second lock even to
// its own holder.
static FileResult ReplaceAsFound(const fs::path& target, std::string_view content, bool held) {
    const Found found = Inspect(target);
    switch (found.kind) {
    case Found::Missing:
        return ReplaceRegular(target, content);
    case Found::Unreadable:
        return Failure("cannot write " + target.string() + ": " + Reason(found.error));
    case Found::Folder:
        return Failure(target.string() + " is a folder");
    case Found::Device:
        return WriteInPlace(target, content);
    case Found::Regular:
        break;
    }
    if (found.readOnly)
        return Failure(ReadOnlyMessage(target));
    return held ? ReplaceRegular(target, content) : safewrite::ReplaceHeld(target, content);
}

FileResult WriteFileReplacing(const fs::path& path, std::string_view content) {
    return ReplaceAsFound(Resolved(path), content, false);
}

std::unique_ptr<LockedFile> LockedFile::Open(const fs::path& path, FileResult& result) {
    const fs::path target = Resolved(path);
    const Found found = Inspect(target);
    if (found.kind == Found::Missing || found.kind == Found::Unreadable) {
        result = Failure("cannot open " + target.string() + ": " + Reason(found.error));
        return nullptr;
    }
    if (found.kind != Found::Regular) {
        result = Failure(target.string() + " is not a regular file");
        return nullptr;
    }
    if (found.readOnly) {
        result = Failure(ReadOnlyMessage(target));
        return nullptr;
    }
    // The file itself cannot stay open: Windows does not replace an open
    // file. A lock file beside it, shared with no one, goes when its holder
    // closes it or ends in any way.
    const fs::path lockName =
        target.parent_path() / ("." + target.filename().string() + ".kelvo-lock");
    const HANDLE lock =
        CreateFileW(lockName.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A lock file being let go refuses access until it is gone.
        result = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED
                     ? Failure(safewrite::InUseMessage(target))
                     : Failure("cannot lock " + target.string() + ": " + Reason(error));
        return nullptr;
    }
    result = {};
    return std::unique_ptr<LockedFile>(new LockedFile(target, lock));
}

LockedFile::~LockedFile() {
    CloseHandle(handle_);
}

FileResult LockedFile::Replace(std::string_view content) {
    return ReplaceAsFound(path_, content, true);
}

} // namespace kelvo
