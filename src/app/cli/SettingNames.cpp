#include "app/cli/SettingNames.h"

#include "settings/BoardSettingsImage.h"

#include <array>

namespace kelvo {

std::string_view SettingName(std::size_t entry) {
    static constexpr std::array<std::string_view, kImageEntries> kNames = {
        "Unused byte",
        "Firing Mode",
        "Rate of Fire (ROF)",
        "Solenoid Dwell",
        "Trigger Debounce",
        "After Eye Delay",
        "Timer Mode",
        "Timer Init",
        "Timer Time (minutes)",
        "Timer Time (seconds)",
        "Section 1 Display",
        "Section 1-B Display",
        "Section 2 Display",
        "Section 2-B Display",
        "Eye Mode",
        "Bypass Eye",
        "Operation Mode",
        "Bolt Delay Offset",
        "Min. Bolt Open",
        "AS Delay",
        "Firmware revision (major)",
        "Firmware revision (minor)",
        "Board type",
        "AE Bypass ROF",
        "LCD Menu items 1 to 8",
        "LCD Menu items 9 to 16",
        "LCD Menu items 17 to 19",
        "Powersave Time",
        "Eye Sensitivity",
        "ABS Dwell",
        "Battery voltage (fraction)",
        "Battery voltage (volts)",
        "E.B. Min. Bolt Open",
        "Halcyra bolt mode",
        "Mechanical Debounce",
        "Bolt Timer Wait Time",
        "Unused byte",
    };
    return entry < kNames.size() ? kNames[entry] : "Unknown entry";
}

} // namespace kelvo
