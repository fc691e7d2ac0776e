#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kelvo {

struct BoardType {
    std::string_view name;
    int hasBatteryReading;
    bool dialogModeFromBoard; // Halcyra boards report their bolt mode
    std::vector<int> pages;   // options-list pages the board has
};

// The board type with this code, or nothing for a code the program does not
// know.
std::optional<BoardType> LookUpBoardType(int boardTypeCode);

} // namespace kelvo
