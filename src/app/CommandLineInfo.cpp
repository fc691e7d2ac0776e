#include "app/CommandLineInfo.h"

#include <cstdlib>

namespace kelvo {

namespace {
constexpr std::size_t kPrefixOptionLength = 9; // "boardtype" and "delaymult"

std::string_view PrefixValue(std::string_view param) {
    return param.size() > kPrefixOptionLength ? param.substr(kPrefixOptionLength)
                                              : std::string_view{};
}
} // namespace

float ParseDelayMultiplier(std::string_view text) {
    const std::string value(text);
    const float m = static_cast<float>(std::strtod(value.c_str(), nullptr));
    return m > 0.0f ? m : 1.0f;
}

bool CommandLineInfo::ParseArgument(std::string_view argument) {
    if (!argument.empty() && (argument.front() == '-' || argument.front() == '/'))
        argument.remove_prefix(1);
    return ParseParam(argument);
}

bool CommandLineInfo::ParseParam(std::string_view param) {
    // Every test runs, in this order; a parameter may match more than one.
    bool matched = false;
    auto flag = [&](std::string_view name, int& field) {
        if (param == name) {
            field = 1;
            matched = true;
        }
    };
    flag("initprogramming", options_.initProgramming);
    flag("pintest", options_.pinTest);
    if (param.find("boardtype") != std::string_view::npos) {
        boardTypeName_ = std::string(PrefixValue(param));
        matched = true;
    }
    flag("displaydatamemraw", options_.displayDataMemRaw);
    flag("bypassreadcheck", options_.bypassReadCheck);
    flag("bypassfirmwarecheck", options_.bypassFirmwareCheck);
    if (param == "AVRonly") {
        options_.avrOnly = 1;
        options_.only8051 = 0;
        matched = true;
    }
    if (param == "8051only") {
        options_.only8051 = 1;
        options_.avrOnly = 0;
        matched = true;
    }
    flag("bypassfwboardcheck", options_.bypassFwBoardCheck);
    if (param.find("delaymult") != std::string_view::npos) {
        options_.delayMultiplier = ParseDelayMultiplier(PrefixValue(param));
        matched = true;
    }
    return matched;
}

} // namespace kelvo
