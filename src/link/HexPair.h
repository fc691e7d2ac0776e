#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// The value of one hexadecimal digit of either case, or -1.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads two characters at `cursor` as one byte, high digit first, and moves
// the cursor past them. A character below ':' counts as its code minus 48,
// any other as its code minus 55; nothing is validated (the image reader has
// checked the record already). Reading past the end of `line` reads '\0'.
inline std::uint8_t ReadHexPair(std::string_view line, std::size_t& cursor) {
    auto digit = [](char c) {
        const int code = static_cast<unsigned char>(c);
        return code < ':' ? code - 48 : code - 55;
    };
    auto at = [&](std::size_t i) { return i < line.size() ? line[i] : '\0'; };
    const int value = digit(at(cursor)) * 16 + digit(at(cursor + 1));
    cursor += 2;
    return static_cast<std::uint8_t>(value);
}

} // namespace kelvo
