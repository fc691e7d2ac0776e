#include "app/CommandLineInfo.h"

#include "files/TextParsing.h"

#include <algorithm>
#include <limits>

namespace kelvo {

namespace {
constexpr std::size_t kPrefixOptionLength = 9; // "boardtype" and "delaymult"

std::string_view PrefixValue(std::string_view param) {
    return param.size() > kPrefixOptionLength ? param.substr(kPrefixOptionLength)
                                              : std::string_view{};
}
} // namespace

float ParseDelayMultiplier(std::string_view text) {
    // Decimal text only, read with a point whatever the locale: strtod would
    // take "inf", "nan" and hexadecimal too, and "2.5" as 2 under a comma
    // locale.
    std::string_view number = text;
    while (!number.empty() && IsCSpace(number.front()))
        number.remove_prefix(1);
    if (!number.empty() && (number.front() == '+' || number.front() == '-'))
        number.remove_prefix(1);
    auto digit = [&](std::size_t i) {
        return i < number.size() && number[i] >= '0' && number[i] <= '9';
    };
    const bool decimal = digit(0) || (!number.empty() && number[0] == '.' && digit(1));
    const double value = decimal ? ParseLeadingFloat(text) : 0.0;
    // Beyond float the multiplier would be infinite: not a finite positive
    // number, like 0 or a negative one.
    if (!(value > 0.0) || value > std::numeric_limits<float>::max())
        return 1.0f;
    const float m = static_cast<float>(value);
    if (!(m > 0.0f))
        return 1.0f;
    // A larger one saturates the delay count and stalls every write for hours.
    return std::min(m, kMaxDelayMultiplier);
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
    flag("wholesecondcalibration", options_.wholeSecondCalibration);
    return matched;
}

} // namespace kelvo
