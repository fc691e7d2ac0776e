#pragma once

#include "link/FtdiDevice.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kelvo {

// What reaches the board's programming header.
enum class ProgrammerKind { Parallel, Ft232r, Usbasp };

struct ProgrammerChoice {
    ProgrammerKind kind = ProgrammerKind::Parallel;
    std::string serial; // a USB programmer's serial; empty: the only one connected
    FtdiPins pins;
    bool operator==(const ProgrammerChoice&) const = default;
};

// "parallel", "ft232r", "usbasp", optionally ":SERIAL" after a USB one.
bool ParseProgrammer(std::string_view text, ProgrammerChoice& choice, std::string& error);
std::string ProgrammerName(const ProgrammerChoice& choice);

// "sck=TXD,miso=RTS,mosi=RXD,reset=CTS" (the default): each signal on a line named as on
// the FT232R (TXD RXD RTS CTS DTR DSR DCD RI) or by number, D0 to D7 or 0 to
// 7; four different lines, all four named.
bool ParseFtdiPins(std::string_view text, FtdiPins& pins, std::string& error);
std::string FtdiPinsText(const FtdiPins& pins);

// The per-user file the choice is kept in, beside nothing of the design's
// own: "programmer=NAME" and "ftdi-pins=..." lines, "#" comments.
inline constexpr char kProgrammerSettingsFile[] = "programmer.conf";

// A missing file is the default choice; a line that cannot be read is an
// error naming the file and the line.
bool LoadProgrammerSettings(const std::filesystem::path& file, ProgrammerChoice& choice,
                            std::string& error);
bool SaveProgrammerSettings(const std::filesystem::path& file, const ProgrammerChoice& choice,
                            std::string& error);

} // namespace kelvo
