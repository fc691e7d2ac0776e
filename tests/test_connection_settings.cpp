#include "TempFolder.h"
#include "files/ConnectionSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

class ConnectionSettingsFile : public TempFolderTest {
protected:
    void WriteFile(const std::string& text) {
        std::ofstream(dir_ / "ConnSettings.dat", std::ios::binary) << text;
    }
    std::string FileText() {
        std::ifstream in(dir_ / "ConnSettings.dat", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Load on a fresh dialog whose port was `start`.
    std::pair<std::int32_t, std::string> Load(std::int32_t start = 0x1234) {
        std::int32_t port = start;
        std::string custom = "untouched";
        LoadConnectionSettings(dir_, port, custom);
        return {port, custom};
    }
};

} // namespace

TEST(ConnectionToken, ConvertsLikeStrtolBase16AndKeepsOnlyPortAddresses) {
    EXPECT_EQ(PortAddressFromToken("378"), 0x378);
    EXPECT_EQ(PortAddressFromToken("3bc"), 0x3BC);
    EXPECT_EQ(PortAddressFromToken("0X2F8"), 0x2F8);
    EXPECT_EQ(PortAddressFromToken("0x0378"), 0x378); // a zero digit after the prefix
    EXPECT_EQ(PortAddressFromToken("0xF"), 0xF);      // one digit after it
    EXPECT_EQ(PortAddressFromToken("  +278"), 0x278);
    EXPECT_EQ(PortAddressFromToken("378zz"), 0x378);
    EXPECT_EQ(PortAddressFromToken("FFFF"), 0xFFFF);
    EXPECT_EQ(PortAddressFromToken("0x"), std::nullopt); // reads as 0
    for (const char* bad : {"", "zz", "0", "-378", "10000", "FFFFFFFFFFFFFFFFFFFFFFFF", "- 1"})
        EXPECT_EQ(PortAddressFromToken(bad), std::nullopt) << bad;
}

TEST(ConnectionToken, FirstTokenOfTheTextAtMost255Characters) {
    std::istringstream a("  \n\t3BC junk\n");
    EXPECT_EQ(ReadConnectionToken(a), "3BC");
    std::istringstream empty("");
    EXPECT_EQ(ReadConnectionToken(empty), "");
    std::istringstream huge(std::string(100000, 'F'));
    EXPECT_EQ(ReadConnectionToken(huge).size(), 255u);
}

TEST(ConnectionPath, JoinsTheStartDirectoryWithThePlatformSeparator) {
    const fs::path p = ConnectionSettingsPath(fs::path("start") / "dir");
    EXPECT_EQ(p.filename(), "ConnSettings.dat");
    EXPECT_EQ(p.parent_path(), fs::path("start") / "dir");
}

TEST_F(ConnectionSettingsFile, LoadFromMissingEmptyAndMalformedFiles) {
    // Missing: the default port, the custom text as it was.
    EXPECT_EQ(Load(), std::make_pair(0x378, std::string("untouched")));

    WriteFile("");
    EXPECT_EQ(Load(), std::make_pair(0x1234, std::string()));
    WriteFile("3BC");
    EXPECT_EQ(Load(), std::make_pair(0x3BC, std::string("3BC")));
    WriteFile("0X2F8\r\nsecond");
    EXPECT_EQ(Load(), std::make_pair(0x2F8, std::string("0X2F8")));
    // Unusable numbers keep the current port but still fill the box.
    for (const char* text : {"zz", "0", "-378", "12345", "\x01\xff\x80"}) {
        WriteFile(text);
        EXPECT_EQ(Load(), std::make_pair(0x1234, std::string(text))) << text;
    }
    WriteFile(std::string(5000, '7'));
    const auto [port, custom] = Load();
    EXPECT_EQ(port, 0x1234);
    EXPECT_EQ(custom.size(), 255u);

    fs::remove(dir_ / "ConnSettings.dat");
    fs::create_directory(dir_ / "ConnSettings.dat");
    EXPECT_EQ(Load().first, 0x378); // a directory is as good as no file
}

TEST_F(ConnectionSettingsFile, SaveWritesTheTokenForEachChoice) {
    std::int32_t port = 0;
    std::string custom;
    EXPECT_EQ(SaveConnectionSettings(dir_, PortChoice::Lpt2, custom, port).status,
              ConnectionSaveResult::Status::Saved);
    EXPECT_EQ(port, 0x278);
    EXPECT_EQ(FileText(), "278");
    SaveConnectionSettings(dir_, PortChoice::Lpt1, custom, port);
    EXPECT_EQ(port, 0x378);
    EXPECT_EQ(FileText(), "378");

    custom = "3bc";
    SaveConnectionSettings(dir_, PortChoice::Custom, custom, port);
    EXPECT_EQ(port, 0x3BC);
    EXPECT_EQ(FileText(), "3BC");
    EXPECT_EQ(custom, "3BC");
    EXPECT_EQ(Load(), std::make_pair(0x3BC, std::string("3BC")));
    EXPECT_EQ(PortChoiceFor(0x3BC), PortChoice::Custom);

    custom = "0x2f8";
    SaveConnectionSettings(dir_, PortChoice::Custom, custom, port);
    EXPECT_EQ(FileText(), "0X2F8");
    EXPECT_EQ(Load().first, 0x2F8);

    // A custom 378 comes back as LPT1.
    custom = "378";
    SaveConnectionSettings(dir_, PortChoice::Custom, custom, port);
    EXPECT_EQ(PortChoiceFor(Load().first), PortChoice::Lpt1);
    EXPECT_EQ(PortChoiceFor(0x278), PortChoice::Lpt2);
}

TEST_F(ConnectionSettingsFile, CustomAddressThatIsNotOneToFourHexDigitsChangesNothing) {
    using Status = ConnectionSaveResult::Status;
    const struct {
        const char* typed;
        Status status;
    } cases[] = {
        {"", Status::EmptyAddress},       {"zz", Status::InvalidAddress},
        {"ZZ9", Status::InvalidAddress},  {"10000", Status::InvalidAddress},
        {"0x", Status::InvalidAddress},   {"0", Status::InvalidAddress},
        {"3bc ", Status::InvalidAddress}, {"-3BC", Status::InvalidAddress},
    };
    for (const auto& c : cases) {
        WriteFile("3BC");
        std::int32_t port = 0x3BC;
        std::string custom = c.typed;
        EXPECT_EQ(SaveConnectionSettings(dir_, PortChoice::Custom, custom, port).status, c.status)
            << c.typed;
        EXPECT_EQ(port, 0x3BC) << c.typed;
        EXPECT_EQ(FileText(), "3BC") << c.typed;
    }
    for (const char* text : {"0XFFFF", "0X1", "0x2f8", "1"})
        EXPECT_TRUE(IsPortAddressText(text)) << text;
}

TEST_F(ConnectionSettingsFile, UnwritableFileStillSetsThePortAndSaysSo) {
    std::int32_t port = 0x378;
    std::string custom = "2BC";
    const ConnectionSaveResult r =
        SaveConnectionSettings(dir_ / "missing-dir", PortChoice::Custom, custom, port);
    EXPECT_EQ(r.status, ConnectionSaveResult::Status::NotWritten);
    EXPECT_EQ(port, 0x2BC);
    const std::string why = r.error.substr(0, r.error.find(" (") + 2);
    EXPECT_EQ(why, "Unable to save the port address in ConnSettings.dat (") << r.error;
    const std::string tail = r.error.substr(r.error.rfind(").\n"));
    EXPECT_EQ(tail, ").\nThe address 0x2BC will be used until Kelvo is closed.") << r.error;
}
