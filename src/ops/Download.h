#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// What a USB programmer cannot do, said when it is asked to.
inline constexpr char kTextPinTestNeedsCable[] =
    "The pin test walks the parallel cable's pins one at a time. A USB programmer drives only "
    "its own four lines, so the pin test needs the parallel port and its cable.";
inline constexpr char kTextAvrOnlyProgrammer[] =
    "The USBasp programs AVR boards only: its firmware holds RESET low to program, and an "
    "8051-family board is programmed with RESET high. Use the parallel cable or an FTDI "
    "programmer for an 8051-family board.";

inline constexpr float MinimumFirmwareRevision = 3.0f;
inline constexpr float LowBatteryThreshold = 6.5f;

// Finds and reads the board, identifies it, fills the board panel and the
// pages and warns about old firmware or a low battery. Under "pintest" it
// runs the cable pin test instead.
void DownloadConfiguration(FlowContext& ctx);

// What a settings image read from a board says about it: type, firmware
// revision, battery, dialog mode (the board panel's texts); tells no one.
void IdentifyBoard(const BoardSettingsImage& image, BoardInfo& info);

// "the Fennick board", or "a board of unknown type", for outcome lines.
std::string BoardName(const BoardInfo& info);

// "Board Read Failed": no board answered a settings read.
void ShowBoardReadFailed(FlowContext& ctx);

// The read-back failed or no board answered: the panel says "Unknown".
void ShowUnknownBoard(FlowContext& ctx);

} // namespace kelvo
