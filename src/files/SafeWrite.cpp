#include "files/SafeWriteParts.h"

#include <chrono>
#include <functional>
#include <random>
#include <system_error>
#include <thread>

namespace kelvo::safewrite {

namespace fs = std::filesystem;

fs::path Resolved(const fs::path& path) {
    // weakly_canonical stops at a link to nothing, which would then be
    // replaced by a plain file: follow such links to the name they give.
    fs::path named = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(named, ec)); ++hops) {
        const fs::path target = fs::read_symlink(named, ec);
        if (ec)
            break;
        named = target.is_absolute() ? target : named.parent_path() / target;
    }
    const fs::path resolved = fs::weakly_canonical(named, ec);
    return ec ? named : resolved;
}

fs::path SiblingName(const fs::path& target) {
    // Seeded per thread, so that two threads or two runs do not walk the
    // same names.
    thread_local std::mt19937_64 random(std::random_device{}() ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id()));
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    return target.parent_path() / ("." + target.filename().string() + ".kelvo-" + suffix);
}

FileResult ReplaceHeld(const fs::path& path, std::string_view content) {
    // Held as the run that uses it holds it (a board state file being
    // flashed), so that such a file is refused as in use, not replaced
    // under that run. Another writer holds it only while it writes: that
    // is waited for, a run that keeps the file is not.
    const std::string inUse = InUseMessage(Resolved(path));
    FileResult result;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const std::unique_ptr<LockedFile> file = LockedFile::Open(path, result))
            return file->Replace(content);
        if (result.error != inUse)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return result;
}

std::string ReadOnlyMessage(const fs::path& path) {
    return path.string() + " is read-only; Kelvo does not replace it (make it writable, or "
                           "choose another name)";
}

std::string InUseMessage(const fs::path& path) {
    return path.string() + " is in use by another Kelvo run (kelvo-cli or the desktop "
                           "program); try again when it has finished";
}

} // namespace kelvo::safewrite
