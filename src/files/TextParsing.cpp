#include "files/TextParsing.h"

#include "link/HexPair.h"

#include <charconv>
#include <limits>

namespace kelvo {

bool ReadLimitedLine(std::istream& in, std::string& line, std::size_t limit, bool* truncated) {
    line.clear();
    if (truncated)
        *truncated = false;
    std::streambuf* buf = in.rdbuf();
    if (!buf || !in.good()) {
        in.setstate(std::ios::eofbit);
        return false;
    }
    using Traits = std::char_traits<char>;
    bool readAny = false;
    for (;;) {
        const Traits::int_type c = buf->sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) {
            in.setstate(std::ios::eofbit);
            return readAny;
        }
        readAny = true;
        const char ch = Traits::to_char_type(c);
        if (ch == '\n')
            return true;
        if (line.size() < limit)
            line.push_back(ch);
        else if (truncated)
            *truncated = true;
    }
}

bool ReadLimitedToken(std::istream& in, std::string& token, std::size_t limit, bool* truncated) {
    token.clear();
    if (truncated)
        *truncated = false;
    std::streambuf* buf = in.rdbuf();
    if (!buf || !in.good()) {
        in.setstate(std::ios::eofbit);
        return false;
    }
    using Traits = std::char_traits<char>;
    Traits::int_type c = buf->sgetc();
    while (!Traits::eq_int_type(c, Traits::eof()) && IsCSpace(Traits::to_char_type(c)))
        c = buf->snextc();
    if (Traits::eq_int_type(c, Traits::eof())) {
        in.setstate(std::ios::eofbit);
        return false;
    }
    while (!Traits::eq_int_type(c, Traits::eof()) && !IsCSpace(Traits::to_char_type(c))) {
        if (token.size() < limit)
            token.push_back(Traits::to_char_type(c));
        else if (truncated)
            *truncated = true;
        c = buf->snextc();
    }
    if (Traits::eq_int_type(c, Traits::eof()))
        in.setstate(std::ios::eofbit);
    return true;
}

std::string_view TrimTrailingSpace(std::string_view text) {
    while (!text.empty() && IsCSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

namespace {

// Skips leading white space and an optional sign; returns true for '-'.
bool SkipSpaceAndSign(std::string_view& text) {
    while (!text.empty() && IsCSpace(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    return negative;
}

// Accumulates digits of `base` as a magnitude; once it passes `cap` the
// result is pinned at the uint64 maximum instead of wrapping.
std::uint64_t AccumulateDigits(std::string_view text, int base, std::uint64_t cap) {
    std::uint64_t magnitude = 0;
    for (char c : text) {
        const int d = HexDigitValue(c);
        if (d < 0 || d >= base)
            break;
        if (magnitude > cap)
            return std::numeric_limits<std::uint64_t>::max();
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<unsigned>(d);
    }
    return magnitude;
}

template <typename Int> Int Saturate(bool negative, std::uint64_t magnitude) {
    const auto max = static_cast<std::uint64_t>(std::numeric_limits<Int>::max());
    if (negative)
        return magnitude > max ? std::numeric_limits<Int>::min()
                               : static_cast<Int>(-static_cast<Int>(magnitude));
    return magnitude > max ? std::numeric_limits<Int>::max() : static_cast<Int>(magnitude);
}

} // namespace

std::int32_t ParseLeadingDecimal(std::string_view text) {
    const bool negative = SkipSpaceAndSign(text);
    const std::uint64_t cap = std::numeric_limits<std::uint32_t>::max();
    return Saturate<std::int32_t>(negative, AccumulateDigits(text, 10, cap));
}

std::int64_t ParseLeadingHex(std::string_view text) {
    const bool negative = SkipSpaceAndSign(text);
    // strtol takes the prefix only when a hex digit follows it; "0x" alone
    // reads as the number 0.
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        HexDigitValue(text[2]) >= 0)
        text.remove_prefix(2);
    const std::uint64_t cap = std::numeric_limits<std::uint64_t>::max() / 16 - 1;
    return Saturate<std::int64_t>(negative, AccumulateDigits(text, 16, cap));
}

double ParseLeadingFloat(std::string_view text) {
    const bool negative = SkipSpaceAndSign(text);
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    // Out of range: from_chars leaves `value` alone where strtod gives
    // HUGE_VAL, or 0 for a number too small (negative exponent).
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view number(text.data(),
                                      static_cast<std::size_t>(result.ptr - text.data()));
        const std::size_t e = number.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

} // namespace kelvo
