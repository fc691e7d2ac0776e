#pragma once

#include <cstddef>
#include <string_view>

namespace kelvo {

// The label the option pages give a settings entry ("Solenoid Dwell"), or
// what the entry holds when no page shows it.
std::string_view SettingName(std::size_t entry);

} // namespace kelvo
