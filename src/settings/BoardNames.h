#pragma once

#include <string_view>

namespace kelvo {

// Board type names that change page and validation behaviour. Always compared
// whole and case-sensitively, so "Unknown" or "tovar" match none of them.
inline constexpr std::string_view kBoardTovar = "Tovar";
inline constexpr std::string_view kBoardQuarle = "Quarle";
inline constexpr std::string_view kBoardMurrel = "Murrel";
inline constexpr std::string_view kBoardHalcyra = "Halcyra";

// dialogMode 1 shows the closed-bolt options; every other value the open-bolt ones.
constexpr bool IsClosedBoltMode(int dialogMode) {
    return dialogMode == 1;
}

// Boards whose eye sensitivity must hold a value before it leaves the program.
constexpr bool RequiresEyeSensitivity(std::string_view boardTypeName) {
    return boardTypeName == kBoardTovar || boardTypeName == kBoardQuarle;
}

// Boards whose Eye page offers the eye sensitivity field (open-bolt mode only).
constexpr bool HasEyeSensitivity(std::string_view boardTypeName) {
    return RequiresEyeSensitivity(boardTypeName) || boardTypeName == kBoardMurrel;
}

} // namespace kelvo
