#pragma once

#include "ScriptedFlowHost.h"
#include "app/SimConnection.h"
#include "ops/BoardSearch.h"
#include "sim/SimBoard.h"

#include <memory>

namespace kelvo {

// A settings block every page accepts, as image entries 0..36.
inline BoardSettingsImage ValidBoardSettings(int boardTypeCode, int major, int minor) {
    NewSimBoard board;
    board.boardTypeCode = boardTypeCode;
    board.firmwareMajor = major;
    board.firmwareMinor = minor;
    return FactorySettingsImage(board); // battery 9.4 volts
}

// A simulated board of `family` whose data memory holds `settings`, and
// whose firmware restores them as its factory block.
inline SimBoardState BoardWithSettings(Family family, const BoardSettingsImage& settings) {
    return MakeSimBoardWithSettings(family, settings);
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
