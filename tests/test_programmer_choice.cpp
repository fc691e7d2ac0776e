// Choosing the programmer: command line, and the per-user file it is kept in.
#include "TempFolder.h"
#include "app/DesktopCommandLine.h"
#include "files/ProgrammerChoice.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kelvo;

namespace {

TEST(ProgrammerChoice, CommandLineNamesTheProgrammerItsSerialAndTheFtdiLines) {
    struct Case {
        std::vector<std::string> args;
        const char* chosen; // ProgrammerName, or null when refused
        const char* pins;   // FtdiPinsText
        const char* error;  // part of the message when refused
    };
    const char* usual = "sck=TXD,miso=RTS,mosi=RXD,reset=CTS";
    const Case cases[] = {
        {{}, "parallel", usual, ""},
        {{"--programmer", "usbasp"}, "usbasp", usual, ""},
        {{"--programmer", "usbasp:A1B2"}, "usbasp:A1B2", usual, ""},
        {{"--programmer", "ft232r:X", "--programmer", "parallel"}, "parallel", usual, ""},
        {{"--ftdi-pins", "reset=D5,sck=0,mosi=CTS,miso=RI", "--programmer", "ft232r"},
         "ft232r",
         "sck=TXD,miso=RI,mosi=CTS,reset=DSR",
         ""},
        {{"--programmer", "ch341a"}, nullptr, nullptr, "unknown programmer \"ch341a\""},
        {{"--programmer", "parallel:1"}, nullptr, nullptr, "only a USB programmer takes a serial"},
        {{"--programmer", "usbasp:"}, nullptr, nullptr, "only a USB programmer takes a serial"},
        {{"--ftdi-pins", "sck=0,miso=0,mosi=2,reset=4"}, nullptr, nullptr, "its own line"},
        {{"--ftdi-pins", "sck=0,miso=1,mosi=2"}, nullptr, nullptr, "names all four"},
        {{"--ftdi-pins", "sck=8,miso=1,mosi=2,reset=4"}, nullptr, nullptr, "its own line"},
        {{"--programmer"}, nullptr, nullptr, "--programmer needs a value"},
    };
    for (const Case& c : cases) {
        DesktopCommandLine out;
        std::string error;
        const bool ok = ParseDesktopCommandLine(c.args, out, error);
        ASSERT_EQ(ok, c.chosen != nullptr) << c.args.size() << " " << error;
        if (ok) {
            EXPECT_EQ(ProgrammerName(out.connection.programmer), c.chosen);
            EXPECT_EQ(FtdiPinsText(out.connection.programmer.pins), c.pins);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

class ProgrammerSettingsFile : public TempFolderTest {};

TEST_F(ProgrammerSettingsFile, KeepsTheChoiceAndNamesALineItCannotRead) {
    const std::filesystem::path file = dir_ / kProgrammerSettingsFile;
    ProgrammerChoice choice;
    std::string error;
    ASSERT_TRUE(LoadProgrammerSettings(file, choice, error)) << "a missing file is the default";
    EXPECT_EQ(choice, ProgrammerChoice{});

    ProgrammerChoice saved;
    saved.kind = ProgrammerKind::Ft232r;
    saved.serial = "FT0042";
    saved.pins = {7, 6, 5, 3};
    ASSERT_TRUE(SaveProgrammerSettings(file, saved, error)) << error;
    ASSERT_TRUE(LoadProgrammerSettings(file, choice, error)) << error;
    EXPECT_EQ(choice, saved);

    std::ofstream(file) << "# comment\r\nprogrammer=usbasp\r\n\nport=378\n";
    choice = saved;
    EXPECT_FALSE(LoadProgrammerSettings(file, choice, error));
    EXPECT_EQ(error, file.string() + ", line 4: unknown setting \"port\". Correct or delete the "
                                     "file, or choose the programmer again.");
    EXPECT_EQ(choice, saved) << "nothing taken from a file that failed";
}

} // namespace
