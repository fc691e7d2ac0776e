#include "app/UserFolder.h"

#include <cstdlib>
#include <system_error>

namespace kelvo {

namespace fs = std::filesystem;

std::optional<std::string> ProcessEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

namespace {

// Relative values are to be ignored (XDG Base Directory).
std::optional<fs::path> AbsoluteVariable(const EnvironmentLookup& environment, const char* name) {
    const std::optional<std::string> value = environment(name);
    if (!value || value->empty() || !fs::path(*value).is_absolute())
        return std::nullopt;
    return fs::path(*value);
}

} // namespace

fs::path UserFolder(const EnvironmentLookup& environment, std::string& error) {
    auto absolute = [&](const char* name) { return AbsoluteVariable(environment, name); };
#ifdef _WIN32
    if (const auto appData = absolute("APPDATA"))
        return *appData / "Kelvo";
    error = "APPDATA is not set, so there is no per-user folder for Kelvo's settings.";
#else
    if (const auto config = absolute("XDG_CONFIG_HOME"))
        return *config / "kelvo";
    if (const auto home = absolute("HOME"))
        return *home / ".config" / "kelvo";
    error = "Neither XDG_CONFIG_HOME nor HOME names a folder, so there is no per-user folder "
            "for Kelvo's settings.";
#endif
    return {};
}

fs::path RecoveryFolder(const EnvironmentLookup& environment) {
#ifdef _WIN32
    if (const auto local = AbsoluteVariable(environment, "LOCALAPPDATA"))
        return *local / "kelvo";
#else
    if (const auto state = AbsoluteVariable(environment, "XDG_STATE_HOME"))
        return *state / "kelvo";
    if (const auto home = AbsoluteVariable(environment, "HOME"))
        return *home / ".local" / "state" / "kelvo";
#endif
    return {};
}

bool EnterFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    const bool existed = fs::exists(folder, ec);
    if (!existed && !fs::create_directories(folder, ec) && ec) {
        error = "Cannot create the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    if (!existed)
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    fs::current_path(folder, ec);
    if (ec) {
        error = "Cannot work in the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace kelvo
