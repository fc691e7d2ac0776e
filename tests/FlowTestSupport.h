#pragma once

#include "ScriptedFlowHost.h"
#include "app/SimConnection.h"
#include "ops/BoardSearch.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

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

// A port with no board behind it.
inline SimBoardState NoBoard(Family family = Family::Avr) {
    SimBoardState s = MakeErasedSimBoard(family);
    s.faults.noBoard = true;
    return s;
}

// A file of this test's own in the temporary folder.
inline std::filesystem::path TempPath(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kelvo-flow-tests";
    std::filesystem::create_directories(dir);
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_'); // parameterised names
    return dir / (test + "-" + name);
}

// A firmware image file for `boardCode` holding `code` from address 0.
inline std::filesystem::path WriteFirmwareFile(int boardCode,
                                               const std::vector<std::uint8_t>& code) {
    const std::filesystem::path path = TempPath("fw.efw");
    std::ofstream(path) << FormatFirmwareImage(boardCode, CutIntoRecords(code));
    return path;
}

inline std::vector<std::uint8_t> RandomCode(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> code(size);
    for (auto& b : code)
        b = static_cast<std::uint8_t>(rng());
    return code;
}

// One flow run: fresh state, a scripted host, and a simulated board behind
// the chosen programmer.
struct FlowBench {
    explicit FlowBench(SimBoardState boardState,
                       ProgrammerKind programmer = ProgrammerKind::Parallel)
        : board(std::move(boardState)), kind(programmer), via(programmer, board, viaError) {
        EXPECT_EQ(viaError, "");
        ctx.programmer = via.bus();
        state.recoveryFolder = TempPath("recovery").string();
    }

    AppState state;
    ScriptedFlowHost host;
    SimBoard board;
    FlowContext ctx{state, host, board, board};
    ProgrammerKind kind;
    std::string viaError;
    SimProgrammer via; // what the board operations go through

    // Entry i of the board's settings block as the board holds it now.
    int BoardEntry(std::size_t i) const {
        const SimBoardState& s = board.state();
        return s.family == Family::Avr ? s.data[i] : s.data[i - 1];
    }
};

} // namespace kelvo
