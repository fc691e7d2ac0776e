#include "link/AvrProtocol.h"
#include "link/Operation.h"
#include "settings/BoardSettingsImage.h"

#include "test_operation_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvo;
using namespace kelvo::optest;
using Kind = RecordingProgressSink::Kind;

namespace {

const Tokens kEnable = {"C10", "~8", ">AC", ">53", ">FF", ">FF", "~3"};

Tokens SettingsStart() {
    Tokens t = {"C00", "S00", kRigCalibration, "C10", "D04", "D00"};
    Append(t, kEnable);
    return t;
}

Tokens ReadByte(unsigned address, unsigned value) {
    return {">A0", ">00", ">" + Hex2(address), "~1", "<" + Hex2(value)};
}

Tokens Signature(std::uint32_t sig) {
    return {">30", ">00", ">02", "~1", "<" + Hex2(sig),
            ">30", ">00", ">01", "~1", "<" + Hex2(sig >> 8),
            ">30", ">00", ">00", "~1", "<" + Hex2(sig >> 16)};
}

void AnswerSignature(OperationRig& rig, std::uint32_t sig) {
    rig.miso.insert(rig.miso.end(),
                    {static_cast<std::uint8_t>(sig), static_cast<std::uint8_t>(sig >> 8),
                     static_cast<std::uint8_t>(sig >> 16)});
}

std::vector<std::uint8_t> Bytes(unsigned first, unsigned count) {
    std::vector<std::uint8_t> b;
    for (unsigned i = 0; i < count; ++i)
        b.push_back(static_cast<std::uint8_t>(first + i));
    return b;
}

// n consecutive 16-byte records from address 0, then the end record.
std::vector<std::string> Image(unsigned records) {
    std::vector<std::string> r;
    for (unsigned i = 0; i < records; ++i)
        r.push_back(DataRecord(16 * i, Bytes(16 * i, 16)));
    r.push_back(kEndRecord);
    return r;
}

// Code memory as the verification pass will ask for it, word by word.
void AnswerVerification(OperationRig& rig, unsigned records) {
    for (unsigned i = 0; i < 16 * records; ++i)
        rig.miso.push_back(static_cast<std::uint8_t>(i));
}

std::vector<Tokens> PageWrites(const Tokens& t) {
    std::vector<Tokens> pages;
    for (std::size_t i = 0; i + 4 < t.size(); ++i)
        if (t[i] == ">4C" && t[i + 3] == ">FF" && t[i + 4][0] == '~')
            pages.push_back(
                {t.begin() + static_cast<long>(i), t.begin() + static_cast<long>(i) + 5});
    return pages;
}

// Code-memory reads with this instruction byte (data bytes may look alike,
// but only a read is followed by a received byte three tokens on).
long CodeReads(const Tokens& t, const std::string& instruction) {
    long n = 0;
    for (std::size_t i = 0; i + 3 < t.size(); ++i)
        if (t[i] == instruction && t[i + 3][0] == '<')
            ++n;
    return n;
}

// Page-buffer loads with this instruction byte.
long Loads(const Tokens& t, const std::string& instruction) {
    long n = 0;
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i] == instruction && t[i + 1] == ">0F")
            ++n;
    return n;
}

} // namespace

TEST(AvrSettings, ReadChecksBoardThenReadsAll37Bytes) {
    OperationRig rig;
    AnswerSignature(rig, kAvrSignature);
    rig.miso.push_back(3); // revision
    for (unsigned a = 0; a <= 36; ++a)
        rig.miso.push_back(static_cast<std::uint8_t>(0xA0 + a));

    EXPECT_EQ(ReadAvrSettings(rig.ctx), 1);

    Tokens expected = SettingsStart();
    Append(expected, Signature(kAvrSignature));
    Append(expected, ReadByte(20, 3));
    for (unsigned a = 0; a <= 36; ++a)
        Append(expected, ReadByte(a, 0xA0 + a));
    Append(expected, {"D04", "D04", "C00", "S00"});
    EXPECT_EQ(rig.Trace(), expected);
    for (unsigned a = 0; a <= 36; ++a)
        EXPECT_EQ(rig.image[a], static_cast<int>(0xA0 + a)) << a;

    EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{36});
    std::vector<int> positions = {0, 0};
    for (int p = 1; p <= 37; ++p) // the bar clamps the last one
        positions.push_back(p);
    EXPECT_EQ(rig.sink.Values(Kind::Position), positions);
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextDownloadingSettings});
    EXPECT_TRUE(rig.sink.Texts(Kind::TimeLeft).empty());
    EXPECT_EQ(rig.params.delayCount, kRigDelayCount);
}

TEST(AvrSettings, ReadAndWriteRejectWrongSignatureAndRevisionOutside1To6) {
    struct Case {
        std::uint32_t signature;
        std::uint8_t revision;
        bool accepted;
    };
    for (const Case c : {Case{kAvrSignature, 0, false}, Case{kAvrSignature, 7, false},
                         Case{kAvrSignature, 1, true}, Case{kAvrSignature, 6, true},
                         Case{0x1E9306, 3, false}, Case{0xFFFFFF, 3, false}}) {
        for (bool write : {false, true}) {
            OperationRig rig;
            rig.image.fill(0x55);
            AnswerSignature(rig, c.signature);
            rig.miso.push_back(c.revision);
            rig.idle = write ? 0x00 : kLineMiso; // the write's read-backs then fail at once
            const int result = write ? WriteAvrSettings(rig.ctx) : ReadAvrSettings(rig.ctx);
            const Tokens trace = rig.Trace();
            SCOPED_TRACE(::testing::Message() << std::hex << c.signature << " rev "
                                              << int(c.revision) << (write ? " write" : " read"));
            if (c.accepted) {
                EXPECT_EQ(result, write ? 0 : 1); // write fails at its first read-back
                continue;
            }
            EXPECT_EQ(result, 0);
            Tokens expected = SettingsStart();
            Append(expected, Signature(c.signature));
            Append(expected, ReadByte(20, c.revision)); // read even after a wrong signature
            expected.push_back("D04");
            EXPECT_EQ(trace, expected);
            EXPECT_EQ(rig.image[0], 0x55);
        }
    }
}

TEST(AvrSettings, BypassReadCheckReadsWhateverAnswers) {
    OperationRig rig;
    rig.ctx.bypassReadCheck = 1;
    rig.image[0] = Unset;
    rig.idle = kLineMiso; // nothing connected: the line floats high
    EXPECT_EQ(ReadAvrSettings(rig.ctx), 1);
    for (std::int32_t v : rig.image)
        EXPECT_EQ(v, 0xFF);
    const Tokens trace = rig.Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), ">30"), 0) << "no signature read";
    EXPECT_EQ(std::count(trace.begin(), trace.end(), ">A0"), 37);
}

TEST(AvrSettings, WriteSendsLowByteAndVerifiesEachAddress) {
    OperationRig rig;
    rig.ctx.bypassReadCheck = 1; // does not apply to writes
    for (unsigned a = 0; a <= 36; ++a)
        rig.image[a] = static_cast<std::int32_t>(a);
    rig.image[0] = 0x1FF;
    rig.image[1] = Unset;
    AnswerSignature(rig, kAvrSignature);
    rig.miso.push_back(2);
    for (unsigned a = 0; a <= 36; ++a)
        rig.miso.push_back(static_cast<std::uint8_t>(rig.image[a] & 0xFF));

    EXPECT_EQ(WriteAvrSettings(rig.ctx), 1);

    Tokens expected = SettingsStart();
    Append(expected, Signature(kAvrSignature));
    Append(expected, ReadByte(20, 2));
    for (unsigned a = 0; a <= 36; ++a) {
        const unsigned v = static_cast<unsigned>(rig.image[a]) & 0xFF;
        Append(expected, {">C0", ">00", ">" + Hex2(a), ">" + Hex2(v), "~5"});
        Append(expected, ReadByte(a, v));
        expected.push_back("~4");
    }
    expected.push_back("D04");
    EXPECT_EQ(rig.Trace(), expected);

    std::vector<int> positions = {0};
    for (int p = 0; p <= 36; ++p)
        positions.push_back(p);
    EXPECT_EQ(rig.sink.Values(Kind::Position), positions);
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextUploadingSettings});
}

TEST(AvrSettings, WriteStopsAtFirstDifferingReadBack) {
    OperationRig rig;
    rig.image.fill(0x42);
    AnswerSignature(rig, kAvrSignature);
    rig.miso.push_back(1);
    for (int a = 0; a < 10; ++a)
        rig.miso.push_back(0x42);
    rig.miso.push_back(0x43);

    EXPECT_EQ(WriteAvrSettings(rig.ctx), 0);

    const Tokens trace = rig.Trace();
    ASSERT_GE(trace.size(), 11u);
    EXPECT_EQ(Tokens(trace.end() - 11, trace.end()),
              (Tokens{">C0", ">00", ">0A", ">42", "~5", ">A0", ">00", ">0A", "~1", "<43", "D04"}));
    EXPECT_EQ(std::count(trace.begin(), trace.end(), ">C0"), 11) << "addresses 0..10 written";
    EXPECT_EQ(rig.sink.Values(Kind::Position).back(), 10);
}

TEST(AvrFirmware, FourRecordsWriteOnePageAndVerifyUntilTheEndRecord) {
    OperationRig rig;
    SetFirmware(rig, Image(4), "avr_four.efw"); // N = 6
    AnswerSignature(rig, kAvrSignature);
    AnswerVerification(rig, 4);

    EXPECT_EQ(WriteAvrFirmware(rig.ctx), 1);

    const Tokens trace = rig.Trace();
    Tokens start = {kRigCalibration, "C00", "S00", "D04", "D00"};
    Append(start, kEnable);
    Append(start, Signature(kAvrSignature));
    Append(start, {"C10", "~4", ">AC", ">80", ">FF", ">FF", "~4", "D04", "D00", "~1"});
    Append(start, kEnable);
    // The first word of the first record: low byte, then high byte.
    Append(start, {">40", ">0F", ">00", ">00", ">48", ">0F", ">00", ">01"});
    ASSERT_GE(trace.size(), start.size());
    EXPECT_EQ(Tokens(trace.begin(), trace.begin() + static_cast<long>(start.size())), start);

    // The page's two delays run straight into the two that end the pass.
    EXPECT_EQ(PageWrites(trace), (std::vector<Tokens>{{">4C", ">00", ">00", ">FF", "~4"}}));
    EXPECT_EQ(Loads(trace, ">40"), 32);
    EXPECT_EQ(Loads(trace, ">48"), 32);
    EXPECT_EQ(CodeReads(trace, ">20"), 32);
    EXPECT_EQ(CodeReads(trace, ">28"), 32);
    // Code reads come straight after their address, without a delay.
    const auto firstRead = std::find(trace.begin(), trace.end(), "<00") - 3;
    EXPECT_EQ(Tokens(firstRead, firstRead + 8),
              (Tokens{">20", ">00", ">00", "<00", ">28", ">00", ">00", "<01"}));
    EXPECT_EQ(trace.back(), "D04");

    EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{12});
    EXPECT_EQ(rig.sink.Values(Kind::Position),
              (std::vector<int>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(rig.sink.Texts(Kind::Status), Tokens{kTextUploadingFirmware});
    // The clock never moves, so no estimate replaces the placeholder.
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Tokens{kTextTimeLeftCalculating});
    EXPECT_EQ(rig.stepsRemaining, 1.0f);
}

TEST(AvrFirmware, TextsFollowCalibrationAndEachEstimatePrecedesItsStep) {
    OperationRig rig;
    AnswerSignature(rig, kAvrSignature);
    AnswerVerification(rig, 12);
    SetFirmware(rig, Image(12), "avr_time_left.efw"); // N = 14, 28 steps
    StampedSink sink(rig.port);
    OperationContext ctx = rig.ContextFor(sink);
    rig.clock.step = 1; // each step a second, once calibrated

    EXPECT_EQ(WriteAvrFirmware(ctx), 1);
    // The calibration's 1100 pauses, the texts, then the registers.
    EXPECT_EQ(sink.Stamped("status"),
              Tokens{"status Uploading firmware to your board, please wait...@1100"});
    EXPECT_EQ(sink.Stamped("range"), Tokens{"range 28@1104"});
    // A window closes every five steps with four counted in it: 23 steps
    // left take 28 s, then 18 take 22, 13 take 16, 8 take 10 and 3 take 3.
    const Tokens times = sink.Stamped("time");
    const Tokens positions = sink.Stamped("position");
    ASSERT_EQ(times.size(), 6u);
    ASSERT_GE(positions.size(), 27u);
    auto at = [](const std::string& stamped) { return stamped.substr(stamped.find('@')); };
    EXPECT_EQ(times[0], "time Time Left: Calculating...@1100");
    EXPECT_EQ(times[1], "time Time Left: 00:28" + at(positions[6]));
    EXPECT_EQ(times[2], "time Time Left: 00:22" + at(positions[11]));
    EXPECT_EQ(times[3], "time Time Left: 00:16" + at(positions[16]));
    EXPECT_EQ(times[4], "time Time Left: 00:10" + at(positions[21]));
    EXPECT_EQ(times[5], "time Time Left: 00:03" + at(positions[26]));
}

TEST(AvrFirmware, LastPageIsWrittenWhateverTheRecordCount) {
    // 5 records: the end record falls on no page-write point, so the second
    // page would be lost. 6 records: the point after the end record writes it.
    for (unsigned records : {5u, 6u, 8u}) {
        OperationRig rig;
        SetFirmware(rig, Image(records), "avr_pages.efw");
        AnswerSignature(rig, kAvrSignature);
        AnswerVerification(rig, records);
        EXPECT_EQ(WriteAvrFirmware(rig.ctx), 1) << records;
        EXPECT_EQ(PageWrites(rig.Trace()),
                  (std::vector<Tokens>{{">4C", ">00", ">00", ">FF", "~2"},
                                       {">4C", ">00", ">20", ">FF", "~4"}}))
            << records;
    }
}

TEST(AvrFirmware, ReadBackDifferenceFailsWithResetReleased) {
    OperationRig rig;
    SetFirmware(rig, Image(4), "avr_verify.efw");
    const std::string before = rig.firmwareText;
    AnswerSignature(rig, kAvrSignature);
    AnswerVerification(rig, 4);
    rig.miso[3 + 37] ^= 0x10; // high byte of word 18
    EXPECT_EQ(WriteAvrFirmware(rig.ctx), 0);
    const Tokens trace = rig.Trace();
    EXPECT_EQ(CodeReads(trace, ">28"), 19);
    EXPECT_EQ(trace.back(), "D04");
    EXPECT_EQ(rig.firmwareText, before);
}

TEST(AvrFirmware, WrongSignatureFailsBeforeTheErase) {
    OperationRig rig;
    SetFirmware(rig, Image(4), "avr_sig.efw");
    AnswerSignature(rig, 0x1E9308);
    EXPECT_EQ(WriteAvrFirmware(rig.ctx), 0);
    const Tokens trace = rig.Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), ">80"), 0);
    EXPECT_EQ(trace.back(), "D04");
}

TEST(AvrFirmware, RefusesImagesItCannotWriteWholeWithoutTouchingTheBoard) {
    const std::string full = DataRecord(0, Bytes(0, 16));
    const std::string second = DataRecord(16, Bytes(16, 16));
    const std::vector<std::vector<std::string>> refused = {
        {},                                               // header token only
        {kEndRecord},                                     // no data record
        {full, "X10001000", kEndRecord},                  // neither empty nor a record
        {full},                                           // no end record
        {full, "", second, kEndRecord},                   // empty line before the end
        {DataRecord(16, Bytes(0, 16)), kEndRecord},       // not from address 0
        {full, DataRecord(48, Bytes(0, 16)), kEndRecord}, // gap
        {full, DataRecord(16, Bytes(0, 8)), kEndRecord},  // short record
        {full, kEndRecord, second},                       // data after the end
        {full, full.substr(0, 20), kEndRecord},           // truncated line
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        OperationRig rig;
        SetFirmware(rig, refused[i], "avr_refused.efw");
        AnswerSignature(rig, kAvrSignature);
        EXPECT_EQ(WriteAvrFirmware(rig.ctx), 0) << i;
        EXPECT_EQ(rig.Trace(), Tokens{kRigCalibration}) << i;
        EXPECT_TRUE(rig.sink.events.empty()) << i;
    }
}

TEST(AvrFirmware, RefusesAnImageLargerThanCodeMemory) {
    std::string text;
    for (unsigned i = 0; i < kAvrCodeBytes / 16; ++i)
        text += DataRecord(16 * i, Bytes(i, 16)) + "\n";
    const int fits = static_cast<int>(kAvrCodeBytes / 16) + 2;
    EXPECT_TRUE(AvrImageIsWritable(text + kEndRecord + "\n", fits));
    text += DataRecord(kAvrCodeBytes, Bytes(0, 16)) + "\n" + kEndRecord + "\n";
    EXPECT_FALSE(AvrImageIsWritable(text, fits + 1));
}

TEST(AvrFirmware, UnopenableFileFailsBeforeAnyRegisterWrite) {
    OperationRig rig;
    rig.firmwareText = DataRecord(0, Bytes(0, 16)) + "\n" + kEndRecord + "\n";
    rig.ctx.firmwarePath = ::testing::TempDir() + "/no_such_dir/missing.efw";
    EXPECT_EQ(WriteAvrFirmware(rig.ctx), 0);
    EXPECT_EQ(rig.Trace(), Tokens{kRigCalibration});
}

TEST(AvrRecords, LoadAndVerifyDecodeTheRecord) {
    OperationRig rig;
    rig.params.delayCount = kRigDelayCount;
    // A type 02 record is data like any other; an odd last byte is dropped.
    EXPECT_EQ(IspAvrLoadRecord(rig.bus, ":03004002112233FF"), kRecordProgrammed);
    EXPECT_EQ(rig.Trace(), (Tokens{">40", ">0F", ">20", ">11", ">48", ">0F", ">20", ">22"}));
    EXPECT_EQ(IspAvrLoadRecord(rig.bus, ""), kRecordNothingToProgram);
    EXPECT_EQ(IspAvrLoadRecord(rig.bus, kEndRecord), kRecordNothingToProgram);
    EXPECT_EQ(IspAvrLoadRecord(rig.bus, "10000000"), kRecordFailed);

    rig.port.accesses.clear();
    rig.miso = {0x11, 0x22};
    EXPECT_EQ(IspAvrVerifyRecord(rig.bus, ":03014002112233FF"), kRecordProgrammed);
    EXPECT_EQ(rig.Trace(), (Tokens{">20", ">00", ">A0", "<11", ">28", ">00", ">A0", "<22"}));
    rig.miso = {0x11, 0x23};
    EXPECT_EQ(IspAvrVerifyRecord(rig.bus, ":03014002112233FF"), kRecordFailed);
}

TEST(AvrRecords, PageNumberSplitsAcrossTheTwoAddressBytes) {
    OperationRig rig;
    rig.params.delayCount = kRigDelayCount;
    IspAvrWritePage(rig.bus, 127);
    EXPECT_EQ(rig.Trace(), (Tokens{">4C", ">0F", ">E0", ">FF", "~2"}));
}
