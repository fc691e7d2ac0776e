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
    for (int pin = 1; pin <= 10; ++pin)
        texts.push_back("Pin " + std::to_string(pin) + " is now high.");
    const std::string inputs =
        " reads low. Pins 10 to 13 are inputs driven by the cable, not by this test.";
    texts.push_back("Pin 11" + inputs);
    texts.push_back("Pin 12" + inputs);
    texts.push_back("Pin 13 is now high.");
    EXPECT_EQ(shown, texts);
}

namespace {

// Bus time made of pause writes: the clock's second advances every
// `writesPerSecond` writes, starting part-way into a second.
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

class WriteDrivenClock final : public Clock {
public:
    WriteDrivenClock(const CountingPort& port, std::uint64_t writesPerSecond)
        : port_(port), rate_(writesPerSecond) {}
    std::int64_t NowSeconds() override {
        return rate_ ? static_cast<std::int64_t>(port_.writes / rate_) : 5;
    }
    std::int64_t NowMicroseconds() override { return NowSeconds() * 1'000'000; }
    void SleepMs(std::uint32_t) override {}

private:
    const CountingPort& port_;
    std::uint64_t rate_;
};

std::uint32_t Calibrate(std::uint64_t writesPerSecond, float multiplier,
                        std::uint64_t* writes = nullptr) {
    CountingPort port;
    WriteDrivenClock clock(port, writesPerSecond);
    LinkParams params;
    Link link(port, clock, params);
    link.CalibrateDelay(multiplier);
    if (writes)
        *writes = port.writes;
    return params.delayCount;
}

} // namespace

TEST(CalibrateDelay, CountIsThreeMillisecondsOfWritesScaledByTheMultiplier) {
    // One write per microsecond: the loop stops at n = 1,000,000 (elapsed
    // 100 hundredths), so 3 ms are 3000 writes.
    EXPECT_EQ(Calibrate(1'000'000, 1.0f), 3000u);
    EXPECT_EQ(Calibrate(1'000'000, 2.0f), 6000u);
    EXPECT_EQ(Calibrate(1'000'000, 0.5f), 1500u);
    EXPECT_EQ(Calibrate(5'000'000, 0.5f), 7500u); // stops at n = 10^7, elapsed 200
}

TEST(CalibrateDelay, SecondChangingAfterHundredWritesGivesEmptyDelays) {
    std::uint64_t writes = 0;
    EXPECT_EQ(Calibrate(100, 1.0f, &writes), 0u);
    EXPECT_EQ(writes, 200u); // 100 to reach the next second, 100 measured
}

TEST(CalibrateDelay, DoesNotDependOnWhereInTheSecondItStarts) {
    // Starting 0.95 s into a second used to stop at n = 100,000 when the
    // second changed during that batch, giving a tenth of the count.
    for (std::uint64_t offset : {0ull, 500'000ull, 950'000ull, 999'999ull}) {
        CountingPort port;
        port.writes = offset;
        WriteDrivenClock clock(port, 1'000'000);
        LinkParams params;
        Link link(port, clock, params);
        link.CalibrateDelay(1.0f);
        EXPECT_EQ(params.delayCount, 3000u) << "offset " << offset;
    }
}

TEST(CalibrateDelay, ScalesInSinglePrecision) {
    // Stops at n = 10,000 with elapsed 100: 30 pauses; 30 x 0.7f is 21 in
    // single precision (20 if the product were taken in double).
    EXPECT_EQ(Calibrate(10'000, 0.7f), 21u);
}

TEST(CalibrateDelay, TruncatesTowardZero) {
    // Stops at n = 1000 with elapsed 100: 0.3 * 1000 / 100 = 3; times 0.7 = 2.1.
    EXPECT_EQ(Calibrate(1000, 0.7f), 2u);
}

TEST(CalibrateDelay, GrowthBoundWithoutAVisibleSecondGivesLongDelays) {
    // A clock that never moves: n runs 100, 1000, ... up to 1,410,065,408,
    // where ten times n wraps around. The count is then taken as if the
    // batch had lasted one hundredth of a second, so it errs long.
    std::uint64_t writes = 0;
    // 0.3 x 1,410,065,408 = 423,019,622, which single precision holds as
    // 423,019,616.
    EXPECT_EQ(Calibrate(0, 1.0f, &writes), 423'019'616u);
    EXPECT_EQ(writes, 100'000'000ull + 1'111'111'100ull + 1'410'065'408ull);
}

TEST(CalibrateDelay, ScaledCountSaturatesInsteadOfWrapping) {
    EXPECT_EQ(Calibrate(1'000'000, 2.0e6f), 4'294'967'295u);
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
