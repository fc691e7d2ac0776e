#include "ops/BoardTypes.h"

#include "ops/FlowHost.h"

#include <array>

namespace kelvo {

std::optional<BoardType> LookUpBoardType(int boardTypeCode) {
    const std::vector<int> basic = {kPageFiring, kPageEye, kPageTimer, kPagePresets, kPagePower};
    const std::vector<int> lcd = {kPageFiring,     kPageEye,     kPageTimer,
                                  kPageLcdDisplay, kPageLcdMenu, kPagePresets};
    const std::array<BoardType, 11> table = {{
        {"Brume", 0, false, basic},
        {"Fennick", 1, false, lcd},
        {"Halcyra",
         0,
         true,
         {kPageFiring, kPageClosedBolt, kPageEye, kPageTimer, kPagePresets, kPagePower}},
        {"Tovar", 0, false, basic},
        {"Quarle", 0, false, basic},
        {"Dask", 1, false, basic},
        {"Murrel", 0, false, {kPageFiring, kPageClosedBolt, kPageEye, kPagePresets, kPagePower}},
        {"Sollinder", 1, false, basic},
        {"Pembra", 1, false, basic},
        {"Vex2", 1, false, basic},
        {"Wyre", 1, false, lcd},
    }};
    if (boardTypeCode < 0 || boardTypeCode >= static_cast<int>(table.size()))
        return std::nullopt;
    return table[static_cast<std::size_t>(boardTypeCode)];
}

} // namespace kelvo
