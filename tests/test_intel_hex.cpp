#include "TempFolder.h"
#include "app/cli/Cli.h"
#include "app/cli/FileCommands.h"
#include "ops/FirmwareImage.h"
#include "ops/FirmwareImageHex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

HexImage Parse(const std::string& text) {
    std::istringstream in(text);
    return ReadIntelHex(in);
}

std::string Record(std::uint16_t address, std::uint8_t type, std::vector<std::uint8_t> data) {
    return FormatIntelHexRecord(address, type, data) + "\n";
}

const std::string kEnd = ":00000001FF\n";

// Expects the file to be refused with this error.
void ExpectRefused(const std::string& text, const std::string& error) {
    const HexImage image = Parse(text);
    EXPECT_FALSE(image.ok());
    EXPECT_TRUE(image.memory.empty());
    EXPECT_EQ(image.error, error);
}

} // namespace

TEST(IntelHexReader, ReadsDataWithGapsAddressRecordsAndLowerCase) {
    const std::string text = ":020000040000FA\n" // linear base 0
                             ":0400000001020304F2\n"
                             "\n"                  // blank lines are fine
                             ":02000A00aabb8F\r\n" // lower case, CR LF, gap
                             ":0400000300000000F9\n" +
                             kEnd; // start address: ignored
    const HexImage image = Parse(text);
    ASSERT_TRUE(image.ok()) << image.error;
    EXPECT_EQ(image.memory, (std::vector<std::uint8_t>{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xAA, 0xBB}));
    // A segment base moves the data.
    const HexImage moved = Parse(Record(0, 2, {0x00, 0x10}) + Record(0, 0, {7}) + kEnd);
    ASSERT_TRUE(moved.ok()) << moved.error;
    EXPECT_EQ(moved.memory.size(), 0x101u);
    EXPECT_EQ(moved.memory.back(), 7);
}

TEST(IntelHexReader, SyntaxErrorsNameTheLine) {
    const std::string good = Record(0, 0, {1, 2});
    ExpectRefused(good + "0400000001020304F2\n" + kEnd, "line 2: a record must start with ':'");
    ExpectRefused(good + ":0400000001020304F\n" + kEnd, "line 2: odd number of hexadecimal digits");
    ExpectRefused(good + ":04000000010203G4F2\n" + kEnd,
                  "line 2: character 16 is not a hexadecimal digit");
    ExpectRefused(good + ":000000\n" + kEnd, "line 2: too short for a record");
    ExpectRefused(good + ":0500000001020304F1\n" + kEnd,
                  "line 2: byte count says 5 data bytes but the record holds 4");
    ExpectRefused(good + ":0400000001020304F3\n" + kEnd,
                  "line 2: checksum is 0xF3, the record's bytes need 0xF2");
    ExpectRefused(good + " :0400000001020304F2\n" + kEnd, "line 2: a record must start with ':'");
    ExpectRefused(good + ":" + std::string(5000, '0') + "\n" + kEnd,
                  "line 2: longer than any Intel HEX record can be");
}

TEST(IntelHexReader, RecordTypesAndTheEndRecord) {
    ExpectRefused(Record(0, 0, {1}) + Record(0, 6, {}) + kEnd,
                  "line 2: record type 06 is not an Intel HEX record type (00 to 05)");
    ExpectRefused(Record(0, 4, {0}) + kEnd, "line 1: a type 04 record carries 2 data bytes");
    ExpectRefused(Record(0, 5, {0, 0}) + kEnd, "line 1: a type 05 record carries 4 data bytes");
    ExpectRefused(Record(0, 0, {1}) + Record(0, 1, {1}) + kEnd,
                  "line 2: an end record (type 01) carries no data");
    ExpectRefused(Record(0, 0, {1}) + "\n",
                  "line 3: the file ends without an end record (:00000001FF)");
    ExpectRefused(Record(0, 0, {1}) + kEnd + "\n" + Record(1, 0, {2}),
                  "line 4: text after the end record of line 2");
    ExpectRefused(kEnd, "line 2: the file holds no data");
    ExpectRefused("", "line 1: the file ends without an end record (:00000001FF)");
    ExpectRefused(Record(0, 0, {}) + kEnd, "line 3: the file holds no data");
    // Trailing blank lines after the end record are harmless.
    EXPECT_TRUE(Parse(Record(0, 0, {1}) + kEnd + "\n\r\n").ok());
}

TEST(IntelHexReader, AddressesMustAscendAndFitTheCodeMemory) {
    ExpectRefused(Record(0x10, 0, {1}) + Record(0x00, 0, {2}) + kEnd,
                  "line 2: data at 0x0000 goes back over data already given up to 0x0010; "
                  "addresses must ascend");
    ExpectRefused(Record(0x00, 0, {1, 2, 3, 4}) + Record(0x02, 0, {5}) + kEnd,
                  "line 2: data at 0x0002 goes back over data already given up to 0x0003; "
                  "addresses must ascend");
    // A base record cannot take the addresses backwards either.
    ExpectRefused(Record(0, 2, {0, 1}) + Record(0, 0, {1}) + Record(0, 2, {0, 0}) +
                      Record(0, 0, {2}) + kEnd,
                  "line 4: data at 0x0000 goes back over data already given up to 0x0010; "
                  "addresses must ascend");
    ExpectRefused(
        Record(0x1FFF, 0, {1, 2}) + kEnd,
        "line 1: data at 0x1FFF..0x2000 lies beyond the 8192 bytes (8 KB) of code memory");
    ExpectRefused(
        Record(0, 4, {0, 1}) + Record(0, 0, {1}) + kEnd,
        "line 2: data at 0x10000..0x10000 lies beyond the 8192 bytes (8 KB) of code memory");

    const HexImage full = Parse(Record(0x1FFF, 0, {0x42}) + kEnd);
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.memory.size(), kCodeMemorySize);
}

TEST(IntelHexReader, GarbageNeverCrashes) {
    std::mt19937 random(77);
    const std::string alphabet = ":0123456789ABCDEFabcdefXx\n\r \0";
    for (int n = 0; n < 300; ++n) {
        std::string text(random() % 2000, '\0');
        for (char& c : text)
            c = n % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        const HexImage image = Parse(text);
        EXPECT_TRUE(image.ok() ? image.memory.size() <= kCodeMemorySize
                               : image.error.rfind("line ", 0) == 0);
    }
}

TEST(FirmwareRecords, CutIntoSixteenByteRecordsInWholePages) {
    std::vector<std::uint8_t> memory(70, 0x11);
    memory[3] = 0xFF;
    const std::vector<std::string> records = CutIntoRecords(memory);
    ASSERT_EQ(records.size(), 8u + 1u); // two pages of four records, then the end
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        char head[16];
        std::snprintf(head, sizeof head, ":10%04zX00", i * 16);
        EXPECT_EQ(records[i].substr(0, 9), head);
        EXPECT_EQ(records[i].size(), 1u + 2 * (4 + 16 + 1));
    }
    EXPECT_EQ(records.back(), ":00000001FF");

    // The records read back as exactly the memory, padded with 0xFF.
    std::string text;
    for (const std::string& r : records)
        text += r + "\n";
    const HexImage back = Parse(text);
    ASSERT_TRUE(back.ok()) << back.error;
    ASSERT_EQ(back.memory.size(), 128u);
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), back.memory.begin()));
    EXPECT_TRUE(std::all_of(back.memory.begin() + 70, back.memory.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(FirmwareRecords, KnownRecordText) {
    EXPECT_EQ(FormatIntelHexRecord(0x0100, 0, std::vector<std::uint8_t>{0x21, 0x46, 0x01}),
              ":0301000021460194");
}

namespace {

class PackFirmware : public TempFolderTest {
protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        CliContext ctx(out_, err_);
        ctx.args = std::move(args);
        return CmdPackFirmware(ctx);
    }
    std::string In(const std::string& text) {
        std::ofstream(dir_ / "in.hex", std::ios::binary) << text;
        return (dir_ / "in.hex").string();
    }
    std::string Out() const { return (dir_ / "out.efw").string(); }

    std::ostringstream out_, err_;
};

} // namespace

TEST_F(PackFirmware, ImageReadsBackIntoTheSameRecords) {
    std::string hex;
    std::vector<std::uint8_t> memory(100);
    for (std::size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t a = 0; a < memory.size(); a += 32) // 32-byte records, as compilers write
        hex += Record(
            std::uint16_t(a), 0,
            std::vector<std::uint8_t>(memory.begin() + long(a),
                                      memory.begin() + long(std::min(a + 32, memory.size()))));
    ASSERT_EQ(Run({In(hex + kEnd), "--board", "6", "-o", Out()}), 0) << err_.str();
    EXPECT_NE(out_.str().find("board code 6"), std::string::npos);

    std::string firmwareImageText;
    ASSERT_TRUE(FirmwareImageReader(Out(), firmwareImageText));
    std::string expected;
    for (const std::string& r : CutIntoRecords(memory))
        expected += r + "\n";
    EXPECT_EQ(firmwareImageText, expected);
    EXPECT_EQ(ReadHeaderBoardCode(Out()), 6);

    std::ifstream file(Out());
    std::string token;
    while (file >> token)
        EXPECT_LE(token.size(), kMaxImageTokenLength);
}

TEST_F(PackFirmware, ArgumentsInAnyOrderAndUsageErrors) {
    const std::string in = In(Record(0, 0, {1}) + kEnd);
    EXPECT_EQ(Run({"-o", Out(), "--board", "0", in}), 0) << err_.str();
    EXPECT_EQ(ReadHeaderBoardCode(Out()), 0);

    EXPECT_EQ(Run({in, "--board", "3"}), 2);
    EXPECT_NE(err_.str().find("no -o"), std::string::npos);
    EXPECT_EQ(Run({"--board", "3", "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "--board", "x3", "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "--board", "256", "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "--board", "-1", "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "--board"}), 2);
    EXPECT_EQ(Run({in, in, "--board", "1", "-o", Out()}), 2);
    EXPECT_EQ(Run({in, "--bored", "1", "-o", Out()}), 2);
}

TEST_F(PackFirmware, BadInputFailsAndWritesNothing) {
    EXPECT_EQ(Run({(dir_ / "absent.hex").string(), "--board", "1", "-o", Out()}), 1);
    EXPECT_NE(err_.str().find("absent.hex: no such file"), std::string::npos) << err_.str();

    EXPECT_EQ(Run({In(Record(0, 0, {1}) + ":0100010002FD\n" + kEnd), "--board", "1", "-o", Out()}),
              1);
    EXPECT_NE(err_.str().find("line 2: checksum"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({In(Record(0x1FF0, 0, std::vector<std::uint8_t>(32, 0)) + kEnd), "--board", "1",
                   "-o", Out()}),
              1);
    EXPECT_NE(err_.str().find("8 KB"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(Out()));

    EXPECT_EQ(Run({In(Record(0, 0, {1}) + kEnd), "--board", "1", "-o",
                   (dir_ / "no-dir" / "out.efw").string()}),
              1);
}

TEST_F(PackFirmware, StdoutTakesTheImageAndTheInputIsNeverTheOutput) {
    const std::string in = In(Record(0, 0, {1, 2, 3}) + kEnd);
    ASSERT_EQ(Run({in, "--board", "4", "-o", "-"}), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              FormatFirmwareImage(4, CutIntoRecords(std::vector<std::uint8_t>{1, 2, 3})));
    EXPECT_NE(err_.str().find("Wrote standard output"), std::string::npos);

    std::ifstream original(in);
    const std::string hex((std::istreambuf_iterator<char>(original)), {});
    EXPECT_EQ(Run({in, "--board", "4", "-o", in}), 2);
    EXPECT_NE(err_.str().find("-o names the input file"), std::string::npos) << err_.str();
#ifndef _WIN32
    fs::create_symlink(in, dir_ / "alias.hex");
    EXPECT_EQ(Run({in, "--board", "4", "-o", (dir_ / "alias.hex").string()}), 2);
#endif
    std::ifstream after(in);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), hex);
}

TEST_F(PackFirmware, RegisteredWithKelvoCli) {
    const std::string in = In(Record(0, 0, {1, 2, 3}) + kEnd);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"pack-firmware", in, "--board", "10", "-o", Out()}, out, err), 0)
        << err.str();
    EXPECT_EQ(ReadHeaderBoardCode(Out()), 10);
}
