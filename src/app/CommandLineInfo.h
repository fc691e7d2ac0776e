#pragma once

#include "ops/RunOptions.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// Parses the service switches shared by both faces. Each argument may carry
// one leading "-" or "/"; names are case-sensitive; anything unknown is
// ignored without a word.
class CommandLineInfo {
public:
    explicit CommandLineInfo(RunOptions& options) : options_(options) {}

    // Takes one argument as the shell split it. Returns whether it named an
    // option (the desktop program ignores that; kelvo-cli rejects the rest).
    bool ParseArgument(std::string_view argument);
    // Takes one parameter with its "-" or "/" already removed.
    bool ParseParam(std::string_view param);

    // Set by "boardtype"; the caller puts it into the board panel.
    const std::optional<std::string>& boardTypeName() const { return boardTypeName_; }

private:
    RunOptions& options_;
    std::optional<std::string> boardTypeName_;
};

// The delaymult value: the longest decimal prefix as strtod reads it,
// narrowed to float; anything not above 0 gives 1.0.
float ParseDelayMultiplier(std::string_view text);

} // namespace kelvo
