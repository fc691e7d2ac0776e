// Simulated board state file: any bytes are refused with a message naming the
// file, or give a board that formats and parses back to itself and runs.
#include "link/Link.h"
#include "sim/SimBoard.h"
#include "sim/SimStateFile.h"

#include <cstdlib>
#include <string>

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SimBoardState state;
    std::string error;
    if (!ParseSimState(text, "board.json", state, error)) {
        if (error.rfind("board.json: ", 0) != 0)
            std::abort();
        return 0;
    }
    SimBoardState back;
    if (!ParseSimState(FormatSimState(state), "again.json", back, error) || !(back == state))
        std::abort();
    // The board it describes takes a reset and a byte on the cable.
    SimBoard board(state);
    for (std::uint8_t lines : {0x04, 0x00, 0x02, 0x00, 0x03, 0x01})
        board.PortWrite(state.address, lines);
    board.PortRead(static_cast<std::uint16_t>(state.address + kStatusRegister));
    if (board.state().data.size() != SimDataSize(state.family) ||
        board.state().code.size() != SimCodeSize(state.family))
        std::abort();
    return 0;
}
