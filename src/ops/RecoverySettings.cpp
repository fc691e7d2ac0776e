#include "ops/RecoverySettings.h"

#include "files/SettingsFile.h"

#include <algorithm>
#include <ctime>
#include <system_error>
#include <utility>
#include <vector>

namespace kelvo {

namespace fs = std::filesystem;

namespace {

constexpr char kPrefix[] = "settings-";
constexpr char kSuffix[] = ".esf";

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Board names are ours, but one from a -boardtype option is not.
std::string FileNamePart(const std::string& name) {
    std::string part;
    for (char c : name)
        part +=
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return part.empty() ? "Unknown" : part;
}

bool IsRecoveryFile(const fs::directory_entry& e) {
    const std::string name = e.path().filename().string();
    return e.is_regular_file() && name.rfind(kPrefix, 0) == 0 && name.size() > sizeof kSuffix &&
           name.compare(name.size() - (sizeof kSuffix - 1), std::string::npos, kSuffix) == 0;
}

void Prune(const fs::path& folder) {
    std::error_code ec;
    std::vector<std::pair<fs::file_time_type, fs::path>> files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (IsRecoveryFile(e))
            files.emplace_back(e.last_write_time(ec), e.path());
    if (files.size() <= kRecoveryFilesKept)
        return;
    // Oldest first; names order files of one second.
    std::sort(files.begin(), files.end());
    for (std::size_t i = 0; i + kRecoveryFilesKept < files.size(); ++i)
        fs::remove(files[i].second, ec);
}

std::string ShellQuoted(const std::string& path) {
    if (std::all_of(path.begin(), path.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   std::string_view("/._-+:\\").find(c) != std::string_view::npos;
        }))
        return path;
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::optional<fs::path> SaveRecoverySettings(const fs::path& folder,
                                             const BoardSettingsImage& image,
                                             std::int32_t dialogMode, const std::string& boardName,
                                             std::string& error) {
    if (folder.empty()) {
        error = "there is no per-user folder to keep it in";
        return std::nullopt;
    }
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        if (!fs::create_directories(folder, ec) && ec) {
            error = "cannot create the folder " + folder.string() + ": " + ec.message();
            return std::nullopt;
        }
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    const std::string stem = kPrefix + LocalTimeText() + "-" + FileNamePart(boardName);
    fs::path path = folder / (stem + kSuffix);
    // Never over an earlier copy: it may be the only one left of a board
    // whose update failed a moment ago.
    for (int n = 2; fs::exists(path, ec); ++n)
        path = folder / (stem + "-" + std::to_string(n) + kSuffix);
    if (const FileResult saved = SaveSettingsFile(path, image, dialogMode); !saved) {
        error = saved.error;
        return std::nullopt;
    }
    Prune(folder);
    return path;
}

std::string RecoveryNote(const std::string& file) {
    return "Your settings, as they were before the update, are kept in\n" + file +
           "\n\nTo put them back, press \"Open Configuration\", choose that file, then press "
           "\"Upload Configuration\"; or run: kelvo-cli upload " +
           ShellQuoted(file);
}

} // namespace kelvo
