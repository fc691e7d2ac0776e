#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kelvo {

// Reads an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

// The per-user folder the desktop entry starts Kelvo in, so that
// ConnSettings.dat lands there rather than in the home folder or in "/":
// $XDG_CONFIG_HOME/kelvo, or $HOME/.config/kelvo when XDG_CONFIG_HOME is
// unset, empty or not absolute; on Windows %APPDATA%\Kelvo. Empty, with a
// message, when neither variable gives a place.
std::filesystem::path UserFolder(const EnvironmentLookup& environment, std::string& error);

// Where copies of a board's settings are kept while a firmware update
// could lose them: $XDG_STATE_HOME/kelvo, or $HOME/.local/state/kelvo when
// XDG_STATE_HOME is unset, empty or not absolute; on Windows
// %LOCALAPPDATA%\kelvo. Empty when neither variable gives a place.
std::filesystem::path RecoveryFolder(const EnvironmentLookup& environment);

// Creates `folder` when it is missing (only its owner may enter a new one)
// and makes it the current directory.
bool EnterFolder(const std::filesystem::path& folder, std::string& error);

} // namespace kelvo
