#include "PageRangeTable.h"
#include "TempFolder.h"
#include "files/SettingsFile.h"
#include "settings/PageRanges.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

// An image whose page entries all hold distinct valid values and whose other
// entries hold markers a load must not touch.
BoardSettingsImage SampleImage() {
    BoardSettingsImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::int32_t>(100 + i);
    image[entry::firingMode] = 3;
    image[entry::rofPeriod] = 67;
    image[entry::dwell] = 37;
    image[entry::debounce] = 12;
    image[entry::afterEyeDelay] = 14;
    image[entry::timerMode] = 1;
    image[entry::timerStart] = 2;
    image[entry::timerMinutesCode] = 6;
    image[entry::timerSecondsFives] = 11;
    image[entry::lcdSection1] = 9;
    image[entry::lcdSection1B] = 4;
    image[entry::lcdSection2] = 0;
    image[entry::lcdSection2B] = 7;
    image[entry::eyeMode] = 5;
    image[entry::operationMode] = 1;
    image[entry::boltDelayOffset] = 14;
    image[entry::minBoltOpen] = 60;
    image[entry::asDelay] = 30;
    image[entry::aeBypassRofPeriod] = 167;
    image[entry::lcdMenuMask0] = 0xA5;
    image[entry::lcdMenuMask1] = 0xFF;
    image[entry::powersaveMinutes] = 250;
    image[entry::eyeSensitivity] = 2;
    image[entry::absDwell] = 10;
    image[entry::ebMinBoltOpen] = 33;
    image[entry::mechanicalDebounce] = 15;
    image[entry::boltTimerWait] = 41;
    return image;
}

// The entries the key table carries.
constexpr std::size_t kKeyEntries[] = {entry::operationMode,
                                       entry::firingMode,
                                       entry::rofPeriod,
                                       entry::debounce,
                                       entry::dwell,
                                       entry::afterEyeDelay,
                                       entry::eyeMode,
                                       entry::timerStart,
                                       entry::timerMinutesCode,
                                       entry::timerSecondsFives,
                                       entry::timerMode,
                                       entry::lcdSection1,
                                       entry::lcdSection1B,
                                       entry::lcdSection2,
                                       entry::lcdSection2B,
                                       entry::aeBypassRofPeriod,
                                       entry::lcdMenuMask0,
                                       entry::lcdMenuMask1,
                                       entry::boltDelayOffset,
                                       entry::minBoltOpen,
                                       entry::asDelay,
                                       entry::powersaveMinutes,
                                       entry::eyeSensitivity,
                                       entry::absDwell,
                                       entry::mechanicalDebounce,
                                       entry::boltTimerWait,
                                       entry::ebMinBoltOpen};

constexpr std::size_t kUncarriedEntries[] = {0, 15, 20, 21, 22, 26, 30, 31, 33, 36};

struct Loaded {
    BoardSettingsImage image;
    std::int32_t dialogMode;
    std::optional<SettingsValueProblem> problem;
};

Loaded Read(const std::string& text, BoardSettingsImage start = SampleImage(),
            std::int32_t dialogMode = 7) {
    std::istringstream in(text);
    const auto problem = ReadSettingsFile(in, start, dialogMode);
    return {start, dialogMode, problem};
}

// A file in the program's own format with one key line replaced.
std::string WithLine(std::size_t key, const std::string& line) {
    std::istringstream in(FormatSettingsFile(SampleImage(), 1));
    std::string text, l;
    for (std::size_t n = 0; std::getline(in, l); ++n)
        text += (n == key + 1 ? line : l) + "\n";
    return text;
}

class SettingsFileOnDisk : public TempFolderTest {
protected:
    static std::string Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

} // namespace

TEST(SettingsFileFormat, WritesVersionLineAndKeysInFileOrder) {
    BoardSettingsImage image = SampleImage();
    image[entry::dwell] = Unset;
    EXPECT_EQ(FormatSettingsFile(image, 1), "Ver:3.0\n"
                                            "0:1\n1:3\n2:67\n3:12\n4:-1\n5:1-14\n6:1\n7:5\n8:2\n"
                                            "9:12\n10:55\n11:1\n12:0\n13:9\n14:4\n15:0\n16:7\n"
                                            "17:167\n18:65445\n19:14\n20:60\n21:30\n22:250\n"
                                            "23:1\n24:2\n25:10\n26:15\n27:41\n28:33\n");
}

TEST(SettingsFileFormat, SpecialFormsOfKeysFiveAndNine) {
    BoardSettingsImage image = SampleImage();
    image[entry::afterEyeDelay] = 0;
    EXPECT_NE(FormatSettingsFile(image, 0).find("\n5:0-0\n"), std::string::npos);
    image[entry::afterEyeDelay] = Unset;
    EXPECT_NE(FormatSettingsFile(image, 0).find("\n5:1--1\n"), std::string::npos);

    const char* minuteLines[] = {"9:01", "9:02", "9:03", "9:05", "9:07", "9:10", "9:12", "9:15"};
    for (std::int32_t code = 0; code < 8; ++code) {
        image[entry::timerMinutesCode] = code;
        EXPECT_NE(FormatSettingsFile(image, 0).find(std::string("\n") + minuteLines[code] + "\n"),
                  std::string::npos)
            << code;
    }
    // An unvalidated code outside the table must not index past it.
    image[entry::timerMinutesCode] = Unset;
    EXPECT_NE(FormatSettingsFile(image, 0).find("\n9:-1\n"), std::string::npos);
}

TEST(SettingsFileFormat, RoundTripRestoresEveryKeyAndNothingElse) {
    for (std::int32_t afterEye : {14, 0, 1, Unset}) {
        BoardSettingsImage saved = SampleImage();
        saved[entry::afterEyeDelay] = afterEye;
        saved[entry::dwell] = Unset;
        saved[entry::timerSecondsFives] = Unset;
        BoardSettingsImage other{};
        other.fill(-7);
        const Loaded loaded = Read(FormatSettingsFile(saved, 1), other, 0);
        for (std::size_t e : kKeyEntries)
            EXPECT_EQ(loaded.image[e], saved[e]) << "entry " << e << " afterEye " << afterEye;
        for (std::size_t e : kUncarriedEntries)
            EXPECT_EQ(loaded.image[e], -7) << "entry " << e;
        EXPECT_EQ(loaded.dialogMode, 1);
    }
}

TEST(SettingsFileFormat, AfterEyeDelayReadsTheNumberAfterTheFirstDash) {
    EXPECT_EQ(Read(WithLine(5, "5:1-14")).image[entry::afterEyeDelay], 14);
    EXPECT_EQ(Read(WithLine(5, "5:1--1")).image[entry::afterEyeDelay], -1);
    EXPECT_EQ(Read(WithLine(5, "5:9-3")).image[entry::afterEyeDelay], 3);    // digit before unused
    EXPECT_EQ(Read(WithLine(5, "5:12")).image[entry::afterEyeDelay], Unset); // key, no dash
    EXPECT_EQ(Read(WithLine(5, "nothing")).image[entry::afterEyeDelay], 0);  // no key
}

TEST(SettingsFileFormat, MinutesSecondsAndMenuMaskConversions) {
    Loaded l = Read(WithLine(9, "9:04"));
    EXPECT_EQ(l.image[entry::timerMinutesCode], SampleImage()[entry::timerMinutesCode]);
    EXPECT_EQ(Read(WithLine(9, "9:10")).image[entry::timerMinutesCode], 5);
    EXPECT_EQ(Read(WithLine(9, "9:1")).image[entry::timerMinutesCode], 0);
    EXPECT_EQ(Read(WithLine(9, "nine")).image[entry::timerMinutesCode], Unset);

    EXPECT_EQ(Read(WithLine(10, "10:17")).image[entry::timerSecondsFives], 3);
    EXPECT_EQ(Read(WithLine(10, "10:-7")).image[entry::timerSecondsFives], -1); // toward zero

    l = Read(WithLine(18, "18:513"));
    EXPECT_EQ(l.image[entry::lcdMenuMask0], 1);
    EXPECT_EQ(l.image[entry::lcdMenuMask1], 2);
    l = Read(WithLine(18, "eighteen"));
    EXPECT_EQ(l.image[entry::lcdMenuMask0], 0);
    EXPECT_EQ(l.image[entry::lcdMenuMask1], 0);
}

TEST(SettingsFileFormat, KeyTextAnywhereInItsLineValueAfterKeyLength) {
    // "x6:1": found, but the value is read after two characters (":1" -> 0).
    EXPECT_EQ(Read(WithLine(6, "x6:1")).image[entry::operationMode], 0);
    EXPECT_EQ(Read(WithLine(6, "6: 1")).image[entry::operationMode], 1);
    EXPECT_EQ(Read(WithLine(13, "13:8junk")).image[entry::lcdSection1], 8);
}

TEST(SettingsFileFormat, AValueThatDoesNotFitItsByteRefusesTheWholeFile) {
    const std::tuple<std::size_t, std::string, std::int64_t, std::int64_t> refused[] = {
        {3, "3:300", 300, 255},
        {3, "3:-5", -5, 255},
        {1, "1:256", 256, 255},
        {1, "1:-99999999999", std::numeric_limits<std::int32_t>::min(), 255},
        {10, "10:12345", 12345, 255}, // seconds: 2469 fives
        {5, "5:1-300", 300, 255},
        {18, "18:70000", 70000, 65535}, // two bytes of LCD menu mask
        {18, "18:-1", -1, 65535},
    };
    for (const auto& [key, line, value, highest] : refused) {
        const Loaded l = Read(WithLine(key, line), SampleImage(), 7);
        ASSERT_TRUE(l.problem) << line;
        EXPECT_EQ(l.problem->key, key) << line;
        EXPECT_EQ(l.problem->value, value) << line;
        EXPECT_EQ(l.problem->highest, highest) << line;
        EXPECT_EQ(l.image, SampleImage()) << line; // nothing loaded, not even earlier keys
        EXPECT_EQ(l.dialogMode, 7) << line;
    }
    // Every byte value and the empty field load, whatever the pages offer.
    const std::tuple<std::size_t, std::string, std::size_t, std::int32_t> accepted[] = {
        {3, "3:255", entry::debounce, 255},
        {3, "3:0", entry::debounce, 0},
        {3, "3:-1", entry::debounce, Unset},
        {10, "10:1279", entry::timerSecondsFives, 255},
        {10, "10:-5", entry::timerSecondsFives, Unset},
        {5, "5:1--1", entry::afterEyeDelay, Unset},
        {18, "18:65535", entry::lcdMenuMask1, 255},
        {18, "18:0", entry::lcdMenuMask0, 0},
    };
    for (const auto& [key, line, e, stored] : accepted) {
        const Loaded l = Read(WithLine(key, line));
        EXPECT_FALSE(l.problem) << line;
        EXPECT_EQ(l.image[e], stored) << line;
    }
}

TEST(PageControlRanges, OfferWhatTheEntryTableSaysAndNothingMore) {
    for (const Range& r : kPageRanges) {
        const std::optional<PageControlRange> range = PageControlRangeOf(r.entry);
        ASSERT_TRUE(range) << r.entry;
        EXPECT_TRUE(range->Offers(r.low) && range->Offers(r.high)) << r.entry;
        EXPECT_FALSE(range->Offers(r.low - 1) || range->Offers(r.high + 1)) << r.entry;
    }
    const std::optional<PageControlRange> rof = PageControlRangeOf(entry::rofPeriod);
    const std::optional<PageControlRange> ae = PageControlRangeOf(entry::aeBypassRofPeriod);
    ASSERT_TRUE(rof && ae);
    for (std::size_t i = 0; i < std::size(kRofValues); ++i) {
        EXPECT_TRUE(rof->Offers(kRofValues[i]));
        EXPECT_EQ(ae->Offers(kRofValues[i]), i >= 2) << kRofValues[i];
        EXPECT_FALSE(rof->Offers(kRofValues[i] + 1));
    }
    for (std::size_t e : kReadOnlyEntries)
        EXPECT_FALSE(PageControlRangeOf(e)) << e;
}

TEST(SettingsFileFormat, KeysOutsideWhatThePagesOfferAreNamed) {
    EXPECT_TRUE(KeysOutsidePageRanges(SampleImage()).empty());
    BoardSettingsImage image = SampleImage();
    image[entry::dwell] = Unset; // an empty field is not out of range
    image[entry::debounce] = 0;
    image[entry::timerSecondsFives] = 12;
    image[entry::rofPeriod] = 66;
    image[entry::aeBypassRofPeriod] = 45; // the AE bypass list has no 22 bps
    image[entry::operationMode] = 2;
    image[entry::afterEyeDelay] = 15; // key 5 holds the delay after a dash
    const std::vector<KeyOutsidePageRange> outside = KeysOutsidePageRanges(image);
    ASSERT_EQ(outside.size(), 6u);
    EXPECT_EQ(outside[0].key, 2u);
    EXPECT_EQ(outside[0].value, 66);
    EXPECT_EQ(outside[0].offered, "one of 1 45 50 53 56 59 63 67 71 77 83 91 100 111 125 167");
    EXPECT_EQ(outside[1].key, 3u);
    EXPECT_EQ(outside[1].offered, "1 to 30");
    EXPECT_EQ(outside[2].key, 5u);
    EXPECT_EQ(outside[2].offered, "0 to 14");
    EXPECT_EQ(outside[3].key, 6u); // operation mode is read from key 6, not key 0
    EXPECT_EQ(outside[3].offered, "0 to 1");
    EXPECT_EQ(outside[4].key, 10u);
    EXPECT_EQ(outside[4].value, 60); // seconds, as the file gives them
    EXPECT_EQ(outside[4].offered, "0 to 55");
    EXPECT_EQ(outside[5].key, 17u);
    EXPECT_EQ(outside[5].offered.substr(0, 11), "one of 50 5");
}

TEST(SettingsFileFormat, VersionLineOnlyLoadsEveryDefault) {
    const Loaded l = Read("Ver:3.0\n");
    const std::pair<std::size_t, std::int32_t> expected[] = {
        {entry::operationMode, Unset}, // key 6 comes after key 0
        {entry::firingMode, 0},
        {entry::rofPeriod, 1},
        {entry::debounce, Unset},
        {entry::dwell, Unset},
        {entry::afterEyeDelay, 0},
        {entry::eyeMode, Unset},
        {entry::timerStart, Unset},
        {entry::timerMinutesCode, Unset},
        {entry::timerSecondsFives, Unset},
        {entry::timerMode, Unset},
        {entry::lcdSection1, Unset},
        {entry::lcdSection2B, Unset},
        {entry::aeBypassRofPeriod, 1},
        {entry::lcdMenuMask0, 0},
        {entry::lcdMenuMask1, 0},
        {entry::boltDelayOffset, Unset},
        {entry::powersaveMinutes, Unset},
        {entry::eyeSensitivity, Unset},
        {entry::ebMinBoltOpen, Unset}};
    for (auto [e, value] : expected)
        EXPECT_EQ(l.image[e], value) << "entry " << e;
    EXPECT_EQ(l.dialogMode, 0);
    for (std::size_t e : kUncarriedEntries)
        EXPECT_EQ(l.image[e], SampleImage()[e]) << "entry " << e;
}

TEST(SettingsFileFormat, CrLfAndLfLoadAlike) {
    std::string text = FormatSettingsFile(SampleImage(), 1), crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    BoardSettingsImage blank{};
    const Loaded a = Read(text, blank, 0), b = Read(crlf + "  \t", blank, 0);
    EXPECT_EQ(a.image, b.image);
    EXPECT_EQ(b.image[entry::afterEyeDelay], 14);
    EXPECT_EQ(b.dialogMode, 1);
}

TEST(SettingsFileRobustness, LongLinesDoNotShiftTheFollowingKeys) {
    // Key 1's line is far longer than 255 characters; key 2 must still be
    // read from the next line, and key text past the limit is not seen.
    const Loaded l = Read(WithLine(1, std::string(300, 'x') + "1:5"));
    EXPECT_EQ(l.image[entry::firingMode], 0); // key text beyond 255 characters: missing
    EXPECT_EQ(l.image[entry::rofPeriod], 67);
    EXPECT_EQ(l.image[entry::ebMinBoltOpen], 33);

    const Loaded huge = Read(WithLine(3, "3:4" + std::string(1 << 20, ' ') + "7"));
    EXPECT_EQ(huge.image[entry::debounce], 4);
    EXPECT_EQ(huge.image[entry::dwell], 37);
}

TEST(SettingsFileRobustness, OutOfOrderLinesLoadDefaultsForDisplacedKeys) {
    std::string text = "Ver:3.0\n0:1\n2:67\n1:3\n"; // keys 1 and 2 swapped, then the file ends
    const Loaded l = Read(text);
    EXPECT_EQ(l.image[entry::firingMode], 0);
    EXPECT_EQ(l.image[entry::rofPeriod], 1);
    EXPECT_EQ(l.image[entry::operationMode], Unset); // the file ended before key 6
    EXPECT_EQ(l.image[entry::lcdSection2B], Unset);
    EXPECT_EQ(l.image[entry::aeBypassRofPeriod], 1);
}

TEST(SettingsFileRobustness, EmptyAndBinaryInputNeverTouchUncarriedEntries) {
    std::mt19937 random(5);
    std::vector<std::string> inputs = {"", std::string("\0\0\0", 3), "\n\n\n\n", "\r\r\r"};
    for (int n = 0; n < 50; ++n) {
        std::string garbage(random() % 4000, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        inputs.push_back(garbage);
    }
    for (const std::string& text : inputs) {
        const Loaded l = Read(text);
        for (std::size_t e : kUncarriedEntries)
            EXPECT_EQ(l.image[e], SampleImage()[e]);
    }
    EXPECT_EQ(Read("").image[entry::rofPeriod], 1);
}

TEST(SettingsFileVersionCheck, AcceptedOlderOrIncompatible) {
    EXPECT_EQ(CheckSettingsVersionLine("Ver:3.0"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:4.2"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:3.0\r\n"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:2.5"), SettingsVersion::Older);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:"), SettingsVersion::Older); // no number: 0.0
    EXPECT_EQ(CheckSettingsVersionLine("Ver:abc"), SettingsVersion::Older);
    EXPECT_EQ(CheckSettingsVersionLine("Version 3"), SettingsVersion::NoVersion);
    EXPECT_EQ(CheckSettingsVersionLine(""), SettingsVersion::NoVersion);
    EXPECT_EQ(CheckSettingsVersionLine("ver:3.0"), SettingsVersion::NoVersion);
    // The number is taken after the first four characters of the line.
    EXPECT_EQ(CheckSettingsVersionLine("xxVer:3.0"), SettingsVersion::Older);
    // Narrowed to single precision before the comparison.
    EXPECT_EQ(CheckSettingsVersionLine("Ver:2.99999999"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver: +3.5e0"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:1e999"), SettingsVersion::Accepted);
    EXPECT_EQ(CheckSettingsVersionLine("Ver:-1e999"), SettingsVersion::Older);

    std::istringstream twoLines("Version 3\nVer:3.0\n");
    EXPECT_EQ(CheckSettingsVersion(twoLines), SettingsVersion::NoVersion);
    std::istringstream late(std::string(255, ' ') + "Ver:3.0\n");
    EXPECT_EQ(CheckSettingsVersion(late), SettingsVersion::NoVersion); // past 255 characters
}

TEST_F(SettingsFileOnDisk, SaveThenLoadRestoresEveryKey) {
    const fs::path file = dir_ / "MySettings.esf";
    const BoardSettingsImage saved = SampleImage();
    ASSERT_TRUE(SaveSettingsFile(file, saved, 1));
    std::string why;
    const std::optional<std::string> text = ReadSettingsFileText(file, why);
    ASSERT_TRUE(text) << why;
    std::istringstream version(*text), keys(*text);
    EXPECT_EQ(CheckSettingsVersion(version), SettingsVersion::Accepted);

    BoardSettingsImage loaded{};
    std::int32_t dialogMode = 0;
    ASSERT_FALSE(ReadSettingsFile(keys, loaded, dialogMode));
    for (std::size_t e : kKeyEntries)
        EXPECT_EQ(loaded[e], saved[e]) << "entry " << e;
    EXPECT_EQ(dialogMode, 1);
}

TEST_F(SettingsFileOnDisk, UnreadableFilesSayWhy) {
    constexpr InputKinds kFile = InputKinds::RegularFile, kStream = InputKinds::AlsoStreams;
    const std::vector<std::tuple<fs::path, InputKinds, std::string>> cases = {
        {dir_ / "absent.esf", kFile, "no such file"},
        {dir_, kStream, "a folder, not a file"},
#ifndef _WIN32
        // A device is not even opened unless a stream was asked for; then
        // endless input is still not read to its end.
        {"/dev/zero", kFile,
         "not a regular file (a device, a pipe or a socket); Kelvo reads only files"},
        {"/dev/zero", kStream, "larger than 1 MB, more than such a file ever holds"},
#endif
    };
    for (const auto& [path, kinds, says] : cases) {
        std::string why;
        EXPECT_FALSE(ReadSettingsFileText(path, why, kinds)) << path;
        EXPECT_EQ(why, says) << path;
    }
}

TEST_F(SettingsFileOnDisk, FailedSaveLeavesTheExistingFileIntact) {
    const fs::path file = dir_ / "keep.esf";
    ASSERT_TRUE(SaveSettingsFile(file, SampleImage(), 0));
    const std::string before = Contents(file);

    // A read-only file is refused: the save fails as a value and the old file
    // keeps every byte.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    BoardSettingsImage changed = SampleImage();
    changed[entry::firingMode] = 6;
    const FileResult result = SaveSettingsFile(file, changed, 1);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, file.string() + " is read-only; Kelvo does not replace it (make it "
                                            "writable, or choose another name)");
    EXPECT_EQ(Contents(file), before);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);

    fs::create_directory(dir_ / "adir.esf");
    EXPECT_FALSE(SaveSettingsFile(dir_ / "adir.esf", changed, 1));
    EXPECT_FALSE(SaveSettingsFile(dir_ / "no" / "such" / "dir.esf", changed, 1));

    ASSERT_TRUE(SaveSettingsFile(dir_ / "other.esf", changed, 1));
    ASSERT_TRUE(SaveSettingsFile(dir_ / "other.esf", SampleImage(), 0)); // replaces
    EXPECT_EQ(Contents(dir_ / "other.esf"), before);
#ifdef __linux__
    // A device is written in place; one that takes nothing says so.
    EXPECT_TRUE(SaveSettingsFile("/dev/null", changed, 1));
    EXPECT_EQ(SaveSettingsFile("/dev/full", changed, 1).error,
              "cannot write /dev/full: No space left on device");
#endif
}
