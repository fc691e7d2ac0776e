// Board operations against the simulated board, both families: the waits,
// pages and checks have to hold up against a part that takes its datasheet
// time and loses instructions that arrive while it is busy.
#include "link/AvrProtocol.h"
#include "link/Mcs51Protocol.h"
#include "link/Operation.h"
#include "sim/SimBoard.h"

#include "test_operation_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvo;
using namespace kelvo::optest;
using Kind = RecordingProgressSink::Kind;

namespace {

struct SimRig {
    explicit SimRig(SimBoardState s) : board(std::move(s)) {}

    int Run(std::int32_t code) {
        std::int32_t succeeded = -1;
        RunOperation(code, ctx, succeeded);
        return succeeded;
    }

    SimBoard board;
    LinkParams params;
    Link link{board, board, params};
    ParallelIspBus bus{link};
    RecordingProgressSink sink;
    std::array<std::int32_t, 37> image{};
    std::string firmwareText;
    float stepsRemaining = 0.0f;
    OperationContext ctx{bus, sink, image, firmwareText, stepsRemaining};
};

// Where image entry i lives in the family's data memory.
std::size_t DataAddress(Family f, std::size_t entry) {
    return f == Family::Avr ? entry : entry - 1;
}
std::size_t FirstEntry(Family f) {
    return f == Family::Avr ? 0 : 1;
}
std::int32_t ReadCode(Family f) {
    return f == Family::Avr ? kOpReadAvrSettings : kOpRead8051Settings;
}
std::int32_t WriteCode(Family f) {
    return f == Family::Avr ? kOpWriteAvrSettings : kOpWrite8051Settings;
}
std::int32_t FirmwareCode(Family f) {
    return f == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware;
}

SimBoardState Board(Family f, std::uint8_t revision) {
    SimBoardState s = MakeErasedSimBoard(f);
    for (std::size_t i = 0; i < s.data.size(); ++i)
        s.data[i] = static_cast<std::uint8_t>(i * 5 + 1);
    s.data[DataAddress(f, 20)] = revision;
    return s;
}

std::array<std::int32_t, 37> RandomImage(std::uint32_t seed, std::uint8_t revision) {
    std::mt19937 rng(seed);
    std::array<std::int32_t, 37> image{};
    for (std::int32_t& v : image)
        v = static_cast<std::int32_t>(rng() & 0xFF);
    image[20] = revision;
    return image;
}

// `bytes` as 16-byte records from address 0, then the end record; the token
// file has a header token and one per record.
void SetImage(SimRig& rig, const std::vector<std::uint8_t>& bytes, const std::string& name) {
    std::vector<std::string> records;
    for (std::size_t a = 0; a < bytes.size(); a += 16)
        records.push_back(
            DataRecord(static_cast<unsigned>(a),
                       {bytes.begin() + static_cast<long>(a),
                        bytes.begin() + static_cast<long>(std::min(a + 16, bytes.size()))}));
    records.push_back(kEndRecord);
    rig.firmwareText.clear();
    for (const std::string& r : records)
        rig.firmwareText += r + "\n";
    rig.ctx.firmwarePath = WriteTokenFile(name, static_cast<int>(records.size()) + 1);
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> b(n);
    for (std::uint8_t& v : b)
        v = static_cast<std::uint8_t>(rng());
    return b;
}

class SimBothFamilies : public ::testing::TestWithParam<Family> {};

std::string FamilyName(const ::testing::TestParamInfo<Family>& info) {
    return info.param == Family::Avr ? "Avr" : "Mcs51";
}

} // namespace

TEST_P(SimBothFamilies, SettingsWriteThenReadRoundTrip) {
    const Family f = GetParam();
    const auto written = RandomImage(7, 4);
    SimRig writer(Board(f, 3));
    writer.image = written;
    ASSERT_EQ(writer.Run(WriteCode(f)), 1);
    for (std::size_t i = FirstEntry(f); i < 37; ++i)
        EXPECT_EQ(writer.board.state().data[DataAddress(f, i)], written[i]) << i;
    EXPECT_EQ(writer.sink.Values(Kind::Range), std::vector<int>{36});

    SimRig reader(writer.board.state());
    reader.image.fill(-1);
    ASSERT_EQ(reader.Run(ReadCode(f)), 1);
    for (std::size_t i = FirstEntry(f); i < 37; ++i)
        EXPECT_EQ(reader.image[i], written[i]) << i;
    if (f == Family::Mcs51) {
        EXPECT_EQ(reader.image[0], -1);
    }
    EXPECT_EQ(reader.sink.Values(Kind::Range), std::vector<int>{36});
    EXPECT_EQ(reader.sink.Values(Kind::Position).back(), f == Family::Avr ? 37 : 36);
}

TEST_P(SimBothFamilies, SettingsWriteSendsOnlyTheEntriesAskedFor) {
    const Family f = GetParam();
    const SimBoardState before = Board(f, 3);
    SimRig rig(before);
    rig.image = RandomImage(9, 5);
    const std::uint64_t skipped = 1 | (1u << 20) | (1u << 21) | (std::uint64_t{1} << 36);
    rig.ctx.entriesToWrite = kEveryImageEntry & ~skipped;
    ASSERT_EQ(rig.Run(WriteCode(f)), 1);
    for (std::size_t i = FirstEntry(f); i < 37; ++i) {
        const std::uint8_t expected = (skipped >> i) & 1 ? before.data[DataAddress(f, i)]
                                                         : static_cast<std::uint8_t>(rig.image[i]);
        EXPECT_EQ(rig.board.state().data[DataAddress(f, i)], expected) << i;
    }
    // The bar still steps once per address.
    std::vector<int> positions = {0};
    for (int p = 0; p < (f == Family::Avr ? 37 : 36); ++p)
        positions.push_back(p);
    EXPECT_EQ(rig.sink.Values(Kind::Position), positions);
}

TEST_P(SimBothFamilies, RevisionLimitsAndBypassReadCheck) {
    const Family f = GetParam();
    const std::uint8_t limit = f == Family::Avr ? 6 : 10;
    for (std::uint8_t revision :
         {std::uint8_t{0}, std::uint8_t(limit + 1), std::uint8_t{1}, limit}) {
        const bool valid = revision >= 1 && revision <= limit;
        SimRig read(Board(f, revision));
        EXPECT_EQ(read.Run(ReadCode(f)), valid ? 1 : 0) << int(revision);
        SimRig write(Board(f, revision));
        write.image = RandomImage(3, revision);
        EXPECT_EQ(write.Run(WriteCode(f)), valid ? 1 : 0) << int(revision);
        if (!valid) {
            EXPECT_EQ(write.board.state().data, Board(f, revision).data);
        }
        SimRig bypass(Board(f, revision));
        bypass.ctx.bypassReadCheck = 1;
        EXPECT_EQ(bypass.Run(ReadCode(f)), 1) << int(revision);
        EXPECT_EQ(bypass.image[20], revision);
    }
}

TEST_P(SimBothFamilies, StuckBitFailsTheWriteAtThatAddress) {
    const Family f = GetParam();
    SimBoardState s = Board(f, 2);
    s.faults.stuckAddress = 10;
    s.faults.stuckBit = 3;
    s.faults.stuckLevel = 1;
    const SimBoardState before = s;
    SimRig rig(s);
    rig.image = RandomImage(11, 2);
    const std::size_t stuckEntry = f == Family::Avr ? 10 : 11;
    rig.image[stuckEntry] &= ~0x08;
    EXPECT_EQ(rig.Run(WriteCode(f)), 0);
    const auto& data = rig.board.state().data;
    for (std::size_t i = FirstEntry(f); i < stuckEntry; ++i)
        EXPECT_EQ(data[DataAddress(f, i)], rig.image[i]) << i;
    for (std::size_t i = stuckEntry + 1; i < 37; ++i)
        EXPECT_EQ(data[DataAddress(f, i)], before.data[DataAddress(f, i)]) << i;
    EXPECT_EQ(rig.sink.Values(Kind::Position).back(), 10);
}

TEST_P(SimBothFamilies, FullRandomFirmwareIsWrittenByteForByte) {
    const Family f = GetParam();
    const std::vector<std::uint8_t> code = RandomBytes(8192, f == Family::Avr ? 21 : 22);
    SimRig rig(Board(f, 3));
    // One file per family: the two cases may run at the same time.
    SetImage(rig, code, f == Family::Avr ? "sim_full_avr.efw" : "sim_full_8051.efw"); // N = 514
    ASSERT_EQ(rig.Run(FirmwareCode(f)), 1);
    EXPECT_EQ(rig.board.state().code, code);
    // The chip erase takes the settings memory with it: always on the 8051
    // part, and on an ATmega8 whose EESAVE fuse is left as it comes.
    EXPECT_EQ(rig.board.state().data, std::vector<std::uint8_t>(SimDataSize(f), 0xFF));
    EXPECT_FALSE(rig.board.state().codeCutShort);

    const int n = 514;
    const std::vector<int> positions = rig.sink.Values(Kind::Position);
    if (f == Family::Avr) {
        EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{2 * n});
        // Programming 0..N-1, verification N.. up to the end record.
        EXPECT_EQ(positions.size(), 1u + n + 513u);
        EXPECT_EQ(positions.back(), n + 512);
    } else {
        EXPECT_EQ(rig.sink.Values(Kind::Range), std::vector<int>{n});
        EXPECT_EQ(positions.size(), 1u + n);
        EXPECT_EQ(positions.back(), n - 1);
    }
    for (std::size_t i = 1; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], static_cast<int>(i - 1));
    // Seconds of bus time pass, so an estimate replaces the placeholder.
    const auto timeLeft = rig.sink.Texts(Kind::TimeLeft);
    ASSERT_GE(timeLeft.size(), 2u);
    EXPECT_EQ(timeLeft.front(), kTextTimeLeftCalculating);
    EXPECT_EQ(timeLeft.back().rfind("Time Left: ", 0), 0u);
    EXPECT_NE(timeLeft.back(), kTextTimeLeftCalculating);
}

TEST_P(SimBothFamilies, BoardAtAnotherPortAddressFailsEveryOperation) {
    const Family f = GetParam();
    SimBoardState s = Board(f, 3);
    s.address = 0x278;
    for (std::int32_t code : {kOpRead8051Settings, kOpWrite8051Settings, kOpWrite8051Firmware,
                              kOpReadAvrSettings, kOpWriteAvrSettings, kOpWriteAvrFirmware}) {
        SimRig rig(s);
        rig.image = RandomImage(5, 3);
        SetImage(rig, {0x12, 0x34, 0x56},
                 f == Family::Avr ? "sim_elsewhere_avr.efw" : "sim_elsewhere_8051.efw");
        EXPECT_EQ(rig.Run(code), 0) << code;
        EXPECT_EQ(rig.board.state(), s) << code;
    }
}

INSTANTIATE_TEST_SUITE_P(Families, SimBothFamilies, ::testing::Values(Family::Avr, Family::Mcs51),
                         FamilyName);

TEST(SimAvr, WrongSignatureFailsEveryOperationAndKeepsTheFirmware) {
    SimBoardState s = Board(Family::Avr, 3);
    s.signature = {0x1E, 0x93, 0x08};
    s.code = RandomBytes(s.code.size(), 9);
    for (std::int32_t code : {kOpReadAvrSettings, kOpWriteAvrSettings, kOpWriteAvrFirmware}) {
        SimRig rig(s);
        rig.image = RandomImage(5, 3);
        SetImage(rig, RandomBytes(64, 1), "sim_signature.efw");
        EXPECT_EQ(rig.Run(code), 0) << code;
        EXPECT_EQ(rig.board.state(), s) << code;
    }
}

TEST(SimAvr, EesaveKeepsTheSettingsThroughAFirmwareWrite) {
    SimBoardState s = Board(Family::Avr, 3);
    s.eesave = true;
    SimRig rig(s);
    SetImage(rig, RandomBytes(64, 4), "sim_eesave.efw");
    EXPECT_EQ(rig.Run(kOpWriteAvrFirmware), 1);
    EXPECT_EQ(rig.board.state().data, s.data);
}

TEST(Sim8051, CodeByteThatReadsBackDifferentlyFailsTheWrite) {
    // The byte write takes its datasheet time; with the waits cut to a
    // hundredth the read-back arrives while the part is busy.
    SimRig rig(Board(Family::Mcs51, 3));
    rig.ctx.delayMultiplier = 0.01f;
    SetImage(rig, {0x5A, 0xA5}, "sim_readback.efw");
    EXPECT_EQ(rig.Run(kOpWrite8051Firmware), 0);
    EXPECT_EQ(rig.sink.Values(Kind::Position).back(), 0) << "failed in the first record";
}

TEST(Sim8051, BadChecksumFailsAfterTheRecordIsProgrammed) {
    SimRig rig(Board(Family::Mcs51, 3));
    std::string record = DataRecord(0x0100, {0x11, 0x22, 0x33});
    record.back() = record.back() == '0' ? '1' : '0';
    rig.firmwareText = record + "\n" + DataRecord(0x0200, {0x44}) + "\n" + kEndRecord + "\n";
    rig.ctx.firmwarePath = WriteTokenFile("sim_checksum.efw", 4);
    EXPECT_EQ(rig.Run(kOpWrite8051Firmware), 0);
    const auto& code = rig.board.state().code;
    EXPECT_EQ(code[0x100], 0x11);
    EXPECT_EQ(code[0x101], 0x22);
    EXPECT_EQ(code[0x102], 0x33);
    EXPECT_EQ(code[0x200], 0xFF) << "the next record is never reached";
}
