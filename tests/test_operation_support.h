#pragma once

// Shared rig for the board-operation tests: a recording port whose MISO line
// answers scripted bytes, a clock the test controls, and a decoder that turns
// the recorded accesses back into registers, bytes and calibrated waits.

#include "link/Clock.h"
#include "link/Link.h"
#include "link/OperationContext.h"
#include "link/ParallelIspBus.h"
#include "link/ProgressSink.h"
#include "link/RecordingPort.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kelvo::optest {

// Answers queued times first, then `now`, advancing it by `step` per call.
class FakeClock final : public Clock {
public:
    std::int64_t NowSeconds() override {
        if (!queued.empty()) {
            now = queued.front();
            queued.pop_front();
            return now;
        }
        const std::int64_t t = now;
        now += step;
        return t;
    }
    std::int64_t NowMicroseconds() override { return NowSeconds() * 1'000'000; }
    void SleepMs(std::uint32_t) override {}

    std::deque<std::int64_t> queued;
    std::int64_t now = 1000;
    std::int64_t step = 0;
};

// Decoded port traffic, one token per register write, byte or wait.
using Tokens = std::vector<std::string>;

inline void Append(Tokens& t, const Tokens& more) {
    t.insert(t.end(), more.begin(), more.end());
}

inline std::string Hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

// Tokens: "D04"/"C10"/"S00" register writes, ">AC" a byte sent, "<5A" a byte
// received, "~3" three calibrated delays, "P1100" any other run of pauses.
inline std::vector<std::string> Decode(const std::vector<RecordingPort::Access>& a,
                                       std::uint16_t base, std::uint32_t delayCount) {
    using A = RecordingPort::Access;
    auto pause = [&](std::size_t i) { return i < a.size() && a[i] == A{true, 0x80, 0}; };
    auto dataWrite = [&](std::size_t i) {
        return i < a.size() && a[i].isWrite && a[i].port == base;
    };
    auto pauses = [&](std::size_t i, int n) {
        for (int k = 0; k < n; ++k)
            if (!pause(i + k))
                return false;
        return true;
    };
    auto sent = [&](std::size_t i, std::uint8_t& value) {
        value = 0;
        for (int bit = 0; bit < 8; ++bit, i += 14) {
            if (!dataWrite(i) || !pauses(i + 1, 2) || !dataWrite(i + 3) || !pauses(i + 4, 4) ||
                !dataWrite(i + 8) || !pause(i + 9) || !dataWrite(i + 10) || !pauses(i + 11, 3))
                return false;
            const std::uint8_t v = a[i].value, s = a[i + 10].value;
            if ((v & ~1u) != s || a[i + 3].value != (v | kLineSck) || a[i + 8].value != v)
                return false;
            value = static_cast<std::uint8_t>((value << 1) | (v & 1));
        }
        return true;
    };
    auto received = [&](std::size_t i, std::uint8_t& value) {
        value = 0;
        for (int bit = 0; bit < 8; ++bit, i += 10) {
            if (!dataWrite(i) || !(a[i].value & kLineSck) || !pause(i + 1) || i + 2 >= a.size() ||
                a[i + 2].isWrite || a[i + 2].port != base + 1 || !pauses(i + 3, 3) ||
                !dataWrite(i + 6) || (a[i + 6].value & (kLineSck | kLineMosi)) || !pauses(i + 7, 3))
                return false;
            value =
                static_cast<std::uint8_t>((value << 1) | ((a[i + 2].value & kLineMiso) ? 1 : 0));
        }
        return true;
    };
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < a.size()) {
        std::uint8_t value = 0;
        if (sent(i, value)) {
            out.push_back(">" + Hex2(value));
            i += 112;
        } else if (received(i, value)) {
            out.push_back("<" + Hex2(value));
            i += 80;
        } else if (pause(i)) {
            std::size_t n = 0;
            while (pause(i + n))
                ++n;
            if (delayCount && n % delayCount == 0)
                out.push_back("~" + std::to_string(n / delayCount));
            else
                out.push_back("P" + std::to_string(n));
            i += n;
        } else {
            const char* reg = a[i].port == base       ? "D"
                              : a[i].port == base + 1 ? "S"
                              : a[i].port == base + 2 ? "C"
                                                      : "?";
            out.push_back((a[i].isWrite ? std::string(reg) : "R" + std::string(reg)) +
                          Hex2(a[i].value));
            ++i;
        }
    }
    return out;
}

// The calibration these rigs script, in whole seconds, whose clock readings
// are few: the second has just changed, then 100 writes inside one second,
// 1000 writes across a second boundary, so every calibrated delay is 3
// pauses.
inline constexpr std::uint32_t kRigDelayCount = 3;
inline constexpr char kRigCalibration[] = "P1100";

struct OperationRig {
    OperationRig() {
        clock.queued = {-1, 0, 0, 0, 0, 1};
        ctx.calibrationClock = CalibrationClock::WholeSeconds;
        port.readSource = [this](std::uint16_t) -> std::uint8_t {
            if (miso.empty())
                return idle;
            const bool bit = (miso.front() >> (7 - misoBit)) & 1;
            if (++misoBit == 8) {
                misoBit = 0;
                miso.pop_front();
            }
            return bit ? kLineMiso : 0x00;
        };
    }

    // A context reporting to another sink, with the rig's firmware file and
    // calibration.
    OperationContext ContextFor(ProgressSink& other) {
        OperationContext c{bus, other, image, firmwareText, stepsRemaining};
        c.firmwarePath = ctx.firmwarePath;
        c.calibrationClock = ctx.calibrationClock;
        return c;
    }

    std::vector<std::string> Trace() const {
        return Decode(port.accesses, static_cast<std::uint16_t>(params.portBase), kRigDelayCount);
    }

    RecordingPort port;
    FakeClock clock;
    LinkParams params;
    Link link{port, clock, params};
    ParallelIspBus bus{link};
    RecordingProgressSink sink;
    std::array<std::int32_t, 37> image{};
    std::string firmwareText;
    float stepsRemaining = 0.0f;
    OperationContext ctx{bus, sink, image, firmwareText, stepsRemaining};
    std::deque<std::uint8_t> miso; // bytes the board answers, most significant bit first
    int misoBit = 0;
    std::uint8_t idle = 0x00; // status byte once the script is used up
};

// Progress events, each with the number of port accesses made before it.
class StampedSink final : public ProgressSink {
public:
    explicit StampedSink(const RecordingPort& port) : port_(port) {}
    void SetRange(int max) override { Add("range " + std::to_string(max)); }
    void SetPosition(int position) override { Add("position " + std::to_string(position)); }
    void SetStatus(const std::string& text) override { Add("status " + text); }
    void SetTimeLeft(const std::string& text) override { Add("time " + text); }
    void SetWarning(const std::string& text) override { Add("warning " + text); }

    // The events whose text starts with `prefix`, stamped "text@accesses".
    std::vector<std::string> Stamped(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& [text, at] : events)
            if (text.rfind(prefix, 0) == 0)
                out.push_back(text + "@" + std::to_string(at));
        return out;
    }

    std::vector<std::pair<std::string, std::size_t>> events;

private:
    void Add(std::string text) { events.emplace_back(std::move(text), port_.accesses.size()); }
    const RecordingPort& port_;
};

// A firmware file of `tokens` tokens under the test temp directory.
inline std::string WriteTokenFile(const std::string& name, int tokens) {
    // Named after the running test too: ctest runs each family of a
    // parameterised test in its own process, at the same time.
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string prefix =
        test ? std::string(test->test_suite_name()) + "." + test->name() + "-" : "";
    for (char& c : prefix)
        if (c == '/')
            c = '_';
    const std::filesystem::path path =
        std::filesystem::path(::testing::TempDir()) / (prefix + name);
    std::ofstream out(path);
    for (int i = 0; i < tokens; ++i)
        out << "token" << i << "\n";
    return path.string();
}

// An Intel HEX data record with a correct checksum.
inline std::string DataRecord(unsigned address, const std::vector<std::uint8_t>& bytes,
                              unsigned type = 0) {
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = ":" + Hex2(static_cast<unsigned>(bytes.size())) + Hex2(address >> 8) +
                       Hex2(address & 0xFF) + Hex2(type);
    for (std::uint8_t b : bytes) {
        line += Hex2(b);
        sum += b;
    }
    return line + Hex2(0x100 - (sum & 0xFF));
}

inline constexpr char kEndRecord[] = ":00000001FF";

// The given records, one per line, and the token file that goes with them
// (a header token plus one per record).
inline void SetFirmware(OperationRig& rig, const std::vector<std::string>& records,
                        const std::string& fileName) {
    rig.firmwareText.clear();
    for (const std::string& r : records)
        rig.firmwareText += r + "\n";
    rig.ctx.firmwarePath = WriteTokenFile(fileName, static_cast<int>(records.size()) + 1);
}

} // namespace kelvo::optest
