// State file of the simulated board, kelvo-cli sim-create and the simulated
// connection.
#include "PageRangeTable.h"
#include "TempFolder.h"
#include "app/SimConnection.h"
#include "app/cli/Cli.h"
#include "sim/SimBoard.h"
#include "sim/SimStateFile.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kelvo;
using namespace simtest;
namespace fs = std::filesystem;

namespace {

class SimFiles : public TempFolderTest {
protected:
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int Cli(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return RunCli(args, out_, err_);
    }

    std::ostringstream out_, err_;
};

SimBoardState Parse(const std::string& text, std::string& error) {
    SimBoardState s;
    ParseSimState(text, "board.json", s, error);
    return s;
}

std::string Hex(std::size_t bytes, const char* pair = "00") {
    std::string t;
    for (std::size_t i = 0; i < bytes; ++i)
        t += pair;
    return t;
}

} // namespace

TEST_F(SimFiles, StateRoundTripsThroughFile) {
    SimBoardState s = MakeErasedSimBoard(Family::Avr);
    for (std::size_t i = 0; i < s.code.size(); ++i)
        s.code[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    s.data[511] = 0x5A;
    s.signature = {0x1E, 0x94, 0x03};
    s.address = 0x3BC;
    s.busCycleNs = 1500;
    s.floatingStatus = 0x7F;
    s.eesave = true;
    s.codeCutShort = true;
    s.pace = 2.5;
    s.factorySettings.assign(kAvrSettingsBytes, 0x11);
    s.faults = {true, true, 300, 6, 1, 4, 0.25, 99};
    std::string error;
    ASSERT_TRUE(WriteSimStateFile(Path("b.json"), s, error)) << error;
    SimBoardState back;
    ASSERT_TRUE(LoadSimState(Path("b.json"), back, error)) << error;
    EXPECT_EQ(back, s);
    EXPECT_FALSE(fs::exists(Path("b.json.tmp")));

    const std::string text = Read(Path("b.json"));
    EXPECT_NE(text.find("\"family\": \"avr\""), std::string::npos);
    EXPECT_NE(text.find("\"signature\": \"1E9403\""), std::string::npos);
    EXPECT_NE(text.find("\"address\": \"3BC\""), std::string::npos);

    SimBoardState m = MakeErasedSimBoard(Family::Mcs51);
    m.data[2047] = 1;
    ASSERT_TRUE(WriteSimStateFile(Path("m.json"), m, error)) << error;
    ASSERT_TRUE(LoadSimState(Path("m.json"), back, error)) << error;
    EXPECT_EQ(back, m);

    // The AVR-only fields mean nothing on an 8051-family board: a file that
    // has them still reads back as what it writes (found by fuzzing).
    std::string mcs51 = Read(Path("m.json"));
    mcs51.insert(mcs51.find('{') + 1, "\"eesave\": false, \"signature\": \"000000\",");
    SimBoardState fromText;
    ASSERT_TRUE(ParseSimState(mcs51, "m.json", fromText, error)) << error;
    EXPECT_EQ(fromText, m);
}

TEST_F(SimFiles, MalformedStateIsRefusedWithReason) {
    const std::string code = "\"code\": \"" + Hex(8192) + "\"";
    const std::string data = "\"data\": \"" + Hex(512) + "\"";
    const std::string sig = "\"signature\": \"1E9307\"";
    auto doc = [&](const std::string& extra) {
        return "{\"family\": \"avr\", " + sig + ", " + data + ", " + code + extra + "}";
    };
    std::string error;
    // A file from before the timing rules and pacing: their defaults.
    const SimBoardState old = Parse(doc(""), error);
    ASSERT_EQ(error, "");
    EXPECT_FALSE(old.eesave);
    EXPECT_FALSE(old.codeCutShort);
    EXPECT_EQ(old.pace, 0.0);
    EXPECT_EQ(Parse(doc(", \"eesave\": true, \"pace\": 10"), error).pace, 10.0);
    EXPECT_EQ(Parse(doc(", \"pace\": 0.001"), error).pace, 0.001); // the limits themselves
    EXPECT_EQ(Parse(doc(", \"pace\": 1000"), error).pace, 1000.0);
    EXPECT_EQ(Parse(doc(", \"address\": \"1\""), error).address, 1); // the lowest there is
    EXPECT_EQ(error, "");

    const std::pair<std::string, std::string> cases[] = {
        {"{\"family\": \"avr\",", "not a valid JSON"},
        {"[1, 2]", "expected a JSON object"},
        {"{\"family\": \"avr\", " + sig + ", " + code + "}", "missing field \"data\""},
        {"{\"family\": \"z80\", " + sig + ", " + data + ", " + code + "}", "\"family\""},
        {"{\"family\": \"avr\", " + data + ", " + code + "}", "missing field \"signature\""},
        {"{\"family\": \"8051\", " + data + ", " + code + "}", "\"data\" holds 512 bytes"},
        {"{\"family\": \"avr\", " + sig + ", \"data\": \"" + Hex(511) + "0G\", " + code + "}",
         "not a hexadecimal digit"},
        {"{\"family\": \"avr\", " + sig + ", \"data\": \"" + Hex(511) + "0\", " + code + "}",
         "odd number"},
        {"{\"family\": \"avr\", " + sig + ", \"data\": 5, " + code + "}", "\"data\" must be"},
        {doc(", \"busCycleNs\": 0"), "\"busCycleNs\""},
        {doc(", \"address\": \"0\""), "\"address\""},
        {doc(", \"faults\": {\"noBord\": true}"), "unknown field \"noBord\""},
        {doc(", \"faults\": {\"bitErrorRate\": 2}"), "bitErrorRate"},
        {doc(", \"faults\": {\"stuckBit\": {\"address\": 1, \"bit\": 8, \"level\": 0}}"),
         "stuckBit.bit"},
        {doc(", \"factorySettings\": \"0011\""), "\"factorySettings\" holds 2 bytes"},
        {doc(", \"pace\": -1"), "\"pace\" must be 0 (unpaced) or a number from 0.001 to 1000"},
        // Too slow a pace overflows the pace step or waits for ever; too fast
        // cannot be kept.
        {doc(", \"pace\": 1e-300"), "\"pace\" must be 0"},
        {doc(", \"pace\": 0.0009"), "\"pace\" must be 0"},
        {doc(", \"pace\": 1000.5"), "\"pace\" must be 0"},
        {doc(", \"pace\": \"fast\""), "\"pace\""},
        {doc(", \"codeCutShort\": 1"), "\"codeCutShort\" must be true or false"},
    };
    for (const auto& [text, expected] : cases) {
        SimBoardState s = MakeErasedSimBoard(Family::Mcs51);
        error.clear();
        EXPECT_FALSE(ParseSimState(text, "board.json", s, error)) << text.substr(0, 60);
        EXPECT_NE(error.find("board.json: "), std::string::npos) << error;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(s.family, Family::Mcs51) << "state changed on failure";
    }

    SimBoardState s;
    EXPECT_FALSE(LoadSimState(Path("absent.json"), s, error));
    EXPECT_NE(error.find("absent.json: no such file"), std::string::npos) << error;
}

TEST_F(SimFiles, SaveKeepsPermissionsAndNeverWritesElsewhere) {
    const std::string path = Path("keep.json");
    std::string error;
    ASSERT_TRUE(WriteSimStateFile(path, MakeErasedSimBoard(Family::Avr), error));
#ifndef _WIN32
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    // A link planted at the temporary name the save once used is not followed.
    const std::string victim = Path("victim");
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, path + ".tmp");
#endif
    ASSERT_TRUE(WriteSimStateFile(path, MakeErasedSimBoard(Family::Mcs51), error)) << error;
#ifndef _WIN32
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif
    SimBoardState back;
    ASSERT_TRUE(LoadSimState(path, back, error)) << error;
    EXPECT_EQ(back.family, Family::Mcs51);

    // A read-only board file is refused, not replaced.
    const std::string before = Read(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(WriteSimStateFile(path, MakeErasedSimBoard(Family::Avr), error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(Read(path), before);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(
        WriteSimStateFile(Path("no/such/dir/x.json"), MakeErasedSimBoard(Family::Avr), error));
}

TEST_F(SimFiles, SimCreateWritesValidSettingsAtFamilyAddresses) {
    for (const char* family : {"avr", "8051"}) {
        const std::string path = Path(std::string(family) + ".json");
        ASSERT_EQ(Cli({"sim-create", path, "--family", family, "--board", "2", "--firmware", "4.25",
                       "--battery", "7.5", "--halcyra-mode", "1"}),
                  0)
            << err_.str();
        EXPECT_EQ(out_.str(), std::string("Created ") +
                                  (family == std::string("avr") ? "an AVR" : "an 8051-family") +
                                  " board in " + path +
                                  ": board type 2, firmware 4.25, battery 7.50 V, at port 0x378\n");
        SimBoardState s;
        std::string error;
        ASSERT_TRUE(LoadSimState(path, s, error)) << error;
        const bool avr = s.family == Family::Avr;
        EXPECT_EQ(avr, std::string(family) == "avr");
        auto at = [&](std::size_t entry) { return int(s.data[avr ? entry : entry - 1]); };
        EXPECT_EQ(at(20), 4);
        EXPECT_EQ(at(21), 25);
        EXPECT_EQ(at(22), 2);
        EXPECT_EQ(at(31), 7);
        EXPECT_EQ(at(30), 128);
        EXPECT_EQ(at(33), 1);
        for (const Range& r : kPageRanges) {
            EXPECT_GE(at(r.entry), r.low) << family << " entry " << r.entry;
            EXPECT_LE(at(r.entry), r.high) << family << " entry " << r.entry;
        }
        EXPECT_NE(std::find(std::begin(kRofValues), std::end(kRofValues), at(2)),
                  std::end(kRofValues));
        EXPECT_NE(std::find(std::begin(kRofValues) + 2, std::end(kRofValues), at(23)),
                  std::end(kRofValues));
        EXPECT_EQ(at(5) == 0, at(15) == 1); // bypass flag agrees with the delay
        // Nothing beyond the block, a firmware that runs and nothing after it,
        // block kept as factory settings.
        const std::size_t blockEnd = avr ? 37 : 36;
        EXPECT_EQ(s.data[blockEnd], 0xFF);
        const std::vector<std::uint8_t> fw = SimIdleFirmware(s.family);
        EXPECT_TRUE(std::equal(fw.begin(), fw.end(), s.code.begin()));
        EXPECT_NE(s.code[0], 0xFF);
        EXPECT_TRUE(std::all_of(s.code.begin() + static_cast<long>(fw.size()), s.code.end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
        EXPECT_FALSE(s.eesave);
        EXPECT_FALSE(s.codeCutShort);
        EXPECT_EQ(s.pace, 0.0);
        EXPECT_EQ(s.factorySettings,
                  std::vector<std::uint8_t>(s.data.begin(), s.data.begin() + blockEnd));
    }
}

TEST_F(SimFiles, SimCreateFaultOptionsAndRefusals) {
    const std::string path = Path("f.json");
    ASSERT_EQ(Cli({"sim-create",
                   path,
                   "--family",
                   "avr",
                   "--signature",
                   "1e9403",
                   "--no-power",
                   "--stuck-bit",
                   "20:3:1",
                   "--answer-from",
                   "3",
                   "--bit-errors",
                   "0.001:7",
                   "--address",
                   "278",
                   "--eesave",
                   "--bus-cycle-ns",
                   "800",
                   "--pace",
                   "2.5"}),
              0)
        << err_.str();
    SimBoardState s;
    std::string error;
    ASSERT_TRUE(LoadSimState(path, s, error)) << error;
    EXPECT_EQ(s.signature, (std::array<std::uint8_t, 3>{0x1E, 0x94, 0x03}));
    EXPECT_TRUE(s.faults.noPower);
    EXPECT_FALSE(s.faults.noBoard);
    EXPECT_EQ(s.faults.stuckAddress, 20);
    EXPECT_EQ(s.faults.stuckBit, 3);
    EXPECT_EQ(s.faults.stuckLevel, 1);
    EXPECT_EQ(s.faults.answerFromEnable, 3u);
    EXPECT_EQ(s.faults.bitErrorRate, 0.001);
    EXPECT_EQ(s.faults.bitErrorSeed, 7u);
    EXPECT_EQ(s.address, 0x278);
    EXPECT_TRUE(s.eesave);
    EXPECT_EQ(s.busCycleNs, 800u);
    EXPECT_EQ(s.pace, 2.5);

    const std::string before = Read(path);
    EXPECT_EQ(Cli({"sim-create", path, "--family", "8051"}), 1);
    EXPECT_NE(err_.str().find("already exists"), std::string::npos);
    EXPECT_EQ(Read(path), before);
    // (An empty battery, 0 V, is the lowest a board can report.)
    EXPECT_EQ(Cli({"sim-create", path, "--family", "8051", "--battery", "0", "--force"}), 0)
        << err_.str();

    // Each refusal says what is wrong with which option.
    const std::string x = Path("x.json");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"sim-create", x}, "--family avr or --family 8051 is required"},
        {{"sim-create", "--family", "avr"}, "name the state file to create"},
        {{"sim-create", x, "--family", "pic"}, "--family must be avr or 8051, not \"pic\""},
        {{"sim-create", x, "--family", "avr", "--firmware", "3"}, "--firmware wants MAJOR.MINOR"},
        {{"sim-create", x, "--family", "avr", "--battery", "-1"}, "--battery wants volts from 0"},
        {{"sim-create", x, "--family", "avr", "--battery", "9.4x"}, "--battery wants volts"},
        {{"sim-create", x, "--family", "avr", "--halcyra-mode", "2"},
         "--halcyra-mode wants 0 (open bolt) or 1 (closed bolt)"},
        {{"sim-create", x, "--family", "avr", "--stuck-bit", "512:0:1"},
         "--stuck-bit wants ADDRESS:BIT:LEVEL"},
        {{"sim-create", x, "--family", "8051", "--signature", "1E9307"},
         "--signature is for AVR boards only"},
        {{"sim-create", x, "--family", "avr", "--board"}, "--board needs a value"},
        {{"sim-create", x, "--family", "avr", "--board", "256"},
         "--board wants a board type code from 0 to 255"},
        {{"sim-create", x, "--family", "avr", "--board", "3x"}, "--board wants"},
        {{"sim-create", x, "--family", "avr", "--pace", "0"}, "--pace wants how many times"},
        {{"sim-create", x, "--family", "avr", "--pace", "-1"}, "--pace wants"},
        {{"sim-create", x, "--family", "avr", "--pace", "10x"}, "--pace wants"},
        {{"sim-create", x, "--family", "avr", "--pace", "1e-9"}, "--pace wants"},
        {{"sim-create", x, "--family", "avr", "--pace", "1001"}, "--pace wants"},
        {{"sim-create", x, "--family", "avr", "--family", "8051"},
         "--family is given twice; give it once"},
        {{"sim-create", x, "--family", "avr", "--no-eesave"},
         "unexpected argument \"--no-eesave\""},
    };
    for (const auto& [args, message] : bad) {
        EXPECT_EQ(Cli(args), 2) << args.back();
        EXPECT_EQ(err_.str().rfind("kelvo-cli: sim-create: " + message, 0), 0u) << err_.str();
    }
    EXPECT_FALSE(fs::exists(Path("x.json")));
}

TEST_F(SimFiles, SimCreateLoadsCodeFromIntelHex) {
    const std::string hex = Path("fw.hex");
    std::ofstream(hex) << ":0400100001020304E2\n:00000001FF\n";
    ASSERT_EQ(Cli({"sim-create", Path("c.json"), "--family", "8051", "--code", hex}), 0)
        << err_.str();
    SimBoardState s;
    std::string error;
    ASSERT_TRUE(LoadSimState(Path("c.json"), s, error)) << error;
    EXPECT_EQ(s.code[0x00], 0xFF); // the file replaces the built-in firmware
    EXPECT_EQ(s.code[0x0F], 0xFF);
    EXPECT_EQ(s.code[0x10], 0x01);
    EXPECT_EQ(s.code[0x13], 0x04);
    EXPECT_EQ(s.code[0x14], 0xFF);

    std::ofstream(hex) << ":0400100001020304E3\n:00000001FF\n"; // bad checksum
    EXPECT_EQ(Cli({"sim-create", Path("d.json"), "--family", "avr", "--code", hex}), 1);
    EXPECT_NE(err_.str().find("fw.hex"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(Path("d.json")));
}

TEST_F(SimFiles, SimulatedConnectionKeepsTheBoardBetweenRuns) {
    const std::string path = Path("run.json");
    ASSERT_EQ(Cli({"sim-create", path, "--family", "avr"}), 0) << err_.str();
    ConnectionRequest request;
    request.simFile = path;
    std::string error;
    {
        auto conn = OpenSimulatedConnection(request, 0x378, error);
        ASSERT_TRUE(conn) << error;
        SimBoard& board = dynamic_cast<SimBoard&>(conn->port());
        EXPECT_EQ(&conn->clock(), static_cast<Clock*>(&board));
        Pins p{board};
        AvrEnable(p);
        p.Send({0xC0, 0x00, 36, 0x42});
        p.WaitUs(9000);
        ASSERT_TRUE(conn->Close(error)) << error;
    }
    auto again = OpenSimulatedConnection(request, 0x378, error);
    ASSERT_TRUE(again);
    Pins p{dynamic_cast<SimBoard&>(again->port())};
    AvrEnable(p);
    EXPECT_EQ(AvrReadEeprom(p, 36), 0x42);

    request.simFile = Path("missing.json");
    EXPECT_FALSE(OpenSimulatedConnection(request, 0x378, error));
    EXPECT_NE(error.find("missing.json"), std::string::npos);
}

TEST_F(SimFiles, AnOpenBoardIsRefusedToEveryOtherRunUntilClosed) {
    const std::string path = Path("shared.json");
    ASSERT_EQ(Cli({"sim-create", path, "--family", "avr", "--board", "3"}), 0) << err_.str();
    ConnectionRequest request;
    request.simFile = path;
    std::string error;
    auto first = OpenSimulatedConnection(request, 0x378, error);
    ASSERT_TRUE(first) << error;
    // What the first run changes on its board.
    Pins p{dynamic_cast<SimBoard&>(first->port())};
    AvrEnable(p);
    p.Send({0xC0, 0x00, 4, 0x07});
    p.WaitUs(9000);

    // Another run, a kelvo-cli command or a sim-create --force are refused,
    // also after the first run has saved the board mid-run.
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(OpenSimulatedConnection(request, 0x378, error));
        EXPECT_NE(error.find("in use by another Kelvo run"), std::string::npos) << error;
        EXPECT_EQ(Cli({"--sim", path, "preset", "extreme"}), 1);
        EXPECT_NE(err_.str().find("in use"), std::string::npos) << err_.str();
        EXPECT_EQ(Cli({"sim-create", path, "--family", "8051", "--force"}), 1);
        ASSERT_TRUE(first->Save(error)) << error;
    }
    ASSERT_TRUE(first->Close(error)) << error;
    EXPECT_FALSE(first->Save(error));

    // Nothing was lost: the first run's write is there and the board is free.
    auto second = OpenSimulatedConnection(request, 0x378, error);
    ASSERT_TRUE(second) << error;
    Pins q{dynamic_cast<SimBoard&>(second->port())};
    AvrEnable(q);
    EXPECT_EQ(AvrReadEeprom(q, 4), 0x07);
}

TEST(SimConnectionDefault, FreshBoardIsAnAvrWithFirmwareThreeAt378) {
    std::string error;
    ConnectionRequest fresh;
    fresh.driver = PortDriver::Simulated;
    auto conn = OpenSimulatedConnection(fresh, 0x378, error);
    ASSERT_TRUE(conn) << error;
    Pins p{dynamic_cast<SimBoard&>(conn->port())};
    AvrEnable(p);
    EXPECT_EQ(AvrSignature(p), (std::array<std::uint8_t, 3>{0x1E, 0x93, 0x07}));
    EXPECT_EQ(AvrReadEeprom(p, 20), 3);
    EXPECT_TRUE(conn->Close(error)); // nothing to write back
}
