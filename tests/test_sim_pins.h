#pragma once

// Drives the simulated board's pins by hand, independent of the link code.
#include "sim/SimBoard.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace simtest {

using kelvo::Family;
using kelvo::MakeErasedSimBoard;
using kelvo::SimBoard;
using kelvo::SimBoardState;

constexpr std::uint16_t kBase = 0x378;
constexpr std::uint8_t MOSI = 0x01, SCK = 0x02, RST = 0x04;

// Drives the cable lines of one port address directly.
struct Pins {
    SimBoard& board;
    std::uint16_t base = kBase;
    std::uint8_t held = 0x00; // RESET level kept while clocking

    void Lines(std::uint8_t v) { board.PortWrite(base, v); }
    void Reset(bool high) {
        held = high ? RST : 0x00;
        Lines(held);
    }
    bool Miso() { return (board.PortRead(static_cast<std::uint16_t>(base + 1)) & 0x20) != 0; }

    // Full-duplex byte, mode 0: data set up with the clock low, the part
    // samples on the rising edge, we read while the clock is high.
    std::uint8_t Transfer(std::uint8_t out) {
        std::uint8_t in = 0;
        for (int bit = 7; bit >= 0; --bit) {
            const std::uint8_t d = (out >> bit) & 1 ? MOSI : 0;
            Lines(held | d);
            Lines(held | d | SCK);
            in = static_cast<std::uint8_t>((in << 1) | (Miso() ? 1 : 0));
            Lines(held | d);
        }
        Lines(held);
        return in;
    }
    std::vector<std::uint8_t> Send(std::initializer_list<std::uint8_t> bytes) {
        std::vector<std::uint8_t> in;
        for (std::uint8_t b : bytes)
            in.push_back(Transfer(b));
        return in;
    }
    void WaitUs(int us) {
        for (int i = 0; i < us; ++i)
            board.PortWrite(0x80, 0);
    }
};

inline SimBoardState AvrBoard() {
    SimBoardState s = MakeErasedSimBoard(Family::Avr);
    for (std::size_t i = 0; i < s.data.size(); ++i)
        s.data[i] = static_cast<std::uint8_t>(i * 7);
    return s;
}

inline SimBoardState Mcs51Board() {
    SimBoardState s = MakeErasedSimBoard(Family::Mcs51);
    for (std::size_t i = 0; i < s.data.size(); ++i)
        s.data[i] = static_cast<std::uint8_t>(i * 3);
    return s;
}

// A RESET pulse, the 20 ms the part needs after it, then Programming
// Enable. Returns what came back during the third byte.
inline std::uint8_t AvrEnable(Pins& p) {
    p.Reset(true);
    p.Reset(false);
    p.WaitUs(20000);
    return p.Send({0xAC, 0x53, 0x00, 0x00})[2];
}

inline std::array<std::uint8_t, 3> AvrSignature(Pins& p) {
    std::array<std::uint8_t, 3> sig{};
    for (std::uint8_t i = 0; i < 3; ++i)
        sig[i] = p.Send({0x30, 0x00, i, 0x00})[3];
    return sig;
}

inline std::uint8_t AvrReadEeprom(Pins& p, unsigned a) {
    return p.Send({0xA0, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0})[3];
}

inline void Mcs51Enable(Pins& p) {
    p.Reset(false);
    p.Reset(true);
    p.Send({0xAC, 0x53, 0x00});
}

inline std::uint8_t H(unsigned a, unsigned op) {
    return static_cast<std::uint8_t>(((a & 0x1F00) >> 5) | op);
}

inline std::uint8_t Mcs51Read(Pins& p, unsigned a, unsigned op) {
    return p.Send({H(a, op), static_cast<std::uint8_t>(a), 0x00})[2];
}

} // namespace simtest
