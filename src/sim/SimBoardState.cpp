#include "sim/SimBoardState.h"

namespace kelvo {

std::size_t SimDataSize(Family family) {
    return family == Family::Avr ? kAvrDataSize : k8051DataSize;
}

std::size_t SimCodeSize(Family family) {
    return family == Family::Avr ? kAvrCodeSize : k8051CodeSize;
}

std::size_t SimSettingsBytes(Family family) {
    return family == Family::Avr ? kAvrSettingsBytes : k8051SettingsBytes;
}

SimBoardState MakeErasedSimBoard(Family family) {
    SimBoardState state;
    state.family = family;
    state.data.assign(SimDataSize(family), 0xFF);
    state.code.assign(SimCodeSize(family), 0xFF);
    return state;
}

std::size_t SimResetVectorBytes(Family family) {
    // An AVR reset vector is one instruction word; an 8051 one a 3-byte jump.
    return family == Family::Avr ? 2 : 3;
}

std::vector<std::uint8_t> SimIdleFirmware(Family family) {
    if (family == Family::Avr)
        return {0xF8, 0x94, 0xFF, 0xCF}; // cli; rjmp .
    return {0xC2, 0xAF, 0x80, 0xFE};     // clr EA; sjmp $
}

} // namespace kelvo
