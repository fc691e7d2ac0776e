#pragma once

#include "ScriptedFlowHost.h"
#include "app/SimConnection.h"
#include "link/FtdiIspBus.h"
#include "link/UsbaspBus.h"
#include "ops/BoardSearch.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimBoard.h"
#include "sim/SimFtdiDevice.h"
#include "sim/SimUsbasp.h"

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

// What the board operations of a flow go through to the simulated board.
enum class Programmer { Parallel, Ft232r, Usbasp };

// A simulated programmer of this kind on the board's programming header:
// for a USB one, the simulated device and the bus the flows go through.
struct SimProgrammer {
    SimProgrammer(Programmer kind, SimBoard& board) {
        if (kind == Programmer::Ft232r) {
            auto device = std::make_unique<SimFtdiDevice>(board);
            ftdi = device.get();
            std::string error;
            bus = MakeFtdiBus(std::move(device), board, FtdiPins{}, error);
            EXPECT_TRUE(bus) << error;
        } else if (kind == Programmer::Usbasp) {
            usbasp = std::make_unique<SimUsbasp>(board, board, board.state().address);
            bus = std::make_unique<UsbaspBus>(*usbasp, board);
        }
    }

    // USB round trips so far; none through the parallel port.
    std::uint64_t RoundTrips() const {
        return ftdi ? ftdi->roundTrips() : usbasp ? usbasp->transfers() : 0;
    }
    // The USB programmer is pulled out: its next transfer fails.
    void Unplug() {
        if (ftdi)
            ftdi->Unplug();
        if (usbasp)
            usbasp->UnplugAfter(0);
    }

    std::unique_ptr<SimUsbasp> usbasp; // before the bus that talks to it
    std::unique_ptr<IspBus> bus;       // null: the parallel port
    SimFtdiDevice* ftdi = nullptr;     // owned by the bus
};

// One flow run: fresh state, a scripted host, and a simulated board behind
// the chosen programmer.
struct FlowBench {
    explicit FlowBench(SimBoardState boardState, Programmer programmer = Programmer::Parallel)
        : board(std::move(boardState)), via(programmer, board) {
        ctx.programmer = via.bus.get();
        state.recoveryFolder = TempPath("recovery").string();
    }

    AppState state;
    ScriptedFlowHost host;
    SimBoard board;
    FlowContext ctx{state, host, board, board};
    SimProgrammer via;

    // Entry i of the board's settings block as the board holds it now.
    int BoardEntry(std::size_t i) const {
        const SimBoardState& s = board.state();
        return s.family == Family::Avr ? s.data[i] : s.data[i - 1];
    }
};

} // namespace kelvo
