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

} // namespace kelvo
