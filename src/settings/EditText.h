#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// Blank texts a page shows for an Unset entry; collections read them back as
// Unset. Which one a field uses is part of its contract.
inline constexpr std::string_view kBlankOne = " ";  // Firing and Closed Bolt edits
inline constexpr std::string_view kBlankTwo = "  "; // Timer and Power edits
inline constexpr std::string_view kBlankNone = "";  // Eye page edits

// Edit text as an integer: optional leading white space and sign, then digits
// up to the first other character; no digits give 0. Saturates at the
// int32 limits instead of overflowing.
std::int32_t ReadEditInteger(std::string_view text);

// Edit text as a decimal fraction ("7.5"): optional leading white space and
// sign, digits, an optional point and more digits; no digits give 0. Always
// reads "." as the point, whatever the process locale says.
double ReadEditNumber(std::string_view text);

// A number as an entry value: fraction dropped toward zero, clamped to int32.
std::int32_t TruncateToEntry(double value);

// a + b without overflow, clamped to int32.
std::int32_t AddClamped(std::int32_t a, std::int32_t b);

// "%d" and "%02d".
std::string FormatInteger(std::int64_t value);
std::string FormatTwoDigits(std::int64_t value);

// halves / 2 with one decimal ("%.01f"): 15 -> "7.5", 14 -> "7.0". Locale
// independent so that ReadEditNumber always reads it back.
std::string FormatHalves(std::int32_t halves);

// "%.Nf" with a point whatever the process locale (a desktop toolkit sets
// the user's, which may write "9,4").
std::string FormatFixed(double value, int decimals);

} // namespace kelvo
