#include "link/IspBus.h"
#include "link/Link.h"
#include "link/PinTest.h"
#include "link/RecordingPort.h"
#include "settings/BoardSettingsImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace kelvo;
using Access = RecordingPort::Access;

namespace {

constexpr std::uint16_t kBase = 0x378;

// A clock that never moves (the port traffic tests do not calibrate).
class StillClock final : public Clock {
public:
    std::int64_t NowSeconds() override { return 1000; }
    std::int64_t NowMicroseconds() override { return 1000'000'000; }
    void SleepMs(std::uint32_t) override {}
};

Access W(std::uint16_t port, std::uint8_t value) {
    return {true, port, value};
}
Access R(std::uint16_t port, std::uint8_t value) {
    return {false, port, value};
}
Access Pause() {
    return W(kPausePort, 0x00);
}

void Append(std::vector<Access>& v, std::initializer_list<Access> more) {
    v.insert(v.end(), more.begin(), more.end());
}

void AddPauses(std::vector<Access>& v, int n) {
    for (int i = 0; i < n; ++i)
        v.push_back(Pause());
}

std::vector<Access> ExpectedSend(std::uint8_t shadow, std::uint8_t value) {
    std::vector<Access> v;
    for (int bit = 7; bit >= 0; --bit) {
        const std::uint8_t b = (value >> bit) & 1;
        v.push_back(W(kBase, shadow | b));
        AddPauses(v, 2);
        v.push_back(W(kBase, shadow | b | 0x02));
        AddPauses(v, 4);
        v.push_back(W(kBase, shadow | b));
        AddPauses(v, 1);
        v.push_back(W(kBase, shadow));
        AddPauses(v, 3);
    }
    return v;
}

struct LinkFixture : ::testing::Test {
    RecordingPort port;
    StillClock clock;
    LinkParams params;
    Link link{port, clock, params};
};

} // namespace

TEST_F(LinkFixture, SendByteAcOnTheAvrCable) {
    link.SendByte(Family::Avr, 0xAC);
    EXPECT_EQ(port.accesses, ExpectedSend(0x00, 0xAC));
    // Bits 1,0,1,0,1,1,0,0 on pin 2, each with one clock pulse on pin 3.
    std::vector<int> sampled;
    for (std::size_t i = 0; i < port.accesses.size(); ++i)
        if (port.accesses[i].port == kBase && (port.accesses[i].value & kLineSck))
            sampled.push_back(port.accesses[i].value & kLineMosi);
    EXPECT_EQ(sampled, (std::vector<int>{1, 0, 1, 0, 1, 1, 0, 0}));
    // 10 pauses and 4 data writes per bit.
    EXPECT_EQ(port.accesses.size(), 8u * 14u);
}

TEST_F(LinkFixture, SendByteKeepsTheResetLineOf8051Programming) {
    params.dataShadow8051 = kLineReset;
    link.SendByte(Family::Mcs51, 0xAC);
    EXPECT_EQ(port.accesses, ExpectedSend(0x04, 0xAC));
}

TEST_F(LinkFixture, ReceiveByteClocksEightBitsMsbFirst) {
    const std::uint8_t answer = 0x93;
    int bit = 7;
    port.readSource = [&](std::uint16_t) -> std::uint8_t {
        const bool one = (answer >> bit--) & 1;
        return one ? 0xFF : 0xDF; // only bit 5 is the cable's data line
    };
    for (Family family : {Family::Avr, Family::Mcs51}) {
        port.accesses.clear();
        bit = 7;
        params.dataShadow8051 = kLineReset;
        const std::uint8_t s = family == Family::Avr ? 0x00 : 0x04;
        EXPECT_EQ(link.ReceiveByte(family), answer);
        std::vector<Access> expected;
        for (int i = 7; i >= 0; --i) {
            expected.push_back(W(kBase, s | 0x02));
            AddPauses(expected, 1);
            expected.push_back(R(kBase + 1, ((answer >> i) & 1) ? 0xFF : 0xDF));
            AddPauses(expected, 3);
            expected.push_back(W(kBase, s));
            AddPauses(expected, 3);
        }
        EXPECT_EQ(port.accesses, expected);
        // The data register ends at the shadow: clock low, data line 0.
        EXPECT_EQ(port.WithoutPauses().back(), W(kBase, s));
    }
}

TEST_F(LinkFixture, AvrResetLinesAndRegistersFollowTheLow16BitsOfPortBase) {
    params.portBase = 0x50278; // only the low 16 bits are an I/O address
    params.dataShadowAvr = 0x55;
    port.readSource = [](std::uint16_t) { return std::uint8_t{0x20}; };
    link.HoldResetAvr();
    EXPECT_EQ(params.dataShadowAvr, 0x00);
    link.ReleaseResetAvr();
    link.WriteControl(kControlProgramming);
    link.WriteStatus(0x00);
    EXPECT_EQ(link.ReadStatus(), 0x20);
    EXPECT_EQ(port.accesses, (std::vector<Access>{W(0x278, 0x00), W(0x278, 0x04), W(0x27A, 0x10),
                                                  W(0x279, 0x00), R(0x279, 0x20)}));
}

TEST_F(LinkFixture, CalibratedDelayIsDelayCountPauses) {
    params.delayCount = 7;
    link.CalibratedDelay();
    EXPECT_EQ(port.accesses, std::vector<Access>(7, Pause()));
    port.accesses.clear();
    params.delayCount = 0;
    link.CalibratedDelay();
    EXPECT_TRUE(port.accesses.empty());
}

TEST_F(LinkFixture, PinTestWritesEachStepBeforeItsMessageAndEndsAtZero) {
    params.portBase = 0x278;
    const std::uint16_t d = 0x278, s = 0x279, c = 0x27A;
    // Status reads for pins 10 to 13: nAck high, Busy low, paper end low,
    // select high, in that order; status bit 7 reads 1 when pin 11 is low.
    std::vector<std::uint8_t> reads = {0x40, 0x80, 0x00, 0x10};
    port.readSource = [&](std::uint16_t) {
        const std::uint8_t v = reads.front();
        reads.erase(reads.begin());
        return v;
    };
    std::vector<std::string> shown;
    std::vector<std::size_t> accessesAtMessage;
    RunPinTest(link, [&](const std::string& text) {
        shown.push_back(text);
        accessesAtMessage.push_back(port.accesses.size());
    });
    // Control bit 0 drives pin 1 inverted: 0x01 holds it low, 0x00 raises it.
    std::vector<Access> expected = {W(c, 0x01), W(s, 0x00), W(d, 0x00), W(c, 0x00)};
    std::vector<std::size_t> at = {expected.size()};
    expected.push_back(W(c, 0x01));
    for (int bit = 0; bit < 8; ++bit) {
        expected.push_back(W(d, static_cast<std::uint8_t>(1u << bit)));
        at.push_back(expected.size());
    }
    expected.push_back(W(d, 0x00));
    const std::uint8_t statusWrites[] = {0x0F, 0x08, 0x04, 0x02};
    const std::uint8_t statusReads[] = {0x40, 0x80, 0x00, 0x10};
    for (int i = 0; i < 4; ++i) {
        expected.push_back(W(s, statusWrites[i]));
        expected.push_back(R(s, statusReads[i]));
        at.push_back(expected.size());
    }
    Append(expected, {W(c, 0x00), W(s, 0x00), W(d, 0x00)});
    EXPECT_EQ(port.accesses, expected);
    EXPECT_EQ(accessesAtMessage, at);

    std::vector<std::string> texts;
    for (int pin = 1; pin <= 9; ++pin)
        texts.push_back("Pin " + std::to_string(pin) + " is now high.");
    texts.push_back("Pin 10 reads high.");
    const std::string inputs =
        " reads low. Pins 10 to 13 are inputs driven by the cable, not by this test.";
    texts.push_back("Pin 11" + inputs);
    texts.push_back("Pin 12" + inputs);
    texts.push_back("Pin 13 reads high.");
    EXPECT_EQ(shown, texts);
}

namespace {

// Bus time made of pause writes, `cycleNs` each, and one stall of `stallNs`
// (a preempted process) that the clock shows once more than `stallAfter`
// writes have been made.
class CountingPort final : public Port {
public:
    void PortWrite(std::uint16_t, std::uint8_t) override { ++writes; }
    // A batch of pauses counts at once; the clock below only looks at the
    // total, so this is the same bus time as one write after another.
    void PortWriteRepeated(std::uint16_t, std::uint8_t, std::uint32_t count) override {
        writes += count;
    }
    std::uint8_t PortRead(std::uint16_t) override { return 0xFF; }
    std::uint64_t writes = 0;
};

constexpr std::uint64_t kNoStall = ~std::uint64_t{0};

class WriteDrivenClock final : public Clock {
public:
    // A cycle of 0 is a clock that never moves.
    WriteDrivenClock(const CountingPort& port, std::uint64_t cycleNs,
                     std::uint64_t stallAfter = kNoStall, std::uint64_t stallNs = 0)
        : port_(port), cycleNs_(cycleNs), stallAfter_(stallAfter), stallNs_(stallNs) {}
    std::uint64_t Ns() const {
        return 5'000'000'000 + port_.writes * cycleNs_ +
               (port_.writes > stallAfter_ ? stallNs_ : 0);
    }
    std::int64_t NowSeconds() override { return static_cast<std::int64_t>(Ns() / 1'000'000'000); }
    std::int64_t NowMicroseconds() override { return static_cast<std::int64_t>(Ns() / 1'000); }
    void SleepMs(std::uint32_t) override {}

private:
    const CountingPort& port_;
    std::uint64_t cycleNs_, stallAfter_, stallNs_;
};

struct Calibration {
    std::uint32_t count;
    std::uint64_t writes;
};

Calibration Calibrate(CalibrationClock how, std::uint64_t cycleNs, float multiplier,
                      std::uint64_t stallAfter = kNoStall, std::uint64_t stallNs = 0) {
    CountingPort port;
    WriteDrivenClock clock(port, cycleNs, stallAfter, stallNs);
    LinkParams params;
    Link link(port, clock, params);
    link.CalibrateDelay(multiplier, how);
    return {params.delayCount, port.writes};
}

std::uint32_t WholeSecondCount(std::uint64_t writesPerSecond, float multiplier) {
    return Calibrate(CalibrationClock::WholeSeconds,
                     writesPerSecond ? 1'000'000'000 / writesPerSecond : 0, multiplier)
        .count;
}

constexpr auto kFine = CalibrationClock::Microseconds;

} // namespace

TEST(CalibrateDelay, CountIsThreeMillisecondsOfWritesScaledByTheMultiplier) {
    // One write per microsecond: the whole-second loop stops at n = 1,000,000
    // (elapsed 100 hundredths), so 3 ms are 3000 writes.
    EXPECT_EQ(WholeSecondCount(1'000'000, 1.0f), 3000u);
    EXPECT_EQ(WholeSecondCount(1'000'000, 2.0f), 6000u);
    EXPECT_EQ(WholeSecondCount(1'000'000, 0.5f), 1500u);
    EXPECT_EQ(WholeSecondCount(5'000'000, 0.5f), 7500u); // stops at n = 10^7, elapsed 200
    // Stops at n = 1000 with elapsed 100: 0.3 * 1000 / 100 = 3; times 0.7 = 2.1.
    EXPECT_EQ(WholeSecondCount(1000, 0.7f), 2u);
    // The fine clock stops at the first batch over 10 ms, 100,000 writes.
    const Calibration fine = Calibrate(kFine, 1000, 1.0f);
    EXPECT_EQ(fine.count, 3000u);
    EXPECT_EQ(fine.writes, 111'100u); // 0.11 s
    EXPECT_EQ(Calibrate(kFine, 1000, 2.0f).count, 6000u);
}

TEST(CalibrateDelay, FineClockHoldsThreeMillisecondsAcrossPortSpeedsAndA50MsStall) {
    // Where a 50 ms stall falls: none, in the first batch, in the 10,000
    // batch, or in the first or last tenth of the batch that ends the
    // calibration (10,000 writes from 1.001 µs a write up, 100,000 below).
    enum class Stall { None, FirstBatch, ThirdBatch, FinalFirstPart, FinalLastPart };
    struct Case {
        std::uint64_t cycleNs;
        std::uint32_t count; // at multiplier 1, with or without the stall
    };
    for (const Case c : {Case{500, 6000}, Case{700, 4285}, Case{901, 3329}, Case{1000, 3000},
                         Case{1001, 2997}, Case{1500, 2000}, Case{2000, 1500}}) {
        const std::uint64_t finalStart = c.cycleNs > 1000 ? 1'100 : 11'100;
        const std::uint64_t finalN = c.cycleNs > 1000 ? 10'000 : 100'000;
        for (const Stall stall : {Stall::None, Stall::FirstBatch, Stall::ThirdBatch,
                                  Stall::FinalFirstPart, Stall::FinalLastPart}) {
            const std::uint64_t after = stall == Stall::None             ? kNoStall
                                        : stall == Stall::FirstBatch     ? 50
                                        : stall == Stall::ThirdBatch     ? 5'000
                                        : stall == Stall::FinalFirstPart ? finalStart
                                                                         : finalStart + finalN - 1;
            for (const float m : {1.0f, 2.5f}) {
                const Calibration cal = Calibrate(kFine, c.cycleNs, m, after, 50'000'000);
                const double delayNs = static_cast<double>(cal.count) * c.cycleNs;
                const double nominalNs = 3e6 * m;
                const std::string where = std::to_string(c.cycleNs) + " ns, stall " +
                                          std::to_string(static_cast<int>(stall)) + ", x" +
                                          std::to_string(m);
                if (m == 1.0f) {
                    EXPECT_EQ(cal.count, c.count) << where;
                }
                EXPECT_GE(delayNs, 0.95 * nominalNs) << where;
                EXPECT_NEAR(delayNs / nominalNs, 1.0, 0.01) << where;
                // Bus time, the stall aside: well under 0.15 s.
                EXPECT_LE(cal.writes * c.cycleNs, 112'000'000u) << where;
            }
        }
    }
}

TEST(CalibrateDelay, WholeSecondsSecondChangingAfterHundredWritesGivesEmptyDelays) {
    const Calibration cal = Calibrate(CalibrationClock::WholeSeconds, 10'000'000, 1.0f);
    EXPECT_EQ(cal.count, 0u);
    EXPECT_EQ(cal.writes, 200u); // 100 to reach the next second, 100 measured
}

TEST(CalibrateDelay, WholeSecondsDoNotDependOnWhereInTheSecondItStarts) {
    // Starting 0.95 s into a second used to stop at n = 100,000 when the
    // second changed during that batch, giving a tenth of the count.
    for (std::uint64_t offset : {0ull, 500'000ull, 950'000ull, 999'999ull}) {
        CountingPort port;
        port.writes = offset;
        WriteDrivenClock clock(port, 1000);
        LinkParams params;
        Link link(port, clock, params);
        link.CalibrateDelay(1.0f, CalibrationClock::WholeSeconds);
        EXPECT_EQ(params.delayCount, 3000u) << "offset " << offset;
    }
}

TEST(CalibrateDelay, GrowthBoundWithoutAVisibleTickGivesLongDelays) {
    // A clock that never moves: n runs 100, 1000, ... up to 1,410,065,408,
    // where ten times n wraps around. The count is then taken as if the
    // batch had lasted one hundredth of a second, so it errs long:
    // 0.3 x 1,410,065,408 = 423,019,622, which single precision holds as
    // 423,019,616.
    const std::uint64_t batches = std::uint64_t{1'111'111'100} + 1'410'065'408;
    for (const auto& [how, writes] :
         {std::pair{CalibrationClock::WholeSeconds, batches + 100'000'000},
          std::pair{kFine, batches}}) {
        const Calibration cal = Calibrate(how, 0, 1.0f);
        EXPECT_EQ(cal.count, 423'019'616u);
        EXPECT_EQ(cal.writes, writes);
    }
}

TEST(ScaleDelayCount, RoundsLikeAFloatProductThenTruncates) {
    struct Case {
        std::uint32_t count;
        float multiplier;
        std::uint32_t scaled;
    };
    for (const Case c : {
             Case{3000, 0.5f, 1500},
             Case{30, 0.7f, 21},                 // 20.9999996 rounds to 21 in single precision
             Case{10, 0.7f, 7},                  // and 6.99999988 to 7
             Case{3, 0.7f, 2},                   // truncated toward zero
             Case{3000, 1e-40f, 0},              // a subnormal factor
             Case{16'777'217, 1.0f, 16'777'216}, // 24 bits, ties to even: down
             Case{16'777'219, 1.0f, 16'777'220}, // and up
             Case{33'554'435, 1.0f, 33'554'436}, // above half: up
             Case{16'777'217, 3.0f, 50'331'648}, // the count is a float first
             Case{4'294'967'040, 1.0f, 4'294'967'040},
             Case{4'294'967'295, 1.0f, 4'294'967'295}, // 2^32 as a float: held
             Case{3000, 2.0e6f, 4'294'967'295},        // held instead of wrapping
         })
        EXPECT_EQ(ScaleDelayCount(c.count, c.multiplier), c.scaled)
            << c.count << " x " << c.multiplier;
}

TEST(SettingsImage, ResetMarksOnlyPageEntriesUnset) {
    BoardSettingsImage image;
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::int32_t>(i + 100);
    ResetSettingsImage(image);
    const std::vector<std::size_t> kept = {0, 20, 21, 22, 24, 25, 26, 28, 30, 31, 33, 36};
    for (std::size_t i = 0; i < image.size(); ++i) {
        const bool keep = std::find(kept.begin(), kept.end(), i) != kept.end();
        EXPECT_EQ(image[i], keep ? static_cast<std::int32_t>(i + 100) : Unset) << "entry " << i;
    }
}

TEST(SettingsImage, ReadOnlyEntries) {
    std::vector<std::size_t> readOnly;
    for (std::size_t i = 0; i < kImageEntries; ++i)
        if (IsReadOnlyEntry(i))
            readOnly.push_back(i);
    EXPECT_EQ(readOnly, (std::vector<std::size_t>{0, 20, 21, 22, 30, 31, 33, 36}));
}
