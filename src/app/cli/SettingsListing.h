#pragma once

#include "ops/AppState.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace kelvo {

// One setting as its option page shows it.
struct SettingLine {
    std::string page;                 // "Firing Options"
    std::string name;                 // "Solenoid Dwell"
    std::string value;                // "9.5 ms"; "(empty)" for no value
    std::vector<std::size_t> entries; // the settings bytes it is made of
};

// The settings of the pages this board has, grouped and in the order the
// options list gives them, in the units the pages show.
std::vector<SettingLine> ListSettings(const BoardSettingsImage& image, const BoardInfo& info);

// Board information, settings and raw bytes as one JSON document.
std::string SettingsJson(const BoardSettingsImage& image, const BoardInfo& info,
                         const std::string& family, int portBase);

} // namespace kelvo
