#include "app/DesktopCommandLine.h"

#include <gtest/gtest.h>

#include <map>

using namespace kelvo;

namespace {

DesktopCommandLine Parse(const std::vector<std::string>& args) {
    DesktopCommandLine out;
    std::string error;
    EXPECT_TRUE(ParseDesktopCommandLine(args, out, error)) << error;
    return out;
}

std::string ParseError(const std::vector<std::string>& args) {
    DesktopCommandLine out;
    std::string error;
    EXPECT_FALSE(ParseDesktopCommandLine(args, out, error));
    return error;
}

} // namespace

TEST(DesktopCommandLine, RealPortByDefaultSimulatedBoardOnlyWhenAsked) {
    const DesktopCommandLine plain = Parse({});
    EXPECT_EQ(plain.connection.driver, DefaultPortDriver());
    EXPECT_NE(plain.connection.driver, PortDriver::Simulated);
    EXPECT_FALSE(plain.connection.simFile);
    EXPECT_FALSE(plain.connection.portOverride);

    const DesktopCommandLine sim = Parse({"--port-driver", "direct", "--sim", "board.json"});
    EXPECT_EQ(sim.connection.driver, PortDriver::Simulated);
    EXPECT_EQ(sim.connection.simFile, "board.json");

    EXPECT_EQ(Parse({"--port-driver", "direct"}).connection.driver, PortDriver::Direct);
    EXPECT_EQ(Parse({"--port-driver", "inpout"}).connection.driver, PortDriver::Inpout);
    EXPECT_EQ(Parse({"--port-driver", "ppdev"}).connection.driver, PortDriver::Ppdev);
    EXPECT_EQ(Parse({"--port", "3bc"}).connection.portOverride, 0x3BC);
    EXPECT_EQ(Parse({"--port", "0x3BC"}).connection.portOverride, 0x3BC);
    EXPECT_EQ(Parse({"--port", "0XFFFF"}).connection.portOverride, 0xFFFF);
    EXPECT_EQ(Parse({"--port", "0x5"}).connection.portOverride, 0x5);
    // A device named directly replaces an address given before it, and the
    // other way round.
    const DesktopCommandLine device = Parse({"--port", "278", "--port", "/dev/parport1"});
    EXPECT_EQ(device.connection.device, "/dev/parport1");
    EXPECT_FALSE(device.connection.portOverride);
    const DesktopCommandLine address = Parse({"--port", "/dev/parport1", "--port", "278"});
    EXPECT_FALSE(address.connection.device);
    EXPECT_EQ(address.connection.portOverride, 0x278);
}

TEST(DesktopCommandLine, ServiceSwitchesTakeDashOrSlashAndUnknownOnesAreIgnored) {
    const DesktopCommandLine d =
        Parse({"/initprogramming", "-AVRonly", "/8051only", "avronly", "-boardtypeQuarle",
               "/delaymult2abc", "README.txt", "-platform", "offscreen", "--whatever"});
    EXPECT_EQ(d.options.initProgramming, 1);
    EXPECT_EQ(d.options.only8051, 1);
    EXPECT_EQ(d.options.avrOnly, 0);
    EXPECT_EQ(d.options.pinTest, 0);
    EXPECT_FLOAT_EQ(d.options.delayMultiplier, 2.0f);
    EXPECT_EQ(d.boardTypeName, "Quarle");
    EXPECT_EQ(d.connection.driver, DefaultPortDriver());
    EXPECT_TRUE(Parse({"--help"}).showHelp);
    EXPECT_TRUE(Parse({"--version"}).showVersion);
}

TEST(DesktopCommandLine, BadBoardChoicesAreErrors) {
    EXPECT_NE(ParseError({"--sim"}).find("--sim needs a value"), std::string::npos);
    EXPECT_NE(ParseError({"--port-driver", "lpt"}).find("unknown port driver \"lpt\""),
              std::string::npos);
    for (const char* bad : {"0", "10000", "0x", "0x10000", "x378", "37g", "", "parport0"})
        EXPECT_NE(ParseError({"--port", bad}).find("--port wants"), std::string::npos) << bad;
}

#if !defined(_WIN32) && !defined(__APPLE__)
TEST(DesktopCommandLine, NoDisplayIsOneLineUnlessAPlatformIsNamed) {
    const struct {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        bool missing;
    } cases[] = {
        {{}, {}, true},
        {{}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true},
        {{}, {{"DISPLAY", ":0"}}, false},
        {{}, {{"WAYLAND_DISPLAY", "wayland-0"}}, false},
        {{}, {{"QT_QPA_PLATFORM", "offscreen"}}, false},
        {{"-platform", "offscreen"}, {}, false},
    };
    for (const auto& c : cases) {
        const auto missing = MissingDisplay(c.args, [&](const char* name) {
            const auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
        });
        EXPECT_EQ(missing.has_value(), c.missing) << c.env.size();
        if (missing) {
            EXPECT_EQ(missing->find('\n'), std::string::npos);
        }
    }
}
#endif
