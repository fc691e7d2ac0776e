#include "settings/EditText.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace kelvo {

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips leading white space and one sign; returns whether the sign was '-'.
bool SkipBlanksAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return negative;
}

std::int32_t Clamp(std::int64_t value) {
    return static_cast<std::int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

} // namespace

std::int32_t ReadEditInteger(std::string_view text) {
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    std::int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        // Past the int32 range the exact value no longer matters.
        if (magnitude <= kMax + 1)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    return Clamp(negative ? -magnitude : magnitude);
}

double ReadEditNumber(std::string_view text) {
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    const std::size_t start = i;
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(text.data() + start, text.data() + i, value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::max();
    else if (ec != std::errc() || end != text.data() + i)
        value = 0.0;
    return negative ? -value : value;
}

std::int32_t TruncateToEntry(double value) {
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(kMin))
        return static_cast<std::int32_t>(kMin);
    if (truncated >= static_cast<double>(kMax))
        return static_cast<std::int32_t>(kMax);
    return static_cast<std::int32_t>(truncated);
}

std::int32_t AddClamped(std::int32_t a, std::int32_t b) {
    return Clamp(static_cast<std::int64_t>(a) + b);
}

std::string FormatInteger(std::int64_t value) {
    return std::to_string(value);
}

std::string FormatTwoDigits(std::int64_t value) {
    // Like "%02d": the width counts a minus sign, so -5 stays "-5".
    return value >= 0 && value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::string FormatHalves(std::int32_t halves) {
    const std::int64_t h = halves;
    const std::int64_t magnitude = h < 0 ? -h : h;
    std::string text = h < 0 ? "-" : "";
    text += std::to_string(magnitude / 2);
    text += magnitude % 2 ? ".5" : ".0";
    return text;
}

std::string FormatFixed(double value, int decimals) {
    char text[400]; // every finite double fits with a few decimals
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

} // namespace kelvo
