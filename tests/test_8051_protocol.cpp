#include "link/Mcs51Protocol.h"

#include "test_operation_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvo;
using namespace kelvo::optest;
using Kind = RecordingProgressSink::Kind;

namespace {

const Tokens kEnable = {"C10", "D04", "~4", ">AC", ">53", ">FF", "~3"};
const Tokens kFinish = {"C10", "D04", "~3", ">AC", ">FF", ">FF", "~3", "D00"};

Tokens SettingsStart() {
    Tokens t = {"C00", "D00", "S00", kRigCalibration, "C10", "D04"};
    Append(t, kEnable);
    return t;
}

Tokens ReadData(unsigned address, unsigned value) {
    return {">05", ">" + Hex2(address), "~2", "<" + Hex2(value)};
}

Tokens WriteData(unsigned address, unsigned value) {
    Tokens t = {">06", ">" + Hex2(address), ">" + Hex2(value), "~2"};
    Append(t, ReadData(address, value));
    return t;
}

// Programming one code byte: write, one delay, read back at once.
Tokens CodeByte(unsigned address, unsigned value) {
    const unsigned high = (address & 0x1F00) >> 5;
    return {">" + Hex2(high | 2), ">" + Hex2(address), ">" + Hex2(value), "~1",
            ">" + Hex2(high | 1), ">" + Hex2(address), "<" + Hex2(value)};
}

// Data-memory reads (instruction 05) and writes (06) in a trace; address and
// data bytes may look like instructions, the delays that follow do not.
long DataReads(const Tokens& t) {
    long n = 0;
    for (std::size_t i = 0; i + 3 < t.size(); ++i)
        if (t[i] == ">05" && t[i + 2] == "~2" && t[i + 3][0] == '<')
            ++n;
    return n;
}

long DataWrites(const Tokens& t) {
    long n = 0;
    for (std::size_t i = 0; i + 3 < t.size(); ++i)
        if (t[i] == ">06" && t[i + 3] == "~2")
            ++n;
    return n;
}

} // namespace

TEST(Mcs51Settings, ReadMapsAddressesOneBelowTheImageAndLeavesEntryZero) {
    OperationRig rig;
    rig.image[0] = 0x77;
    rig.miso.push_back(10); // highest revision this family accepts
    for (unsigned a = 0; a <= 35; ++a)
        rig.miso.push_back(static_cast<std::uint8_t>(0x30 + a));

    EXPECT_EQ(Read8051Settings(rig.ctx), 1);

    Tokens expected = SettingsStart();
    Append(expected, ReadData(19, 10));
    for (unsigned a = 0; a <= 35; ++a)
        Append(expected, ReadData(a, 0x30 + a));
    expected.push_back("D00");
    EXPECT_EQ(rig.Trace(), expected);
    EXPECT_EQ(rig.image[0], 0x77);
    for (unsigned i = 1; i <= 36; ++i)
        EXPECT_EQ(rig.image[i], static_cast<int>(0x30 + i - 1)) << i;
    EXPECT_EQ(rig.params.dataShadow8051, 0x04);

    std::vector<int> positions = {0};
    for (int p = 1; p <= 36; ++p)
        positions.push_back(p);
    EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{36});
    EXPECT_EQ(rig.sink.Values(Kind::Position), positions);
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextDownloadingSettings});
    EXPECT_TRUE(rig.sink.Texts(Kind::TimeLeft).empty());
}

// A confirmed read makes its passes in one programming session, until two
// in a row agree; the image keeps the last pass.
TEST(Mcs51Settings, ConfirmedReadMakesPassesUntilTwoInARowAgree) {
    struct Row {
        const char* what;
        int extraReads;
        std::vector<unsigned> passes; // pass i answers 0x30 + address + passes[i]
        bool disagreed;
    };
    const Row rows[] = {
        {"unconfirmed: one pass", 0, {0}, false},
        {"two agree", 3, {0, 0}, false},
        {"a wrong first pass", 3, {1, 0, 0}, false},
        {"only the last two agree", 3, {0, 1, 2, 2}, false},
        {"agreeing with an older pass is not enough", 3, {0, 1, 0, 1}, true},
        {"one extra pass that differs", 1, {0, 1}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        OperationRig rig;
        rig.ctx.extraReads = row.extraReads;
        rig.miso.push_back(10);
        for (unsigned offset : row.passes)
            for (unsigned a = 0; a <= 35; ++a)
                rig.miso.push_back(static_cast<std::uint8_t>(0x30 + a + offset));
        rig.miso.push_back(0x99); // a pass too many would read this

        EXPECT_EQ(Read8051Settings(rig.ctx), 1);
        EXPECT_EQ(rig.ctx.readsDisagreed, row.disagreed);
        EXPECT_EQ(DataReads(rig.Trace()), 1 + 36 * static_cast<long>(row.passes.size()));
        for (unsigned i = 1; i <= 36; ++i)
            EXPECT_EQ(rig.image[i], static_cast<int>(0x30 + i - 1 + row.passes.back())) << i;
        // The bar runs from 0 again for each pass.
        const std::vector<int> positions = rig.sink.Values(Kind::Position);
        EXPECT_EQ(std::count(positions.begin(), positions.end(), 0),
                  static_cast<long>(row.passes.size()));
    }
}

TEST(Mcs51Settings, RevisionOutside1To10FailsReadAndWriteAndCodeRead) {
    int (*const operations[])(OperationContext&) = {Read8051Settings, Write8051Settings,
                                                    Read8051Code};
    for (std::uint8_t revision : {0, 11, 0xFF}) {
        for (int op = 0; op < 3; ++op) {
            OperationRig rig;
            CodeRead code;
            rig.ctx.codeRead = &code;
            rig.ctx.bypassReadCheck = op > 0 ? 1 : 0; // never lets a write or code read through
            rig.image.fill(0x12);
            rig.miso.push_back(revision);
            EXPECT_EQ(operations[op](rig.ctx), 0);
            Tokens expected = SettingsStart();
            Append(expected, ReadData(19, revision));
            expected.push_back("D00");
            EXPECT_EQ(rig.Trace(), expected) << int(revision) << op;
            EXPECT_EQ(rig.image[1], 0x12);
            EXPECT_TRUE(code.memory.empty());
        }
    }
}

TEST(Mcs51Settings, BypassReadCheckReadsWhateverAnswers) {
    OperationRig rig;
    rig.ctx.bypassReadCheck = 1;
    rig.image[0] = 5;
    rig.idle = kLineMiso; // nothing connected
    EXPECT_EQ(Read8051Settings(rig.ctx), 1);
    EXPECT_EQ(rig.image[0], 5);
    for (unsigned i = 1; i <= 36; ++i)
        EXPECT_EQ(rig.image[i], 0xFF);
    const Tokens trace = rig.Trace();
    EXPECT_EQ(DataReads(trace), 36) << "no revision read";
}

TEST(Mcs51Settings, WriteVerifiesEachByteThenCloses) {
    OperationRig rig;
    for (unsigned i = 0; i <= 36; ++i)
        rig.image[i] = static_cast<std::int32_t>(0x40 + i);
    rig.image[0] = 0x99; // not written
    rig.image[5] = 0x1FF;
    rig.miso.push_back(4);
    for (unsigned a = 0; a <= 35; ++a)
        rig.miso.push_back(static_cast<std::uint8_t>(rig.image[a + 1] & 0xFF));

    EXPECT_EQ(Write8051Settings(rig.ctx), 1);

    Tokens expected = SettingsStart();
    Append(expected, ReadData(19, 4));
    for (unsigned a = 0; a <= 35; ++a)
        Append(expected, WriteData(a, static_cast<unsigned>(rig.image[a + 1]) & 0xFF));
    expected.push_back("D00");
    Append(expected, kFinish);
    EXPECT_EQ(rig.Trace(), expected);
    std::vector<int> positions = {0};
    for (int p = 0; p <= 35; ++p)
        positions.push_back(p);
    EXPECT_EQ(rig.sink.Values(Kind::Position), positions);
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextUploadingSettings});
}

TEST(Mcs51Settings, WriteStopsAtTheAddressThatReadsBackDifferently) {
    OperationRig rig;
    rig.image.fill(0x21);
    rig.miso.push_back(3);
    for (int a = 0; a < 10; ++a)
        rig.miso.push_back(0x21);
    rig.miso.push_back(0x20);

    EXPECT_EQ(Write8051Settings(rig.ctx), 0);

    const Tokens trace = rig.Trace();
    Tokens tail = WriteData(10, 0x21);
    tail.back() = "<20";
    tail.push_back("D00");
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(Tokens(trace.end() - static_cast<long>(tail.size()), trace.end()), tail);
    EXPECT_EQ(DataWrites(trace), 11);
    EXPECT_EQ(rig.sink.Values(Kind::Position).back(), 10);
}

TEST(Mcs51Firmware, ProgramsEachByteAtItsAddressThenCloses) {
    OperationRig rig;
    // An empty line and the end record are passed over; data after them is
    // still programmed.
    SetFirmware(rig, {DataRecord(0x1234, {0xAB, 0xCD}), "", kEndRecord, DataRecord(0x0100, {0x5A})},
                "mcs51_basic.efw"); // N = 5
    rig.miso = {0xAB, 0xCD, 0x5A};

    EXPECT_EQ(Write8051Firmware(rig.ctx), 1);

    Tokens expected = {kRigCalibration, "C00", "D00", "S00"};
    Append(expected, kEnable);
    Append(expected, {"C10", "D04", "~4", ">AC", ">04", ">FF", "~6", "D00", "D00", "~1"});
    Append(expected, kEnable);
    Append(expected, CodeByte(0x1234, 0xAB));
    Append(expected, CodeByte(0x1235, 0xCD));
    Append(expected, CodeByte(0x0100, 0x5A));
    Append(expected, kFinish);
    expected.push_back("D00");
    EXPECT_EQ(rig.Trace(), expected);
    EXPECT_EQ(CodeByte(0x1234, 0)[0], ">92");

    EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{5});
    EXPECT_EQ(rig.sink.Values(Kind::Position), (std::vector<int>{0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextUploadingFirmware});
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Tokens{kTextTimeLeftCalculating});
    EXPECT_EQ(rig.stepsRemaining, 0.0f);
}

TEST(Mcs51Firmware, TextsFollowCalibrationAndEachEstimatePrecedesItsStep) {
    OperationRig rig;
    std::vector<std::string> records;
    for (unsigned i = 0; i < 12; ++i) {
        records.push_back(DataRecord(i, {static_cast<std::uint8_t>(0x40 + i)}));
        rig.miso.push_back(static_cast<std::uint8_t>(0x40 + i));
    }
    records.push_back(kEndRecord);
    SetFirmware(rig, records, "mcs51_time_left.efw"); // N = 14
    StampedSink sink(rig.port);
    OperationContext ctx = rig.ContextFor(sink);
    rig.clock.step = 1; // each step a second, once calibrated

    EXPECT_EQ(Write8051Firmware(ctx), 1);
    // The calibration's 1100 pauses, the texts, then the registers.
    ASSERT_GE(sink.events.size(), 4u);
    EXPECT_EQ(sink.Stamped("status"),
              Tokens{"status Uploading firmware to your board, please wait...@1100"});
    EXPECT_EQ(sink.Stamped("range"), Tokens{"range 14@1103"});
    // Windows close at steps 5 and 10, four steps in five seconds each: 9
    // steps left take 11 s, 4 take 5 s (step 5 is not yet counted off).
    const Tokens times = sink.Stamped("time");
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[0], "time Time Left: Calculating...@1100");
    const Tokens positions = sink.Stamped("position");
    ASSERT_EQ(positions.size(), 15u); // 0, then each of the 14 steps
    auto at = [](const std::string& stamped) { return stamped.substr(stamped.find('@')); };
    EXPECT_EQ(times[1], "time Time Left: 00:11" + at(positions[6]));
    EXPECT_EQ(times[2], "time Time Left: 00:05" + at(positions[11]));
    EXPECT_EQ(positions[6].substr(0, positions[6].find('@')), "position 5");
}

TEST(Mcs51Firmware, ReadBackDifferenceAndBadChecksumFail) {
    const std::string record = DataRecord(0x0010, {1, 2, 3});
    std::string badChecksum = record;
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    {
        OperationRig rig;
        SetFirmware(rig, {record, kEndRecord}, "mcs51_readback.efw");
        const std::string before = rig.firmwareText;
        rig.miso = {1, 7};
        EXPECT_EQ(Write8051Firmware(rig.ctx), 0);
        const Tokens trace = rig.Trace();
        Tokens tail = CodeByte(0x11, 2);
        tail.back() = "<07";
        Append(tail, {"D00", "D00"});
        EXPECT_EQ(Tokens(trace.end() - static_cast<long>(tail.size()), trace.end()), tail);
        EXPECT_EQ(rig.firmwareText, before);
    }
    {
        OperationRig rig;
        SetFirmware(rig, {badChecksum, kEndRecord}, "mcs51_checksum.efw");
        rig.miso = {1, 2, 3};
        EXPECT_EQ(Write8051Firmware(rig.ctx), 0);
        // Every byte of the record is programmed before the test fails it.
        const Tokens trace = rig.Trace();
        Tokens tail = CodeByte(0x12, 3);
        tail.push_back("D00");
        EXPECT_EQ(Tokens(trace.end() - static_cast<long>(tail.size()), trace.end()), tail);
    }
}

TEST(Mcs51Records, ChecksumTestLooksAtAllEightBits) {
    OperationRig rig;
    rig.params.delayCount = kRigDelayCount;
    rig.idle = kLineMiso;
    const std::string good = DataRecord(0x0000, {0xFF});
    std::string high = good; // off by 0x10: the low four bits still sum to 0
    high[high.size() - 2] = static_cast<char>(high[high.size() - 2] == 'F' ? 'E' : 'F');
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, good), kRecordProgrammed);
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, high), kRecordFailed);
    // No data: passes or fails on the checksum alone, with no traffic.
    rig.port.accesses.clear();
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, ":0000000000"), kRecordProgrammed);
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, ":0000000001"), kRecordFailed);
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, ":00000001AA"), kRecordNothingToProgram);
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, ""), kRecordNothingToProgram);
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, "0000000000"), kRecordFailed);
    EXPECT_TRUE(rig.port.accesses.empty());
}

TEST(Mcs51Records, AddressesWrapAt8K) {
    OperationRig rig;
    rig.params.delayCount = kRigDelayCount;
    rig.miso = {0x66};
    EXPECT_EQ(Isp8051ProgramRecord(rig.bus, DataRecord(0x3FFF, {0x66})), kRecordProgrammed);
    const Tokens expected = {">FA", ">FF", ">66", "~1", ">F9", ">FF", "<66"};
    EXPECT_EQ(rig.Trace(), expected);
}

TEST(Mcs51Firmware, RefusesImagesWithNothingToProgramOrABadLine) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {kEndRecord},
        {":0000000000", kEndRecord},
        {DataRecord(0, {1}), "garbage", kEndRecord},
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        OperationRig rig;
        SetFirmware(rig, refused[i], "mcs51_refused.efw");
        EXPECT_EQ(Write8051Firmware(rig.ctx), 0) << i;
        EXPECT_EQ(rig.Trace(), Tokens{kRigCalibration}) << i;
        EXPECT_TRUE(rig.sink.events.empty()) << i;
    }
}
