// The simulated board as the link sees it: the link's own primitives, with
// the board as both port and clock, must get what the hand-written pin
// sequences get, and the protocols' waits must hold against the parts'
// timing rules at the shortest delay a calibration can give.
#include "link/AvrProtocol.h"
#include "link/Link.h"
#include "link/Mcs51Protocol.h"
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "sim/SimBoard.h"
#include "test_operation_support.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kelvo;
using namespace simtest;

namespace {

// A bus cycle whose whole-second calibration stops at n = 10^6 with the
// least time to spare: 3000 pauses of 901 ns, a 2.703 ms delay. (The
// shortest any cycle gives is 2.7 ms; every wait below holds at that too.)
// 1000 ns gives the nominal 3 ms.
constexpr std::uint32_t kShortestCycleNs = 901;
constexpr std::uint32_t kNominalCycleNs = 1000;
// The cycle from 0.5 to 2 µs whose microsecond calibration gives the
// shortest delay, where truncating the count loses the most: 1518 pauses,
// 2.998 ms.
constexpr std::uint32_t kShortestFineCycleNs = 1975;
constexpr auto kWholeSeconds = CalibrationClock::WholeSeconds;
constexpr auto kFine = CalibrationClock::Microseconds;

struct LinkRig {
    explicit LinkRig(SimBoardState s, CalibrationClock how = CalibrationClock::WholeSeconds)
        : board(std::move(s)), link(board, board, params), bus(link) {
        link.CalibrateDelay(1.0f, how);
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
        link.ReleaseResetAvr();
        link.HoldResetAvr();
        IspAvrEnable(bus);
    }
    std::uint8_t Mcs51Read(unsigned a, unsigned op, int delays) {
        Send(Family::Mcs51, {H(a, op), static_cast<std::uint8_t>(a)});
        Delays(delays);
        return link.ReceiveByte(Family::Mcs51);
    }

    SimBoard board;
    LinkParams params;
    Link link;
    ParallelIspBus bus;
};

} // namespace

TEST(SimLink, CalibrationGivesAboutThreeMillisecondsPerDelay) {
    struct Case {
        CalibrationClock how;
        std::uint32_t cycle;
        std::uint64_t delayNs;
    };
    for (const Case c :
         {Case{kWholeSeconds, kNominalCycleNs, 3'000'000}, Case{kWholeSeconds, 2000, 3'000'000},
          Case{kWholeSeconds, 500, 3'000'000}, Case{kWholeSeconds, kShortestCycleNs, 2'703'000},
          Case{kFine, kNominalCycleNs, 3'000'000}, Case{kFine, 500, 3'000'000},
          Case{kFine, kShortestCycleNs, 2'999'429}, Case{kFine, kShortestFineCycleNs, 2'998'050}}) {
        SimBoardState s = AvrBoard();
        s.busCycleNs = c.cycle;
        LinkRig rig(s, c.how);
        EXPECT_EQ(std::uint64_t{rig.params.delayCount} * c.cycle, c.delayNs) << c.cycle;
        const std::uint64_t before = rig.board.nowNs();
        rig.link.CalibratedDelay();
        EXPECT_EQ(rig.board.nowNs() - before, c.delayNs);
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

TEST(SimLink, Mcs51CodeAndDataAgreeWithPinSequences) {
    SimBoard handBoard(Mcs51Board());
    Pins p{handBoard};
    Mcs51Enable(p);
    p.Send({H(0x1ABC, 2), 0xBC, 0x3C});
    p.WaitUs(3000);
    const std::uint8_t handCode = Mcs51Read(p, 0x1ABC, 1);

    SimBoardState s = Mcs51Board();
    s.busCycleNs = kShortestCycleNs;
    LinkRig rig(s);
    Isp8051Enable(rig.bus);
    EXPECT_EQ(Isp8051ReadDataByte(rig.bus, 19), 57);
    // One delay between a code byte write and its read-back.
    rig.Send(Family::Mcs51, {H(0x1ABC, 2), 0xBC, 0x3C});
    rig.Delays(1);
    EXPECT_EQ(rig.Mcs51Read(0x1ABC, 1, 0), handCode);
    EXPECT_EQ(handCode, 0x3C);
    EXPECT_EQ(rig.Mcs51Read(0x0ABC, 1, 0), 0xFF);
    // Data byte write: two delays, then the read instruction and two more.
    EXPECT_EQ(Isp8051WriteDataByte(rig.bus, 35, 0x77), 2);
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
    Isp8051Enable(off.bus);
    EXPECT_EQ(off.Mcs51Read(19, 5, 2), 0x00);
}

namespace {

// Passes every access on to the board and notes when each write to its data
// register happened, in virtual time.
class TimedTap final : public Port {
public:
    explicit TimedTap(SimBoard& board) : board_(board) {}
    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        board_.PortWrite(port, value);
        if (port == kBase)
            writes.push_back({board_.nowNs(), value});
    }
    void PortWriteRepeated(std::uint16_t port, std::uint8_t value, std::uint32_t count) override {
        if (port == kBase)
            Port::PortWriteRepeated(port, value, count);
        else
            board_.PortWriteRepeated(port, value, count);
    }
    std::uint8_t PortRead(std::uint16_t port) override { return board_.PortRead(port); }

    struct Write {
        std::uint64_t ns;
        std::uint8_t value;
    };
    std::vector<Write> writes;

private:
    SimBoard& board_;
};

// The smallest time to spare, in ns, over every wait of a run: Programming
// Enable after the RESET pulse (AVR) and the chip erase before the part
// leaves programming mode. Worked out from the data-register writes alone,
// as the part sees them.
struct Margins {
    std::int64_t enable = std::numeric_limits<std::int64_t>::max();
    std::int64_t erase = std::numeric_limits<std::int64_t>::max();
    int enables = 0;
    int erases = 0;
};

Margins Measure(const std::vector<TimedTap::Write>& writes, Family f) {
    const bool avr = f == Family::Avr;
    const std::size_t frameBytes = avr ? 4 : 3;
    const std::uint8_t eraseOp = avr ? 0x80 : 0x04;
    const std::int64_t eraseNs = avr ? kAvrChipEraseNs : k8051ChipEraseNs;
    Margins m;
    std::uint8_t lines = 0x00;
    std::uint64_t resetFell = 0, eraseStart = 0;
    bool awaitingEnable = false, erasing = false;
    std::vector<std::uint8_t> frame;
    std::uint8_t byte = 0;
    int bits = 0;
    for (const TimedTap::Write& w : writes) {
        const auto programming = [&](std::uint8_t v) { return ((v & kLineReset) != 0) != avr; };
        if (programming(lines) != programming(w.value)) {
            frame.clear();
            bits = 0;
            if (programming(w.value)) {
                resetFell = w.ns;
                awaitingEnable = avr;
            } else if (erasing) {
                m.erase = std::min(m.erase, static_cast<std::int64_t>(w.ns - eraseStart) - eraseNs);
                ++m.erases;
                erasing = false;
            }
        } else if (programming(w.value) && !(lines & kLineSck) && (w.value & kLineSck)) {
            if (awaitingEnable) {
                m.enable =
                    std::min(m.enable, static_cast<std::int64_t>(w.ns - resetFell) -
                                           static_cast<std::int64_t>(kAvrEnableAfterResetNs));
                ++m.enables;
                awaitingEnable = false;
            }
            byte = static_cast<std::uint8_t>((byte << 1) | (w.value & kLineMosi));
            if (++bits == 8) {
                frame.push_back(byte);
                bits = 0;
                if (frame.size() == frameBytes) {
                    if (frame[0] == 0xAC && frame[1] == eraseOp) {
                        erasing = true;
                        eraseStart = w.ns;
                    }
                    frame.clear();
                }
            }
        }
        lines = w.value;
    }
    return m;
}

// How the delay is calibrated and on which bus cycle.
struct Timing {
    CalibrationClock how;
    std::uint32_t cycle;
};

class SimWaits : public ::testing::TestWithParam<std::tuple<Family, Timing>> {};

} // namespace

TEST_P(SimWaits, FirmwareWriteWaitsMeetTheDatasheetsJustEnough) {
    const auto [family, timing] = GetParam();
    const std::uint32_t cycle = timing.cycle;
    SimBoardState s = family == Family::Avr ? AvrBoard() : Mcs51Board();
    s.busCycleNs = cycle;
    s.code.assign(s.code.size(), 0x00); // the erase has everything to do
    SimBoard board(s);
    TimedTap tap(board);
    LinkParams params;
    Link link(tap, board, params);
    ParallelIspBus bus(link);
    RecordingProgressSink sink;
    std::array<std::int32_t, 37> image{};
    std::string text;
    float steps = 0;
    OperationContext ctx(bus, sink, image, text, steps);
    ctx.calibrationClock = timing.how;
    std::vector<std::string> records;
    for (int r = 0; r < 4; ++r) // one full AVR page
        records.push_back(optest::DataRecord(16u * r, std::vector<std::uint8_t>(16, 0x5A)));
    records.push_back(optest::kEndRecord);
    for (const std::string& r : records)
        text += r + "\n";
    // Named after the test case, so the cases may run at the same time.
    ctx.firmwarePath = optest::WriteTokenFile("sim_waits.efw", 6);

    int succeeded = -1;
    RunOperation(family == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware, ctx,
                 succeeded);
    EXPECT_EQ(succeeded, 1);
    EXPECT_FALSE(board.state().codeCutShort);
    EXPECT_EQ(board.state().code[0x3F], 0x5A);
    EXPECT_EQ(board.state().code[0x40], 0xFF);

    const Margins m = Measure(tap.writes, family);
    const std::int64_t delayNs = static_cast<std::int64_t>(params.delayCount) * cycle;
    EXPECT_EQ(m.erases, 1);
    EXPECT_GE(m.erase, 0);
    if (family == Family::Avr) {
        EXPECT_EQ(m.enables, 2); // entering programming mode, and again after the erase
        EXPECT_GE(m.enable, 0);
    }
    if (timing.how == kWholeSeconds && cycle == kShortestCycleNs) {
        // At the shortest delay of all, just enough: one delay less would
        // fall short.
        EXPECT_LT(m.erase, delayNs);
        if (family == Family::Avr) {
            EXPECT_LT(m.enable, delayNs);
        }
    }
    RecordProperty("eraseMarginNs", std::to_string(m.erase));
    RecordProperty("enableMarginNs", std::to_string(m.enable));
}

INSTANTIATE_TEST_SUITE_P(
    FamiliesAndDelays, SimWaits,
    ::testing::Combine(::testing::Values(Family::Avr, Family::Mcs51),
                       ::testing::Values(Timing{kWholeSeconds, kShortestCycleNs},
                                         Timing{kWholeSeconds, kNominalCycleNs},
                                         Timing{kFine, kShortestFineCycleNs},
                                         Timing{kFine, kNominalCycleNs})),
    [](const ::testing::TestParamInfo<std::tuple<Family, Timing>>& info) {
        const Timing t = std::get<1>(info.param);
        return std::string(std::get<0>(info.param) == Family::Avr ? "Avr" : "Mcs51") +
               (t.how == kWholeSeconds ? "WholeSeconds" : "Microseconds") +
               (t.cycle == kNominalCycleNs ? "Nominal" : "Shortest");
    });
