// The simulated board driven by hand-written pin sequences, independent of
// the link code.
#include "sim/SimBoard.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    EXPECT_EQ(p.Send({0x30, 0x00, 0x03, 0x00})[3], 0xFF); // there is no fourth byte
    // Leaving reset ends programming mode; a new session must enable again.
    p.Reset(true);
    p.Reset(false);
    EXPECT_NE(AvrSignature(p)[0], 0x1E);
}

TEST(SimBoardAvr, ProgrammingEnableOnlyTwentyMillisecondsAfterTheResetPulse) {
    // The enable counts from its first clock edge, two accesses after the
    // wait: 19,997 + 2 us is too soon, 19,998 + 2 us is exactly 20 ms.
    for (int waitUs : {19'997, 19'998}) {
        SimBoard board(AvrBoard());
        Pins p{board};
        p.Reset(true);
        p.Reset(false);
        p.WaitUs(waitUs);
        p.Send({0xAC, 0x53, 0x00, 0x00});
        const bool listening = waitUs == 19'998;
        EXPECT_EQ(AvrSignature(p)[0] == 0x1E, listening) << waitUs;
        EXPECT_EQ(board.enableCount(), listening ? 1u : 0u) << waitUs;
    }
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

TEST(SimBoardAvr, ChipEraseClearsFlashAndEepromUnlessEesaveIsProgrammed) {
    for (bool eesave : {false, true}) {
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

TEST(SimBoardAvr, LeavingProgrammingModeCutsAWriteShort) {
    // Half-way through a 9 ms EEPROM write, RESET goes high: only some of
    // the bits that were to change have changed.
    SimBoardState s = AvrBoard();
    s.data[40] = 0x0F;
    SimBoard board(s);
    Pins p{board};
    AvrEnable(p);
    p.Send({0xC0, 0x00, 40, 0xF0});
    p.WaitUs(4500);
    p.Reset(true);
    const std::uint8_t cell = board.state().data[40];
    EXPECT_NE(cell, 0x0F);
    EXPECT_NE(cell, 0xF0);
    EXPECT_FALSE(board.busy());
    EXPECT_FALSE(board.state().codeCutShort) << "an EEPROM write leaves the firmware alone";
    AvrEnable(p);
    EXPECT_EQ(AvrReadEeprom(p, 40), cell);

    // A new RESET pulse during a chip erase leaves flash partly erased and the
    // firmware unable to run, until a later erase completes.
    s.code.assign(s.code.size(), 0x00);
    SimBoard erased(s);
    Pins q{erased};
    AvrEnable(q);
    q.Send({0xAC, 0x80, 0x00, 0x00});
    q.WaitUs(8100); // three calibrated delays at their shortest
    q.Reset(true);
    q.Reset(false);
    const auto& code = erased.state().code;
    const auto cleared = std::count(code.begin(), code.end(), 0xFF);
    EXPECT_GT(cleared, 0);
    EXPECT_LT(cleared, static_cast<long>(code.size()));
    EXPECT_TRUE(erased.state().codeCutShort);
    q.WaitUs(20000);
    q.Send({0xAC, 0x53, 0x00, 0x00});
    q.Send({0xAC, 0x80, 0x00, 0x00});
    q.WaitUs(9000);
    q.Reset(true);
    EXPECT_EQ(code, std::vector<std::uint8_t>(code.size(), 0xFF));
    EXPECT_FALSE(erased.state().codeCutShort);
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
    AvrEnable(there);
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
    // DATA polling: while the byte is written, a read gives the complement
    // of its top bit.
    EXPECT_EQ(Mcs51Read(p, a, 1) & 0x80, 0x00);
    p.WaitUs(2500);
    EXPECT_EQ(Mcs51Read(p, a, 1), 0xC3);
    EXPECT_EQ(board.state().code[0x1234], 0xC3);
    EXPECT_EQ(Mcs51Read(p, 0x0034, 1), 0xFF); // address bits 12..8 matter
    // Even an 0xFF byte cannot be mistaken for written while it is busy.
    p.Send({H(0x35, 2), 0x35, 0xFF});
    EXPECT_EQ(Mcs51Read(p, 0x35, 1) & 0x80, 0x00);
    p.Send({H(19, 6), 19, 0xFF}); // lost: busy
    p.WaitUs(2500);
    EXPECT_EQ(Mcs51Read(p, 0x35, 1), 0xFF);
    p.Send({H(19, 6), 19, 0x80});
    EXPECT_EQ(Mcs51Read(p, 19, 5) & 0x80, 0x00);
    p.WaitUs(2500);
    EXPECT_EQ(Mcs51Read(p, 19, 5), 0x80);
}

TEST(SimBoard8051, LockModesStopProgrammingThenVerifyingUntilAnErase) {
    SimBoardState state = Mcs51Board();
    state.code[0x40] = 0x5A;
    for (std::uint8_t lock : {0xFE, 0xFD, 0xFC}) {
        state.lockBits = lock;
        SimBoard board(state);
        Pins p{board};
        Mcs51Enable(p);
        // LB1 (mode 2, and mode 3 with LB2): no code write; data still takes one.
        p.Send({H(0x41, 2), 0x41, 0x00});
        p.WaitUs(2500);
        EXPECT_EQ(board.state().code[0x41], (lock & 0x01) ? 0x00 : 0xFF) << int(lock);
        p.Send({H(19, 6), 19, 0x33});
        p.WaitUs(2500);
        EXPECT_EQ(board.state().data[19], 0x33) << int(lock);
        // LB1 and LB2 (mode 3): no verification; LB2 alone is no mode.
        EXPECT_EQ(Mcs51Read(p, 0x40, 1), lock == 0xFC ? 0xFF : 0x5A) << int(lock);
        // A finished chip erase clears the lock bits.
        p.Send({0xAC, 0x04, 0x00});
        p.WaitUs(16000);
        EXPECT_EQ(board.state().lockBits, 0xFF);
        p.Send({H(0x41, 2), 0x41, 0x00});
        p.WaitUs(2500);
        EXPECT_EQ(board.state().code[0x41], 0x00);
    }
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

TEST(SimBoard8051, ChipEraseClearsCodeAndDataInSixteenMilliseconds) {
    SimBoardState s = Mcs51Board();
    s.code.assign(s.code.size(), 0x5A);
    SimBoard board(s);
    Pins p{board};
    Mcs51Enable(p);
    p.Send({0xAC, 0x04, 0xFF});
    p.WaitUs(15'700);
    EXPECT_EQ(Mcs51Read(p, 0x100, 1), 0x00); // busy, and not like an erased cell
    EXPECT_EQ(Mcs51Read(p, 10, 5), 0x00);
    EXPECT_TRUE(board.busy());
    p.WaitUs(100);
    EXPECT_EQ(Mcs51Read(p, 0x1FFF, 1), 0xFF);
    EXPECT_EQ(Mcs51Read(p, 10, 5), 0xFF);
    EXPECT_EQ(board.state().code, std::vector<std::uint8_t>(k8051CodeSize, 0xFF));
    EXPECT_EQ(board.state().data, std::vector<std::uint8_t>(k8051DataSize, 0xFF));
}

TEST(SimBoard8051, DroppingRstCutsTheEraseShort) {
    SimBoardState s = Mcs51Board();
    s.code.assign(s.code.size(), 0x00);
    SimBoard board(s);
    Pins p{board};
    Mcs51Enable(p);
    p.Send({0xAC, 0x04, 0xFF});
    p.WaitUs(8100); // where three delays at their shortest dropped RST
    p.Reset(false);
    const auto& code = board.state().code;
    const auto cleared = std::count(code.begin(), code.end(), 0xFF);
    EXPECT_GT(cleared, 0);
    EXPECT_LT(cleared, static_cast<long>(code.size()));
    EXPECT_NE(board.state().data, std::vector<std::uint8_t>(k8051DataSize, 0xFF));
    EXPECT_NE(board.state().data, Mcs51Board().data);
    EXPECT_TRUE(board.state().codeCutShort);
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

namespace {

// A board whose settings block was wiped by a factory-defaults write, whose
// firmware knows its factory block.
SimBoardState WipedBoard(Family f) {
    SimBoardState s = f == Family::Avr ? AvrBoard() : Mcs51Board();
    const std::size_t n = SimSettingsBytes(f);
    s.factorySettings.assign(s.data.begin(), s.data.begin() + static_cast<long>(n));
    std::fill_n(s.data.begin(), n, 0xFF);
    const std::vector<std::uint8_t> fw = SimIdleFirmware(f);
    std::copy(fw.begin(), fw.end(), s.code.begin());
    return s;
}

// Holds the part in reset (programming level), lets it run for `runUs`, and
// puts it back into reset.
void RunFor(Pins& p, Family f, int runUs) {
    const bool programHigh = f == Family::Mcs51;
    p.Reset(programHigh);
    p.Reset(!programHigh);
    p.WaitUs(runUs);
    p.Reset(programHigh);
}

bool Restored(const SimBoard& board, const SimBoardState& s) {
    return std::equal(s.factorySettings.begin(), s.factorySettings.end(),
                      board.state().data.begin());
}

} // namespace

TEST(SimBoardFirmware, RestoresItsFactoryBlockOnlyOnceItRuns) {
    for (Family f : {Family::Avr, Family::Mcs51}) {
        const SimBoardState s = WipedBoard(f);
        {
            SimBoard board(s);
            Pins p{board};
            RunFor(p, f, 99'990); // reset again before the firmware is up
            EXPECT_FALSE(Restored(board, s));
            RunFor(p, f, 100'000);
            EXPECT_TRUE(Restored(board, s));
        }
        SimBoardState blank = s; // an erased chip has nothing to run
        std::fill_n(blank.code.begin(), SimResetVectorBytes(f), 0xFF);
        blank.code[SimResetVectorBytes(f)] = 0x00;
        SimBoardState damaged = s; // nor has a half-written one
        damaged.codeCutShort = true;
        SimBoardState noBlock = s;
        noBlock.factorySettings.clear();
        for (const SimBoardState& dead : {blank, damaged, noBlock}) {
            SimBoard board(dead);
            Pins p{board};
            RunFor(p, f, 1'000'000);
            EXPECT_EQ(board.state().data, dead.data);
        }
        // Any settings byte other than 0xFF is the user's: nothing restored.
        SimBoardState kept = s;
        kept.data[SimSettingsBytes(f) - 1] = 0x01;
        SimBoard board(kept);
        Pins p{board};
        RunFor(p, f, 1'000'000);
        EXPECT_EQ(board.state().data, kept.data);
    }
}

TEST(SimBoardFirmware, APoweredPartOutOfResetStartsWithoutAnyPortAccess) {
    // The data register starts at 0: the 8051 part is out of reset and runs,
    // the AVR is held in reset; an unpowered part never runs.
    for (Family f : {Family::Avr, Family::Mcs51}) {
        for (bool power : {true, false}) {
            SimBoardState s = WipedBoard(f);
            s.faults.noPower = !power;
            SimBoard board(s);
            board.SleepMs(100);
            EXPECT_EQ(Restored(board, s), power && f == Family::Mcs51)
                << (f == Family::Avr ? "avr" : "8051") << " power " << power;
        }
    }
}

TEST(SimBoardFirmware, SettleFinishesTheWriteAndStartsTheFirmware) {
    SimBoard board(WipedBoard(Family::Avr));
    Pins p{board};
    AvrEnable(p);
    p.Send({0xC0, 0x00, 100, 0x42});
    board.Settle(); // still in reset: the write ends, nothing starts
    EXPECT_EQ(board.state().data[100], 0x42);
    EXPECT_EQ(board.state().data[0], 0xFF);
    p.Reset(true);
    board.Settle();
    EXPECT_TRUE(Restored(board, WipedBoard(Family::Avr)));
}

TEST(SimBoardPins, LevelsFollowTheRegistersThroughTheInverters) {
    SimBoardState s = AvrBoard();
    s.faults.noBoard = true; // the pins are the port's, board or not
    s.floatingStatus = 0x50; // inputs: Busy low, nAck high, paper end low, select high
    SimBoard board(s);
    auto levels = [&] {
        std::vector<int> v;
        for (int pin = 1; pin <= 25; ++pin)
            v.push_back(board.PinHigh(pin) ? 1 : 0);
        return v;
    };
    //                  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18..25
    const std::vector<int> idle = {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1,
                                   1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(levels(), idle);
    board.PortWrite(kBase + 2, 0x0F);
    board.PortWrite(kBase, 0xA5);
    board.PortWrite(kBase + 1, 0xFF); // the status register is read-only
    EXPECT_EQ(levels(), (std::vector<int>{0, 1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1,
                                          0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    board.PortWrite(0x278, 0x00); // another port's registers are not these pins
    board.PortWrite(0x27A, 0x00);
    EXPECT_EQ(levels()[0], 0);
    EXPECT_EQ(levels()[1], 1);
    board.PortWrite(kBase + 2, 0x00);
    board.PortWrite(kBase, 0x00);
    EXPECT_EQ(levels(), idle);

    // With a powered part in programming mode, pin 12 is its MISO output.
    SimBoard avr(AvrBoard());
    Pins p{avr};
    AvrEnable(p);
    p.Send({0x30, 0x00, 0x00}); // signature byte 0, 0x1E, comes next
    p.Lines(SCK);
    EXPECT_FALSE(avr.PinHigh(12)); // bit 7 of 0x1E
    for (int bit = 0; bit < 3; ++bit) {
        p.Lines(0);
        p.Lines(SCK);
    }
    EXPECT_TRUE(avr.PinHigh(12)); // bit 4
}

TEST(SimBoardClock, RepeatedWritesCountLikeSingleOnes) {
    SimBoard one(AvrBoard()), bulk(AvrBoard());
    for (SimBoard* b : {&one, &bulk}) {
        Pins p{*b};
        AvrEnable(p);
        p.Send({0xC0, 0x00, 0x02, 0x24});
    }
    for (int i = 0; i < 8990; ++i)
        one.PortWrite(0x80, 0);
    bulk.PortWriteRepeated(0x80, 0, 8990);
    EXPECT_EQ(bulk.nowNs(), one.nowNs());
    bulk.PortWriteRepeated(kBase, SCK, 0); // no write at all: no time, no edge
    bulk.PortWriteRepeated(0x80, 0, 1);
    EXPECT_EQ(bulk.nowNs(), one.nowNs() + 1000);
    EXPECT_TRUE(bulk.busy());
    bulk.PortWriteRepeated(0x80, 0, 9);
    EXPECT_FALSE(bulk.busy());
    EXPECT_EQ(bulk.state().data[2], 0x24);
    // Repeats of the data register make one clock pulse, as single writes do.
    for (int i = 0; i < 10; ++i)
        one.PortWrite(0x80, 0);
    for (int i = 0; i < 5; ++i)
        one.PortWrite(kBase, SCK);
    for (int i = 0; i < 3; ++i)
        one.PortWrite(kBase, 0x00);
    bulk.PortWriteRepeated(kBase, SCK, 5);
    bulk.PortWriteRepeated(kBase, 0x00, 3);
    Pins p1{one}, p2{bulk};
    const auto answer = p1.Send({0xA0, 0x00, 0x02, 0x00, 0x00});
    EXPECT_EQ(p2.Send({0xA0, 0x00, 0x02, 0x00, 0x00}), answer);
    EXPECT_NE(answer[3], 0x24) << "one bit out of step";
}

namespace {

// Real time that passes only when the board sleeps or the test says so.
struct FakeWall final : WallClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::chrono::steady_clock::time_point Now() override { return now; }
    void SleepUntil(std::chrono::steady_clock::time_point when) override {
        now = std::max(now, when);
    }
};

} // namespace

TEST(SimBoardClock, PacedBoardKeepsStepWithTheWallClock) {
    using std::chrono::milliseconds;
    SimBoardState s = AvrBoard();
    s.pace = 100.0; // a hundred times real time
    FakeWall wall;
    SimBoard board(s, wall);
    const auto start = wall.now;
    board.SleepMs(1000);
    EXPECT_EQ(wall.now - start, milliseconds(10));
    board.PortWriteRepeated(0x80, 0, 200'000); // 0.2 s of bus time
    EXPECT_EQ(wall.now - start, milliseconds(12));
    // Single accesses sleep in steps of 2 ms of real time, never ahead.
    for (int i = 0; i < 300'000; ++i) {
        board.PortWrite(0x80, 0);
        ASSERT_GE(wall.now - start,
                  milliseconds(12) + std::chrono::nanoseconds(10) * (i + 1) - milliseconds(2));
    }
    EXPECT_EQ(wall.now - start, milliseconds(14));

    // After the program waited for its user, the board takes up from its
    // last look at the wall clock (1.4 s of virtual time) rather than racing
    // through the time it missed...
    wall.now += milliseconds(5000);
    auto before = wall.now;
    board.SleepMs(1000);
    EXPECT_EQ(wall.now - before, milliseconds(11));
    // ...but a lag shorter than a tenth of a second is made up.
    wall.now += milliseconds(50);
    before = wall.now;
    board.SleepMs(1000);
    EXPECT_EQ(wall.now, before);
    EXPECT_EQ(board.nowNs() - kSimStartNs, 3'500'000'000u); // pacing never moves virtual time

    // A board left to settle once the program is done with it takes no real
    // time, and pacing takes up from there.
    s.pace = 1.0;
    SimBoard done(s, wall);
    done.PortWrite(static_cast<std::uint16_t>(s.address), 0x04); // RESET released
    before = wall.now;
    done.Settle();
    EXPECT_GE(done.nowNs() - kSimStartNs, kFirmwareStartNs); // the firmware started
    EXPECT_EQ(wall.now, before);
    done.SleepMs(1000);
    EXPECT_EQ(wall.now - before, milliseconds(1000));

    // Unpaced, real time is never looked at.
    SimBoard unpaced(AvrBoard(), wall);
    before = wall.now;
    unpaced.SleepMs(60'000);
    EXPECT_EQ(wall.now, before);
}
