#pragma once

#include "settings/BoardSettingsImage.h"

#include <cstddef>
#include <string_view>

namespace kelvo {

inline constexpr std::string_view kIncompleteSettingsText =
    "Invalid Settings Found. Please make sure your selections are valid and complete.";
inline constexpr std::string_view kIncompleteSettingsCaption = "Incomplete Settings";

// What a save or upload must do with the image. On failure the flow shows
// message and caption with the error icon and writes nothing.
struct SettingsValidation {
    bool passed = true;
    int failedRule = 0; // 1..9, the first rule that failed; 0 when passed
    std::string_view message;
    std::string_view caption;
    std::size_t failedEntry = 0; // the entry the failed rule found empty or out of range

    explicit operator bool() const { return passed; }
};

// Checks that the image holds no Unset or impossible value in the entries the
// current board and display mode use. Changes nothing.
SettingsValidation ValidateSettings(const BoardSettingsImage& image, int dialogMode,
                                    std::string_view boardTypeName);

} // namespace kelvo
