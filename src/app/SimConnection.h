#pragma once

#include "app/BoardConnection.h"
#include "files/ProgrammerChoice.h"
#include "settings/BoardSettingsImage.h"
#include "sim/SimBoardState.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kelvo {

// What a new simulated board is made of.
struct NewSimBoard {
    Family family = Family::Avr;
    int boardTypeCode = 1;
    int firmwareMajor = 3;
    int firmwareMinor = 10;    // hundredths, as the board reports it
    int batteryVolts = 9;      // entry 31
    int batteryFraction = 102; // entry 30, 1/256 volt: 9.4 V in all
    int halcyraMode = 0;
};

// The settings block a board leaves the factory with: every page entry a
// valid value, the read-only entries from `board`.
BoardSettingsImage FactorySettingsImage(const NewSimBoard& board);

// A board running a small idle firmware, with `settings` in data memory at
// its family's addresses; the block is also kept as the board's factory
// settings.
SimBoardState MakeSimBoardWithSettings(Family family, const BoardSettingsImage& settings);

// Such a board with the factory settings of `board`.
SimBoardState MakeNewSimBoard(const NewSimBoard& board);

class FtdiIspBus;
class SimBoard;
class SimFtdiDevice;
class SimUsbasp;
class UsbaspBus;

// A simulated programmer of this kind on the simulated board's programming
// header: for a USB one, the simulated device and the bus the board
// operations go through; for the parallel port, nothing.
class SimProgrammer {
public:
    // `error` says why the FTDI bus could not be made (a wiring the
    // simulated chip refuses). The simulated FTDI chip is wired as `pins`.
    SimProgrammer(ProgrammerKind kind, SimBoard& board, std::string& error,
                  const FtdiPins& pins = {});
    ~SimProgrammer();
    SimProgrammer(const SimProgrammer&) = delete;
    SimProgrammer& operator=(const SimProgrammer&) = delete;

    IspBus* bus() const;              // null: the parallel port
    std::uint64_t RoundTrips() const; // none through the parallel port
    std::uint64_t BytesMoved() const; // both ways
    // Pulled out of its socket: its next transfer fails.
    void Unplug();

private:
    std::unique_ptr<SimUsbasp> usbasp_; // before the bus that talks to it
    std::unique_ptr<UsbaspBus> usbaspBus_;
    std::unique_ptr<FtdiIspBus> ftdiBus_;
    SimFtdiDevice* ftdi_ = nullptr; // owned by its bus
};

// The simulated board as a connection. With request.simFile the board comes
// from that state file, Save() and Close() write it back, and the file is
// locked until Close(): opening a board another run has open is refused.
// Without a file it is a fresh default board that lives for this run only.
// The board answers at its own address whatever portBase the link uses.
std::unique_ptr<BoardConnection> OpenSimulatedConnection(const ConnectionRequest& request,
                                                         std::uint16_t portBase,
                                                         std::string& error);

// Reads a board state file, a regular file of at most 1 MB; on failure
// returns false and a message that names the file and what is wrong.
bool LoadSimState(const std::string& path, SimBoardState& state, std::string& error);

// Writes a board state file safely (see WriteFileReplacing); a file another
// run has open is not replaced.
bool WriteSimStateFile(const std::string& path, const SimBoardState& state, std::string& error);

} // namespace kelvo
