// The simulated board driven by hand-written pin sequences, independent of
// the link code.
#include "sim/SimBoard.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kelvo;
using namespace simtest;

TEST(SimBoardAvr, ReadsSignatureOnlyAfterProgrammingEnable) {
    SimBoard board(AvrBoard());
    Pins p{board};
    p.Reset(false);
    // Before the enable the part only echoes.
    EXPECT_NE(AvrSignature(p), (std::array<std::uint8_t, 3>{0x1E, 0x93, 0x07}));
    EXPECT_EQ(AvrEnable(p), 0x53); // the part echoes the second byte
    EXPECT_EQ(AvrSignature(p), (std::array<std::uint8_t, 3>{0x1E, 0x93, 0x07}));
    // Leaving reset ends programming mode; a new session must enable again.
    p.Reset(true);
    p.Reset(false);
    EXPECT_NE(AvrSignature(p)[0], 0x1E);
}

TEST(SimBoardAvr, ResetEdgeRestartsFraming) {
    SimBoard board(AvrBoard());
    Pins p{board};
    p.Reset(false);
    // Three stray clock pulses leave the shift register out of step...
    for (int i = 0; i < 3; ++i) {
        p.Lines(SCK);
        p.Lines(0);
    }
    p.Send({0xAC, 0x53, 0x00, 0x00});
    EXPECT_NE(AvrSignature(p)[0], 0x1E);
    // ...until a reset pulse starts over.
    AvrEnable(p);
    EXPECT_EQ(AvrSignature(p)[0], 0x1E);
}

TEST(SimBoardAvr, EepromWriteReadsBackAfterItsWriteTime) {
    SimBoard board(AvrBoard());
    Pins p{board};
    AvrEnable(p);
    p.Send({0xC0, 0x00, 0x14, 0x5A});
    EXPECT_TRUE(board.busy());
    p.WaitUs(9000);
    EXPECT_EQ(AvrReadEeprom(p, 0x14), 0x5A);
    // Address bit 8 travels in the second byte.
    p.Send({0xC0, 0x01, 0x14, 0xA5});
    p.WaitUs(9000);
    EXPECT_EQ(AvrReadEeprom(p, 0x114), 0xA5);
    EXPECT_EQ(AvrReadEeprom(p, 0x14), 0x5A);
    EXPECT_EQ(board.state().data[0x114], 0xA5);
}

TEST(SimBoardAvr, ReadBackTooEarlyFailsAndBusyInstructionsAreLost) {
    SimBoard board(AvrBoard());
    Pins p{board};
    AvrEnable(p);
    const std::uint8_t old21 = board.state().data[21];
    p.Send({0xC0, 0x00, 20, 0x03});
    EXPECT_EQ(AvrReadEeprom(p, 20), 0xFF); // still being written
    EXPECT_EQ(AvrReadEeprom(p, 21), 0xFF); // the whole EEPROM is busy
    p.Send({0xC0, 0x00, 21, 0x44});        // lost
    EXPECT_EQ(AvrSignature(p)[1], 0x93);   // other memories still answer
    p.WaitUs(8000);
    EXPECT_EQ(AvrReadEeprom(p, 20), 0xFF); // 9 ms not yet over
    p.WaitUs(1000);
    EXPECT_EQ(AvrReadEeprom(p, 20), 0x03);
    EXPECT_EQ(AvrReadEeprom(p, 21), old21);
}

TEST(SimBoardAvr, FlashPageLoadWriteAndRead) {
    SimBoard board(AvrBoard());
    Pins p{board};
    AvrEnable(p);
    // Page 3 = words 96..127; load words 0 and 31 of it.
    p.Send({0x40, 0x0F, 96, 0x11});
    p.Send({0x48, 0x0F, 96, 0x22});
    p.Send({0x40, 0x0F, 127, 0x33});
    p.Send({0x48, 0x0F, 127, 0x44});
    p.Send({0x4C, 3 >> 3, (3 & 7) << 5, 0xFF});
    EXPECT_EQ(p.Send({0x20, 0x00, 96, 0})[3], 0xFF); // page write in progress
    p.WaitUs(4500);
    EXPECT_EQ(p.Send({0x20, 0x00, 96, 0})[3], 0x11);
    EXPECT_EQ(p.Send({0x28, 0x00, 96, 0})[3], 0x22);
    EXPECT_EQ(p.Send({0x20, 0x00, 127, 0})[3], 0x33);
    EXPECT_EQ(p.Send({0x28, 0x00, 127, 0})[3], 0x44);
    EXPECT_EQ(p.Send({0x20, 0x00, 97, 0})[3], 0xFF); // not loaded: unchanged
    EXPECT_EQ(board.state().code[96 * 2 + 1], 0x22);
    // Without an erase, programming only clears bits.
    p.Send({0x40, 0x0F, 96, 0xF0});
    p.Send({0x4C, 0x00, 0x60, 0xFF});
    p.WaitUs(4500);
    EXPECT_EQ(p.Send({0x20, 0x00, 96, 0})[3], 0x10);
}

TEST(SimBoardAvr, ChipEraseClearsFlashAndKeepsEepromUnlessEesaveOff) {
    for (bool eesave : {true, false}) {
        SimBoardState s = AvrBoard();
        s.code.assign(s.code.size(), 0x12);
        s.eesave = eesave;
        SimBoard board(s);
        Pins p{board};
        AvrEnable(p);
        p.Send({0xAC, 0x80, 0x00, 0x00});
        EXPECT_EQ(p.Send({0x20, 0x00, 0x05, 0})[3], 0xFF);
        p.Send({0xC0, 0x00, 0x05, 0x77}); // lost during the erase
        p.WaitUs(9000);
        EXPECT_EQ(p.Send({0x28, 0x0F, 0xFF, 0})[3], 0xFF);
        EXPECT_EQ(AvrReadEeprom(p, 7), eesave ? 49 : 0xFF) << eesave;
        EXPECT_EQ(AvrReadEeprom(p, 5), eesave ? 35 : 0xFF) << eesave;
    }
}

TEST(SimBoardAvr, OtherPortAddressSeesNothing) {
    SimBoardState s = AvrBoard();
    s.address = 0x278;
    SimBoard board(s);
    Pins p{board};
    AvrEnable(p); // at 0x378: the board is not there and MISO floats
    EXPECT_EQ(AvrSignature(p), (std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(board.enableCount(), 0u);
    Pins there{board, 0x278};
    there.Reset(true);
    there.Reset(false);
    there.Send({0xAC, 0x53, 0x00, 0x00});
    EXPECT_EQ(AvrSignature(there)[0], 0x1E);
}

TEST(SimBoardFaults, NoBoardFloatsAndNoPowerClampsLow) {
    for (std::uint8_t floating : {0xFF, 0x00}) {
        SimBoardState s = AvrBoard();
        s.faults.noBoard = true;
        s.floatingStatus = floating;
        SimBoard board(s);
        Pins p{board};
        AvrEnable(p);
        EXPECT_EQ(AvrSignature(p)[0], floating == 0xFF ? 0xFF : 0x00);
    }
    SimBoardState s = AvrBoard();
    s.faults.noPower = true;
    SimBoard board(s);
    Pins p{board};
    AvrEnable(p);
    EXPECT_EQ(AvrSignature(p), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(board.enableCount(), 0u);
}

TEST(SimBoardFaults, WrongSignatureStuckBitAndLateAnswer) {
    SimBoardState s = AvrBoard();
    s.signature = {0x1E, 0x94, 0x03};
    s.faults.stuckAddress = 20;
    s.faults.stuckBit = 3;
    s.faults.stuckLevel = 1;
    s.faults.answerFromEnable = 3;
    s.data[20] = 0x02;
    SimBoard board(s);
    Pins p{board};
    for (int attempt = 1; attempt <= 3; ++attempt) {
        AvrEnable(p);
        EXPECT_EQ(AvrSignature(p)[0] == 0x1E, attempt == 3) << attempt;
    }
    EXPECT_EQ(AvrSignature(p), (std::array<std::uint8_t, 3>{0x1E, 0x94, 0x03}));
    EXPECT_EQ(AvrReadEeprom(p, 20), 0x0A);
    p.Send({0xC0, 0x00, 20, 0x00});
    p.WaitUs(9000);
    EXPECT_EQ(AvrReadEeprom(p, 20), 0x08);
    EXPECT_EQ(AvrReadEeprom(p, 19), 19 * 7);
}

TEST(SimBoardFaults, BitErrorsAreSeededAndDeterministic) {
    auto run = [](double rate, std::uint64_t seed) {
        SimBoardState s = AvrBoard();
        s.faults.bitErrorRate = rate;
        s.faults.bitErrorSeed = seed;
        SimBoard board(s);
        Pins p{board};
        AvrEnable(p);
        std::vector<std::uint8_t> got;
        for (unsigned a = 0; a < 200; ++a)
            got.push_back(AvrReadEeprom(p, a));
        return got;
    };
    std::vector<std::uint8_t> clean(200);
    for (unsigned a = 0; a < 200; ++a)
        clean[a] = static_cast<std::uint8_t>(a * 7);
    EXPECT_EQ(run(0.0, 5), clean);
    const auto noisy = run(0.002, 5);
    EXPECT_NE(noisy, clean);
    EXPECT_EQ(run(0.002, 5), noisy);
    EXPECT_NE(run(0.002, 6), noisy);
}

TEST(SimBoard8051, CodeByteWriteAndRead) {
    SimBoard board(Mcs51Board());
    Pins p{board};
    Mcs51Enable(p);
    const unsigned a = 0x1234;
    p.Send({H(a, 2), 0x34, 0xC3});
    EXPECT_EQ(Mcs51Read(p, a, 1), 0xFF); // programming
    p.WaitUs(2500);
    EXPECT_EQ(Mcs51Read(p, a, 1), 0xC3);
    EXPECT_EQ(board.state().code[0x1234], 0xC3);
    EXPECT_EQ(Mcs51Read(p, 0x0034, 1), 0xFF); // address bits 12..8 matter
}

TEST(SimBoard8051, DataWriteReadNeedsResetHighAndEnable) {
    SimBoard board(Mcs51Board());
    Pins p{board};
    p.Reset(true);
    EXPECT_EQ(Mcs51Read(p, 19, 5), 0xFF); // not enabled: pull-up only
    p.Send({0xAC, 0x53, 0x00});
    EXPECT_EQ(Mcs51Read(p, 19, 5), 57);
    p.Send({H(0x7FF, 6), 0xFF, 0x99});
    p.Send({H(19, 6), 19, 0x01}); // lost: busy
    p.WaitUs(2500);
    EXPECT_EQ(Mcs51Read(p, 0x7FF, 5), 0x99);
    EXPECT_EQ(Mcs51Read(p, 19, 5), 57);
    // Reset low lets the board run and ends programming.
    p.Reset(false);
    p.Reset(true);
    EXPECT_EQ(Mcs51Read(p, 19, 5), 0xFF);
    // The closing instruction ends it too.
    p.Send({0xAC, 0x53, 0x00});
    p.Send({0xAC, 0xFF, 0xFF});
    EXPECT_EQ(Mcs51Read(p, 19, 5), 0xFF);
}

TEST(SimBoard8051, ChipEraseClearsCodeOnly) {
    SimBoardState s = Mcs51Board();
    s.code.assign(s.code.size(), 0x5A);
    SimBoard board(s);
    Pins p{board};
    Mcs51Enable(p);
    p.Send({0xAC, 0x04, 0xFF});
    EXPECT_EQ(Mcs51Read(p, 0x100, 1), 0xFF);
    p.WaitUs(static_cast<int>(k8051ChipEraseNs / 1000));
    EXPECT_EQ(Mcs51Read(p, 0x1FFF, 1), 0xFF);
    EXPECT_EQ(Mcs51Read(p, 10, 5), 30);
    EXPECT_EQ(board.state().code, std::vector<std::uint8_t>(k8051CodeSize, 0xFF));
}

TEST(SimBoardClock, VirtualTimeFollowsAccessesAndSleeps) {
    SimBoardState s = AvrBoard();
    s.busCycleNs = 2000;
    SimBoard board(s);
    const std::int64_t start = board.NowSeconds();
    EXPECT_EQ(start, static_cast<std::int64_t>(kSimStartNs / 1'000'000'000));
    for (int i = 0; i < 499'999; ++i)
        board.PortWrite(0x80, 0);
    EXPECT_EQ(board.NowSeconds(), start);
    board.PortRead(0x379);
    EXPECT_EQ(board.NowSeconds(), start + 1);
    // A self-timed write finishes during a sleep.
    Pins p{board};
    AvrEnable(p);
    p.Send({0xC0, 0x00, 0x01, 0x42});
    board.SleepMs(9);
    EXPECT_FALSE(board.busy());
    EXPECT_EQ(AvrReadEeprom(p, 1), 0x42);
}
