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

inline constexpr float kMaxDelayMultiplier = 100.0f;

// The delaymult value: the longest decimal prefix (digits, a point, an
// exponent; never "inf", "nan" or hexadecimal, never the locale's comma),
// narrowed to float. Anything that is not then a finite number above 0 gives
// 1.0; anything above 100 gives 100.
float ParseDelayMultiplier(std::string_view text);

} // namespace kelvo
