#include "link/HexPair.h"
#include "ops/FirmwareImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

std::optional<std::string> Decode(const std::string& text) {
    std::istringstream in(text);
    return ReadFirmwareImage(in);
}

class FirmwareImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kelvo-efw-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return dir_ / name;
    }
    fs::path dir_;
};

} // namespace

TEST(RecordCharacterTable, SeventeenPairsCoveringTheHexDigitsAndTheRecordMark) {
    std::set<char> encoded, decoded;
    int marks = 0;
    for (const RecordCharacterPair& p : RecordCharacterTable) {
        EXPECT_TRUE((p.encoded >= '0' && p.encoded <= '9') ||
                    (p.encoded >= 'A' && p.encoded <= 'Z'))
            << p.encoded;
        encoded.insert(p.encoded);
        decoded.insert(p.decoded);
        marks += p.decoded == ':';
        if (p.decoded == ':') {
            EXPECT_EQ(p.encoded, kEncodedRecordMark);
        }
    }
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(encoded.size(), 17u);
    EXPECT_EQ(decoded, std::set<char>({':', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A',
                                       'B', 'C', 'D', 'E', 'F'}));
    // Encoding is undone by decoding for every character a record holds.
    for (char c : std::string(":0123456789ABCDEF"))
        EXPECT_EQ(DecodeRecordCharacter(EncodeRecordCharacter(c)), c);
    EXPECT_EQ(DecodeRecordCharacter('a'), 'a'); // no entry: passes unchanged
}

TEST(FirmwareImageReader, DecodesEachRecordTokenAfterThreeIgnoredCharacters) {
    const std::string record = ":100000000C9434000C943E000C943E000C943E0082";
    const std::string token = EncodeRecordToken("001", record);
    EXPECT_EQ(token[3], kEncodedRecordMark);
    EXPECT_EQ(token.find(':'), std::string::npos);

    // Differing prefixes and any white space between tokens decode alike.
    const auto text = Decode("KelvoEFW:3\r\n" + token + "\t" + EncodeRecordToken("zz#", record) +
                             "  \n" + EncodeRecordToken("999", ":00000001FF") + "\r\n");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, record + "\n" + record + "\n:00000001FF\n");

    // The firmware writers read the decoded pairs with ReadHexPair.
    std::size_t cursor = 1;
    EXPECT_EQ(ReadHexPair(*text, cursor), 0x10);
    cursor = 9;
    EXPECT_EQ(ReadHexPair(*text, cursor), 0x0C);
}

TEST(FirmwareImageReader, StructureRulesOnly) {
    EXPECT_EQ(Decode("header"), std::string()); // a header alone is an empty image
    EXPECT_FALSE(Decode(""));
    EXPECT_FALSE(Decode(" \r\n\t "));
    EXPECT_FALSE(Decode("header 001X"));      // fourth character is not the mark
    EXPECT_FALSE(Decode("header abc"));       // no fourth character at all
    EXPECT_FALSE(Decode("header 001Q 00:X")); // a later token fails the whole file
    // Bad hexadecimal passes: only the mark is checked. A lower-case letter
    // left by the decoding is not a digit to ReadHexPair.
    const auto text = Decode("header 001QMa");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, ":0a\n");
    std::size_t cursor = 1;
    EXPECT_EQ(ReadHexPair(*text, cursor), 42);
}

TEST(FirmwareImageReader, RefusesTokensLongerThanTheFormatAllows) {
    const std::string longest = "001Q" + std::string(kMaxImageTokenLength - 4, 'M');
    EXPECT_TRUE(Decode("h " + longest));
    EXPECT_FALSE(Decode("h " + longest + "M"));
    EXPECT_FALSE(Decode(std::string(kMaxImageTokenLength + 1, 'h') + " 001Q"));
    EXPECT_FALSE(Decode("h 001Q" + std::string(1 << 20, 'M')));
}

TEST(FirmwareImageReader, BinaryGarbageNeverCrashes) {
    std::mt19937 random(23);
    for (int n = 0; n < 200; ++n) {
        std::string garbage(random() % 3000, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        if (n % 2)
            garbage = "hdr 001Q" + garbage; // get past the first checks sometimes
        const auto text = Decode(garbage);
        if (text) { // whatever passes decodes to one line per record token
            EXPECT_TRUE(text->empty() || text->back() == '\n');
        }
    }
}

TEST(HeaderBoardCode, ReadsTheDecimalFromTheTenthCharacter) {
    EXPECT_EQ(HeaderBoardCode("short"), 0);
    EXPECT_EQ(HeaderBoardCode("123456789"), 0);
    EXPECT_EQ(HeaderBoardCode("1234567897"), 7);
    EXPECT_EQ(HeaderBoardCode("KelvoEFW:7abc"), 7);
    EXPECT_EQ(HeaderBoardCode("KelvoEFW:10"), 10);
    EXPECT_EQ(HeaderBoardCode("KelvoEFW:-3"), -3);
    EXPECT_EQ(HeaderBoardCode("KelvoEFW:x7"), 0);
    EXPECT_EQ(HeaderBoardCode("KelvoEFW:99999999999999"), std::numeric_limits<std::int32_t>::max());
}

TEST_F(FirmwareImageFile, OnlyASuccessfulReadReplacesTheText) {
    std::string firmwareImageText = "previous\n";
    EXPECT_FALSE(FirmwareImageReader(dir_ / "absent.efw", firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(dir_, firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(Write("empty.efw", ""), firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(Write("bad.efw", "h 001Q00 002X00"), firmwareImageText));
    EXPECT_EQ(firmwareImageText, "previous\n");

    ASSERT_TRUE(FirmwareImageReader(Write("a.efw", "h 001QXX 002QGG\n"), firmwareImageText));
    EXPECT_EQ(firmwareImageText, ":11\n:22\n");
    ASSERT_TRUE(FirmwareImageReader(Write("b.efw", "h 001QTT\n"), firmwareImageText));
    EXPECT_EQ(firmwareImageText, ":33\n"); // only the second file's records
    ASSERT_TRUE(FirmwareImageReader(Write("c.efw", "header-only"), firmwareImageText));
    EXPECT_EQ(firmwareImageText, "");
}

TEST_F(FirmwareImageFile, HeaderBoardCodeOfAFile) {
    EXPECT_EQ(ReadHeaderBoardCode(dir_ / "absent.efw"), 0);
    EXPECT_EQ(ReadHeaderBoardCode(Write("empty.efw", "\n\n")), 0);
    EXPECT_EQ(ReadHeaderBoardCode(Write("six.efw", "  KelvoEFW:6\n001QMM")), 6);
    // A header that the reader refuses still names a board.
    EXPECT_EQ(ReadHeaderBoardCode(Write("bad.efw", "KelvoEFW:2 nonsense")), 2);
}
