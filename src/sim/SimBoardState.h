#pragma once

#include "link/Link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvo {

// Memory sizes of the two parts the boards carry.
inline constexpr std::size_t kAvrDataSize = 512;   // ATmega8 data EEPROM
inline constexpr std::size_t kAvrCodeSize = 8192;  // ATmega8 flash, 4K words
inline constexpr std::size_t kAvrPageBytes = 64;   // 32 words per flash page
inline constexpr std::size_t k8051DataSize = 2048; // 8051-family data memory
inline constexpr std::size_t k8051CodeSize = 8192; // 8051-family code memory

// Where each family keeps its settings block in data memory: image entry i
// lives at address i on an AVR board and at i - 1 on an 8051-family board.
inline constexpr std::size_t kAvrSettingsBytes = 37;
inline constexpr std::size_t k8051SettingsBytes = 36;

inline constexpr std::uint16_t kSimDefaultAddress = 0x378;
inline constexpr std::uint32_t kSimDefaultBusCycleNs = 1000;
// The paces a board can keep: much slower and its pauses outlast any run
// (and their lengths overflow), much faster and it could not keep up anyway.
inline constexpr double kSimMinPace = 0.001;
inline constexpr double kSimMaxPace = 1000.0;

// 0 (unpaced) or a pace from kSimMinPace to kSimMaxPace.
constexpr bool SimPaceAllowed(double pace) {
    return pace == 0.0 || (pace >= kSimMinPace && pace <= kSimMaxPace);
}

// Faults that can be switched on in a simulated board.
struct SimFaults {
    bool noBoard = false; // nothing on the cable: every input floats
    bool noPower = false; // the part is there but unpowered: it clamps MISO low
    // One data-memory bit that always reads at `stuckLevel`; address < 0: none.
    int stuckAddress = -1;
    int stuckBit = 0;   // 0..7
    int stuckLevel = 0; // 0 or 1
    // The part ignores programming-enable instructions before the Nth one.
    std::uint32_t answerFromEnable = 1;
    // Probability that a bit crossing the cable (either direction) flips.
    double bitErrorRate = 0.0;
    std::uint64_t bitErrorSeed = 1;

    bool operator==(const SimFaults&) const = default;
};

// Everything a simulated board keeps between runs: its part, its memories,
// where it sits on the bus and what is wrong with it.
struct SimBoardState {
    Family family = Family::Avr;
    std::array<std::uint8_t, 3> signature = {0x1E, 0x93, 0x07}; // AVR only
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> code;
    // The settings block as the board left the factory, laid out as in data
    // memory from address 0; empty when unknown.
    std::vector<std::uint8_t> factorySettings;
    std::uint16_t address = kSimDefaultAddress; // data register of its port
    std::uint32_t busCycleNs = kSimDefaultBusCycleNs;
    std::uint8_t floatingStatus = 0xFF; // status byte read when nothing drives the lines
    // AVR: the EESAVE fuse is programmed, so chip erase keeps the data EEPROM.
    // The factory leaves it unprogrammed.
    bool eesave = false;
    // A code write or chip erase was cut short and no complete one followed:
    // the firmware cannot run.
    bool codeCutShort = false;
    // Lock bits, 1 unprogrammed and 0 programmed, as the part keeps them. AVR:
    // the lock byte (bit 0 LB1, bit 1 LB2, bits 2..5 the boot lock bits);
    // 8051 family: bit 0 LB1, bit 1 LB2, bit 2 LB3. LB1 stops further
    // programming, LB2 verification too (code memory then reads 0xFF); a
    // completed chip erase clears them all.
    std::uint8_t lockBits = 0xFF;
    // Virtual time paced to the wall clock: 1 real time, 10 ten times faster;
    // 0 runs as fast as it can.
    double pace = 0.0;
    SimFaults faults;

    bool operator==(const SimBoardState&) const = default;
};

std::size_t SimDataSize(Family family);
std::size_t SimCodeSize(Family family);
std::size_t SimSettingsBytes(Family family);

// A board of that family with both memories erased (0xFF).
SimBoardState MakeErasedSimBoard(Family family);

// The first code bytes the part runs after reset.
std::size_t SimResetVectorBytes(Family family);

// A few bytes of firmware that start and idle, for boards made without one:
// enough for the part to run and its factory block to be restored.
std::vector<std::uint8_t> SimIdleFirmware(Family family);

} // namespace kelvo
