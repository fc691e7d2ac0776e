// The flows that matter, through every programmer, against the strict
// simulated board: whatever carries the bits, a flow must do the same.
#include "FlowTestSupport.h"
#include "link/Operation.h"
#include "ops/Download.h"
#include "ops/FirmwareBackup.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/Upload.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

void Download(FlowBench& b, Family) {
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 1);
    EXPECT_EQ(b.state.settingsImage[entry::boardTypeCode], 3);
    for (std::size_t i = 1; i < kImageEntries; ++i)
        EXPECT_EQ(b.state.settingsImage[i], b.BoardEntry(i)) << "entry " << i;
}

void Upload(FlowBench& b, Family) {
    DownloadConfiguration(b.ctx);
    b.state.settingsImage[entry::debounce] = 21;
    EXPECT_EQ(UploadConfiguration(b.ctx), 1);
    EXPECT_EQ(b.BoardEntry(entry::debounce), 21);
}

// A backup of the old firmware, then the new one and the settings.
void UpdateWithBackup(FlowBench& b, Family) {
    const std::vector<std::uint8_t> old(b.board.state().code);
    ASSERT_EQ(ReadFirmware(b.ctx), FirmwareRead::Read);
    EXPECT_EQ(b.state.codeRead.memory, old);
    DownloadConfiguration(b.ctx);
    const std::vector<std::uint8_t> code = RandomCode(512, 7);
    b.host.files.push_back(WriteFirmwareFile(3, code).string());
    b.state.settingsImage[entry::debounce] = 9;
    const std::uint64_t trips = b.via.RoundTrips();
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::Complete);
    // A USB programmer sends pages and verify reads in batches: one request
    // per instruction would take more than one per byte of the whole code
    // memory.
    if (b.via.bus()) {
        EXPECT_LT(b.via.RoundTrips() - trips, 3 * code.size());
    }
    const std::vector<std::uint8_t>& now = b.board.state().code;
    EXPECT_TRUE(std::equal(code.begin(), code.end(), now.begin()));
    EXPECT_TRUE(
        std::all_of(now.begin() + 512, now.end(), [](std::uint8_t v) { return v == 0xFF; }));
    EXPECT_FALSE(b.board.state().codeCutShort);
    EXPECT_EQ(b.BoardEntry(entry::debounce), 9);
}

void FactoryReset(FlowBench& b, Family family) {
    const std::vector<std::uint8_t> factory = b.board.state().factorySettings;
    b.state.settingsImage = ValidBoardSettings(3, 3, 10);
    b.host.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(FactoryDefaults(b.ctx));
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), b.board.state().data.begin()));
    EXPECT_EQ(b.BoardEntry(entry::firmwareMajor), 3) << (family == Family::Avr ? "avr" : "8051");
}

void DownloadFails(FlowBench& b, Family) {
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.host.Operations(), (std::vector<int>{0, 4, 0, 4}));
    std::vector<std::string> captions = {"Board Read Failed"};
    if (b.kind == ProgrammerKind::Usbasp) {
        captions.push_back("Kelvo"); // it may be an 8051 board, which it cannot reach
        EXPECT_EQ(b.host.messages.back().text, kTextAvrOnlyProgrammer);
    }
    EXPECT_EQ(b.host.Captions(), captions);
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 0);
}

// Bits flipped on the cable fail a firmware update; it is never reported
// done.
void UpdateThroughNoise(FlowBench& b, Family) {
    b.host.files.push_back(WriteFirmwareFile(3, RandomCode(256, 5)).string());
    b.host.answers.assign(8, MessageAnswer::Yes);
    EXPECT_NE(UpdateFirmware(b.ctx), FirmwareUpdate::Complete);
    EXPECT_FALSE(b.host.Captions().empty());
}

// A USB programmer pulled out while the firmware goes in ends the write as a
// stop does, and the bus says why.
void UnpluggedMidWrite(FlowBench& b, Family family) {
    const std::vector<std::uint8_t> code = RandomCode(1024, 9);
    b.host.files.push_back(WriteFirmwareFile(3, code).string());
    b.host.answers.assign(2, MessageAnswer::Yes);
    const int write = family == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware;
    b.host.onPosition = [&](int position) {
        if (position == 8 && b.host.requests.back().operation == write)
            b.via.Unplug();
    };
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);
    EXPECT_FALSE(std::equal(code.begin(), code.end(), b.board.state().code.begin()));
    EXPECT_EQ(b.via.bus()->Fault(), b.kind == ProgrammerKind::Usbasp
                                        ? "The USBasp stopped answering: it was unplugged, or its "
                                          "USB connection failed."
                                        : "The FTDI programmer stopped answering: writing to it "
                                          "failed (USB device unavailable).");
}

struct FlowCase {
    const char* name;
    void (*run)(FlowBench&, Family);
    SimFaults faults;
    bool usbOnly = false;
};

SimFaults NoPower() {
    SimFaults f;
    f.noPower = true;
    return f;
}
SimFaults Unplugged() {
    SimFaults f;
    f.noBoard = true;
    return f;
}
SimFaults Noise() {
    SimFaults f;
    f.bitErrorRate = 1e-3;
    return f;
}

const FlowCase kFlowCases[] = {
    {"Download", Download, {}},
    {"Upload", Upload, {}},
    {"UpdateWithBackup", UpdateWithBackup, {}},
    {"FactoryDefaults", FactoryReset, {}},
    {"NoBoard", DownloadFails, Unplugged()},
    {"NoPower", DownloadFails, NoPower()},
    {"BitErrors", UpdateThroughNoise, Noise()},
    {"UnpluggedMidWrite", UnpluggedMidWrite, {}, true},
};

struct ProgrammerRow {
    ProgrammerKind programmer;
    const char* name;
    bool avrOnly;
};
const ProgrammerRow kProgrammers[] = {
    {ProgrammerKind::Parallel, "Parallel", false},
    {ProgrammerKind::Ft232r, "Ft232r", false},
    {ProgrammerKind::Usbasp, "Usbasp", true},
};

using Param = std::tuple<int, Family, int>; // programmer, family, case

// Every case through every programmer that can run it; an 8051 board through
// an AVR-only programmer is one run, whose expectation is the refusal.
std::vector<Param> Runs() {
    std::vector<Param> runs;
    for (int p = 0; p < static_cast<int>(std::size(kProgrammers)); ++p)
        for (const Family family : {Family::Avr, Family::Mcs51})
            for (int c = 0; c < static_cast<int>(std::size(kFlowCases)); ++c) {
                const bool refused = kProgrammers[p].avrOnly && family == Family::Mcs51;
                if ((refused && c > 0) || (kFlowCases[c].usbOnly &&
                                           kProgrammers[p].programmer == ProgrammerKind::Parallel))
                    continue;
                runs.emplace_back(p, family, c);
            }
    return runs;
}

class ThroughEachProgrammer : public ::testing::TestWithParam<Param> {};

} // namespace

TEST_P(ThroughEachProgrammer, FlowDoesWhatItDoesOnTheParallelPort) {
    const auto [programmer, family, index] = GetParam();
    const FlowCase& c = kFlowCases[index];
    NewSimBoard made;
    made.family = family;
    made.boardTypeCode = 3;
    made.firmwareMajor = 3;
    made.firmwareMinor = 5;
    SimBoardState s = MakeNewSimBoard(made);
    std::copy_n(RandomCode(1024, 8).begin(), 1024, s.code.begin()); // old firmware to back up
    s.data[4] = 3;                                                  // changed since the factory
    s.faults = c.faults;
    FlowBench b(s, kProgrammers[programmer].programmer);
    if (!(kProgrammers[programmer].avrOnly && family == Family::Mcs51)) {
        c.run(b, family);
        return;
    }
    // Every flow starts by reading the board, which says why it cannot.
    DownloadConfiguration(b.ctx);
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 0);
    EXPECT_EQ(b.host.Captions(), (std::vector<std::string>{"Board Read Failed", "Kelvo"}));
    EXPECT_EQ(b.host.messages.back().text, kTextAvrOnlyProgrammer);
    EXPECT_EQ(b.board.state().code, s.code);
    EXPECT_EQ(b.board.state().data, s.data);
}

std::string RunName(const ::testing::TestParamInfo<Param>& info) {
    const auto [programmer, family, index] = info.param;
    const bool refused = kProgrammers[programmer].avrOnly && family == Family::Mcs51;
    return std::string(kProgrammers[programmer].name) + (family == Family::Avr ? "Avr" : "Mcs51") +
           (refused ? "Refused" : kFlowCases[index].name);
}

INSTANTIATE_TEST_SUITE_P(Flows, ThroughEachProgrammer, ::testing::ValuesIn(Runs()), RunName);
