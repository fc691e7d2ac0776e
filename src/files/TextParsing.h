#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace kelvo {

// White space as the C library's isspace sees it in the "C" locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one line (without its '\n') and keeps at most `limit` characters of
// it; the rest of an overlong line is skipped, so the next call starts on the
// next line whatever this one held. Returns false only at the end of the
// stream with nothing read. `truncated` tells whether characters were dropped.
bool ReadLimitedLine(std::istream& in, std::string& line, std::size_t limit,
                     bool* truncated = nullptr);

// Reads the next white-space-delimited token, keeping at most `limit`
// characters; the rest of a longer token is skipped. Returns false when no
// token is left. `truncated` tells whether characters were dropped.
bool ReadLimitedToken(std::istream& in, std::string& token, std::size_t limit,
                      bool* truncated = nullptr);

std::string_view TrimTrailingSpace(std::string_view text);

// The decimal integer at the start of `text` the way atoi/strtol read it:
// leading white space, an optional sign, digits up to the first other
// character; no digits give 0. Saturates at the int32 limits.
std::int32_t ParseLeadingDecimal(std::string_view text);

// The number at the start of `text` the way strtol(text, nullptr, 16) reads
// it: leading white space, an optional sign, an optional "0x"/"0X", hex digits
// up to the first other character; no digits give 0. Saturates at the int64
// limits.
std::int64_t ParseLeadingHex(std::string_view text);

// The number at the start of `text` the way strtod reads a decimal number
// (no digits give 0.0), always with '.' as the point whatever the locale.
double ParseLeadingFloat(std::string_view text);

} // namespace kelvo
