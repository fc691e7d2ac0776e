// The simulated board as the link sees it: the link's own primitives, with
// the board as both port and clock, must get what the hand-written pin
// sequences get.
#include "link/Link.h"
#include "sim/SimBoard.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

using namespace kelvo;
using namespace simtest;

namespace {

struct LinkRig {
    explicit LinkRig(SimBoardState s) : board(std::move(s)), link(board, board, params) {
        link.CalibrateDelay(1.0f);
    }
    void Delays(int n) {
        for (int i = 0; i < n; ++i)
            link.CalibratedDelay();
    }
    void Send(Family f, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            link.SendByte(f, b);
    }
    std::uint8_t AvrRead(std::uint8_t op, std::uint8_t hi, std::uint8_t lo, int delays) {
        Send(Family::Avr, {op, hi, lo});
        Delays(delays);
        return link.ReceiveByte(Family::Avr);
    }
    void AvrEnable() {
        link.WriteControl(kControlProgramming);
        link.ReleaseResetAvr();
        link.HoldResetAvr();
        Delays(6);
        Send(Family::Avr, {0xAC, 0x53, 0xFF, 0xFF});
        Delays(3);
    }
    void Mcs51Enable() {
        link.WriteControl(kControlProgramming);
        link.WriteData(kLineReset);
        params.dataShadow8051 = kLineReset;
        Delays(4);
        Send(Family::Mcs51, {0xAC, 0x53, 0xFF});
        Delays(3);
    }
    std::uint8_t Mcs51Read(unsigned a, unsigned op, int delays) {
        Send(Family::Mcs51, {H(a, op), static_cast<std::uint8_t>(a)});
        Delays(delays);
        return link.ReceiveByte(Family::Mcs51);
    }

    SimBoard board;
    LinkParams params;
    Link link;
};

} // namespace

TEST(SimLink, CalibrationGivesAboutThreeMillisecondsPerDelay) {
    for (std::uint32_t cycle : {1000u, 2000u, 500u}) {
        SimBoardState s = AvrBoard();
        s.busCycleNs = cycle;
        LinkRig rig(s);
        EXPECT_EQ(static_cast<std::uint64_t>(rig.params.delayCount) * cycle, 3'000'000u) << cycle;
        const std::uint64_t before = rig.board.nowNs();
        rig.link.CalibratedDelay();
        EXPECT_EQ(rig.board.nowNs() - before, 3'000'000u);
    }
}

TEST(SimLink, AvrSignatureAndEepromAgreeWithPinSequences) {
    SimBoard handBoard(AvrBoard());
    Pins p{handBoard};
    AvrEnable(p);
    const auto handSig = AvrSignature(p);
    p.Send({0xC0, 0x00, 33, 0x01});
    const std::uint8_t handEarly = AvrReadEeprom(p, 33);
    p.WaitUs(9000);
    const std::uint8_t handLate = AvrReadEeprom(p, 33);

    LinkRig rig(AvrBoard());
    rig.AvrEnable();
    std::array<std::uint8_t, 3> sig{};
    for (std::uint8_t i = 0; i < 3; ++i)
        sig[i] = rig.AvrRead(0x30, 0x00, i, 1);
    EXPECT_EQ(sig, handSig);
    EXPECT_EQ(sig, (std::array<std::uint8_t, 3>{0x1E, 0x93, 0x07}));

    rig.Send(Family::Avr, {0xC0, 0x00, 33, 0x01});
    EXPECT_EQ(rig.AvrRead(0xA0, 0x00, 33, 0), handEarly); // no wait: too early
    EXPECT_EQ(handEarly, 0xFF);
    // The settings write waits five delays before its read-back.
    rig.Delays(3); // let the first write finish, or the next one is lost
    rig.Send(Family::Avr, {0xC0, 0x00, 34, 0x02});
    rig.Delays(5);
    EXPECT_EQ(rig.AvrRead(0xA0, 0x00, 34, 1), 0x02);
    EXPECT_EQ(rig.AvrRead(0xA0, 0x00, 33, 1), handLate);
    EXPECT_EQ(handLate, 0x01);
    rig.link.ReleaseResetAvr();
    EXPECT_EQ(rig.board.state().data[34], 0x02);
}

TEST(SimLink, AvrFirmwareWaitsCoverEraseAndPageWrite) {
    SimBoardState s = AvrBoard();
    s.code.assign(s.code.size(), 0x00);
    LinkRig rig(s);
    rig.AvrEnable();
    // Chip erase as the firmware writer does it, then a fresh enable.
    rig.link.WriteControl(kControlProgramming);
    rig.Delays(4);
    rig.Send(Family::Avr, {0xAC, 0x80, 0xFF, 0xFF});
    rig.Delays(3);
    rig.link.ReleaseResetAvr();
    rig.link.HoldResetAvr();
    rig.Delays(1);
    rig.AvrEnable();
    // Page 1: word 32 = AB CD, then the two delays after a page write.
    rig.Send(Family::Avr, {0x40, 0x0F, 32, 0xCD, 0x48, 0x0F, 32, 0xAB});
    rig.Send(Family::Avr, {0x4C, 0x00, 0x20, 0xFF});
    rig.Delays(2);
    EXPECT_EQ(rig.AvrRead(0x20, 0x00, 32, 0), 0xCD);
    EXPECT_EQ(rig.AvrRead(0x28, 0x00, 32, 0), 0xAB);
    EXPECT_EQ(rig.AvrRead(0x20, 0x00, 0, 0), 0xFF); // erased
    EXPECT_EQ(rig.AvrRead(0xA0, 0x00, 7, 1), 49);   // EEPROM kept
}

TEST(SimLink, Mcs51CodeAndDataAgreeWithPinSequences) {
    SimBoard handBoard(Mcs51Board());
    Pins p{handBoard};
    Mcs51Enable(p);
    p.Send({H(0x1ABC, 2), 0xBC, 0x3C});
    p.WaitUs(3000);
    const std::uint8_t handCode = Mcs51Read(p, 0x1ABC, 1);

    SimBoardState s = Mcs51Board();
    s.code.assign(s.code.size(), 0x00);
    LinkRig rig(s);
    rig.Mcs51Enable();
    EXPECT_EQ(rig.Mcs51Read(19, 5, 2), 57);
    // Chip erase as the firmware writer does it: the waits and the reset
    // cycle before the next enable must outlast the erase.
    rig.link.WriteControl(kControlProgramming);
    rig.Delays(4);
    rig.Send(Family::Mcs51, {0xAC, 0x04, 0xFF});
    rig.Delays(3);
    rig.link.WriteData(0x00);
    rig.link.WriteData(0x00);
    rig.Delays(1);
    rig.Mcs51Enable();
    // One delay between a code byte write and its read-back.
    rig.Send(Family::Mcs51, {H(0x1ABC, 2), 0xBC, 0x3C});
    rig.Delays(1);
    EXPECT_EQ(rig.Mcs51Read(0x1ABC, 1, 0), handCode);
    EXPECT_EQ(handCode, 0x3C);
    EXPECT_EQ(rig.Mcs51Read(0x0ABC, 1, 0), 0xFF);
    // Data byte write: two delays, then the read instruction and two more.
    rig.Send(Family::Mcs51, {H(35, 6), 35, 0x77});
    rig.Delays(2);
    EXPECT_EQ(rig.Mcs51Read(35, 5, 2), 0x77);
    rig.link.WriteData(0x00);
    EXPECT_EQ(rig.board.state().data[35], 0x77);
}

TEST(SimLink, WrongPortAndMissingBoardReadFloatingLine) {
    SimBoardState s = AvrBoard();
    s.address = 0x3BC;
    LinkRig rig(s);
    rig.AvrEnable();
    EXPECT_EQ(rig.AvrRead(0x30, 0x00, 0x00, 1), 0xFF);
    EXPECT_EQ(rig.board.enableCount(), 0u);
    rig.params.portBase = 0x3BC;
    rig.AvrEnable();
    EXPECT_EQ(rig.AvrRead(0x30, 0x00, 0x00, 1), 0x1E);

    SimBoardState dead = Mcs51Board();
    dead.faults.noPower = true;
    LinkRig off(dead);
    off.Mcs51Enable();
    EXPECT_EQ(off.Mcs51Read(19, 5, 2), 0x00);
}
