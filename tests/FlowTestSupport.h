#pragma once

#include "ScriptedFlowHost.h"
#include "ops/BoardSearch.h"
#include "sim/SimBoard.h"

#include <memory>

namespace kelvo {

// A settings block every page accepts, as image entries 0..36.
inline BoardSettingsImage ValidBoardSettings(int boardTypeCode, int major, int minor) {
    BoardSettingsImage s{};
    const std::int32_t values[37] = {0, 0,  45, 16, 20, 5,  1,  0, 3, 6,  0,  1,   2,
                                     3, 3,  0,  0,  6,  45, 28, 0, 0, 0,  83, 255, 255,
                                     7, 30, 50, 2,  0,  9,  40, 0, 5, 30, 0};
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = values[i];
    s[entry::firmwareMajor] = major;
    s[entry::firmwareMinor] = minor;
    s[entry::boardTypeCode] = boardTypeCode;
    s[entry::batteryVolts] = 9;
    s[entry::batteryFraction] = 102; // 9.4 volts
    return s;
}

// A simulated board of `family` whose data memory holds `settings`.
inline SimBoardState BoardWithSettings(Family family, const BoardSettingsImage& settings) {
    SimBoardState state = MakeErasedSimBoard(family);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (family == Family::Avr)
            state.data[i] = static_cast<std::uint8_t>(settings[i]);
        else if (i > 0)
            state.data[i - 1] = static_cast<std::uint8_t>(settings[i]);
    }
    return state;
}

// One flow run: fresh state, a scripted host, and a simulated board.
struct FlowBench {
    explicit FlowBench(SimBoardState boardState) : board(std::move(boardState)) {}

    AppState state;
    ScriptedFlowHost host;
    SimBoard board;
    FlowContext ctx{state, host, board, board};

    // Entry i of the board's settings block as the board holds it now.
    int BoardEntry(std::size_t i) const {
        const SimBoardState& s = board.state();
        return s.family == Family::Avr ? s.data[i] : s.data[i - 1];
    }
};

} // namespace kelvo
