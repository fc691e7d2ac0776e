#include "link/ParallelIspBus.h"

namespace kelvo {

void ParallelIspBus::DriveReset(Family family, bool high) {
    if (family == Family::Avr) {
        if (high)
            link_.ReleaseResetAvr();
        else
            link_.HoldResetAvr();
        return;
    }
    // The 8051 shadow keeps the reset line high while bytes are clocked; it
    // stays set when the board is let run, as the design has it.
    link_.WriteData(high ? kLineReset : 0x00);
    if (high)
        link_.params().dataShadow8051 = kLineReset;
}

} // namespace kelvo
