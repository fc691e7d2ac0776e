// kelvo-cli's switches as the platform's users write them.

#include "app/cli/Cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace kelvo;
namespace fs = std::filesystem;

// -8051only keeps an AVR board from being found.
TEST(CliSwitchPrefix, SlashIsASwitchOnWindowsOnly) {
    const fs::path dir = fs::temp_directory_path() / "kelvo-cli-switch-prefix";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string board = (dir / "avr.json").string();
    std::ostringstream out0, err0;
    ASSERT_EQ(RunCli({"sim-create", board, "--family", "avr"}, out0, err0), 0) << err0.str();

    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"--sim", board, "-8051only", "download"}, out, err), 1) << err.str();
    std::ostringstream out2, err2;
    const int slash = RunCli({"--sim", board, "/8051only", "download"}, out2, err2);
#ifdef _WIN32
    EXPECT_EQ(slash, 1) << err2.str();
    EXPECT_NE(err2.str().find("Board Read Failed"), std::string::npos) << err2.str();
#else
    EXPECT_EQ(slash, 2); // a path where a command belongs
    EXPECT_NE(err2.str().find("unknown command \"/8051only\""), std::string::npos) << err2.str();
#endif
    // Misspelt switches are errors either way.
    std::ostringstream out3, err3;
    EXPECT_EQ(RunCli({"--sim", board, "-8051Only", "download"}, out3, err3), 2);
    fs::remove_all(dir);
}
