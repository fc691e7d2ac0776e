#include "FirmwareTestImages.h"
#include "TempFolder.h"
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
#include <sys/stat.h>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

std::optional<std::string> Decode(const std::string& text) {
    std::istringstream in(text);
    return ReadFirmwareImage(in);
}

class FirmwareImageFile : public TempFolderTest {
protected:
    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return dir_ / name;
    }
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
    const std::string first = ":100000000C9434000C943E000C943E000C943E0082";
    const std::string second = fwtest::Sealed(":10001000" + std::string(32, 'F'));
    const std::string token = EncodeRecordToken("001", first);
    EXPECT_EQ(token[3], kEncodedRecordMark);
    EXPECT_EQ(token.find(':'), std::string::npos);

    // Differing prefixes and any white space between tokens decode alike.
    const auto text = Decode("KelvoEFW:3\r\n" + token + "\t" + EncodeRecordToken("zz#", second) +
                             "  \n" + EncodeRecordToken("999", ":00000001FF") + "\r\n\n \n");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, first + "\n" + second + "\n:00000001FF\n");

    // The firmware writers read the decoded pairs with ReadHexPair.
    std::size_t cursor = 1;
    EXPECT_EQ(ReadHexPair(*text, cursor), 0x10);
    cursor = 9;
    EXPECT_EQ(ReadHexPair(*text, cursor), 0x0C);
}

TEST(FirmwareImageReader, TakesWholeImagesOfDataRecordsFromZeroThenTheEnd) {
    // Anything from one record to all of code memory; a last AVR page the
    // records do not fill is the writer's business.
    for (std::size_t size : {16u, 80u, 8192u}) {
        const std::vector<std::string> records = CutIntoRecords(fwtest::PatternCode(size));
        const auto text = Decode(fwtest::ImageFile(records));
        ASSERT_TRUE(text) << size;
        std::string expected;
        for (const std::string& r : records)
            expected += r + "\n";
        EXPECT_EQ(*text, expected);
    }
    const std::vector<std::string> five = {FormatIntelHexRecord(0x00, 0, fwtest::PatternCode(16)),
                                           FormatIntelHexRecord(0x10, 0, fwtest::PatternCode(16)),
                                           FormatIntelHexRecord(0x20, 0, fwtest::PatternCode(16)),
                                           FormatIntelHexRecord(0x30, 0, fwtest::PatternCode(16)),
                                           FormatIntelHexRecord(0x40, 0, fwtest::PatternCode(16)),
                                           ":00000001FF"};
    EXPECT_TRUE(Decode(fwtest::ImageFile(five)));
}

TEST(FirmwareImageReader, RefusesEveryMalformedRecordAndShape) {
    for (const auto& [name, file] : fwtest::MalformedImageFiles())
        EXPECT_FALSE(Decode(file)) << name;
    EXPECT_FALSE(Decode(""));
    EXPECT_FALSE(Decode(" \r\n\t "));
    EXPECT_FALSE(Decode("header abc")); // no fourth character at all
    // Lower-case letters are refused rather than read: to the writers' pair
    // reader the letter a is 42, not 10.
    std::size_t cursor = 1;
    EXPECT_EQ(ReadHexPair(":0a", cursor), 42);
}

TEST(FirmwareImageReader, RefusesTokensLongerThanTheFormatAllows) {
    const std::string image = fwtest::ImageFile(CutIntoRecords(fwtest::PatternCode(16)));
    const std::string records = image.substr(image.find('\n'));
    EXPECT_TRUE(Decode(std::string(kMaxImageTokenLength, 'h') + records));
    EXPECT_FALSE(Decode(std::string(kMaxImageTokenLength + 1, 'h') + records));
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
    const std::vector<std::string> a = CutIntoRecords(fwtest::PatternCode(16));
    const std::vector<std::string> b = CutIntoRecords(std::vector<std::uint8_t>(32, 0x42));
    std::string firmwareImageText = "previous\n";
    EXPECT_FALSE(FirmwareImageReader(dir_ / "absent.efw", firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(dir_, firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(Write("empty.efw", ""), firmwareImageText));
    EXPECT_FALSE(FirmwareImageReader(Write("bad.efw", "h 001Q00 002X00"), firmwareImageText));
    const auto malformed = fwtest::MalformedImageFiles();
    EXPECT_FALSE(
        FirmwareImageReader(Write("checksum.efw", malformed[0].second), firmwareImageText));
#ifndef _WIN32
    // Not a regular file: the writers would count its tokens a second time.
    const fs::path fifo = dir_ / "fifo.efw";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(FirmwareImageReader(fifo, firmwareImageText));
    EXPECT_EQ(ReadHeaderBoardCode(fifo), 0);
#endif
    EXPECT_EQ(firmwareImageText, "previous\n");

    ASSERT_TRUE(FirmwareImageReader(Write("a.efw", fwtest::ImageFile(a)), firmwareImageText));
    EXPECT_EQ(firmwareImageText,
              a[0] + "\n" + a[1] + "\n" + a[2] + "\n" + a[3] + "\n" + a[4] + "\n");
    ASSERT_TRUE(FirmwareImageReader(Write("b.efw", fwtest::ImageFile(b)), firmwareImageText));
    EXPECT_EQ(firmwareImageText.find(a[0]), std::string::npos); // only the second file's records
    EXPECT_EQ(firmwareImageText.substr(0, b[0].size()), b[0]);
}

TEST_F(FirmwareImageFile, HeaderBoardCodeOfAFile) {
    EXPECT_EQ(ReadHeaderBoardCode(dir_ / "absent.efw"), 0);
    EXPECT_EQ(ReadHeaderBoardCode(Write("empty.efw", "\n\n")), 0);
    EXPECT_EQ(ReadHeaderBoardCode(Write("six.efw", "  KelvoEFW:6\n001QMM")), 6);
    // A header that the reader refuses still names a board.
    EXPECT_EQ(ReadHeaderBoardCode(Write("bad.efw", "KelvoEFW:2 nonsense")), 2);
}
