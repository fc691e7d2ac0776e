#include "files/SafeWriteParts.h"

#include <functional>
#include <random>
#include <system_error>
#include <thread>

namespace kelvo::safewrite {

namespace fs = std::filesystem;

fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved;
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

std::string ReadOnlyMessage(const fs::path& path) {
    return path.string() + " is read-only; Kelvo does not replace it (make it writable, or "
                           "choose another name)";
}

std::string InUseMessage(const fs::path& path) {
    return path.string() + " is in use by another Kelvo run (kelvo-cli or the desktop "
                           "program); try again when it has finished";
}

} // namespace kelvo::safewrite
