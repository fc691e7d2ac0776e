// The flows that matter, through every programmer, against the strict
// simulated board: whatever carries the bits, a flow must do the same.
#include "FlowTestSupport.h"
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
    EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::Complete);
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
    EXPECT_EQ(b.host.Captions(), (std::vector<std::string>{"Board Read Failed"}));
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

struct FlowCase {
    const char* name;
    void (*run)(FlowBench&, Family);
    SimFaults faults;
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
};

const Programmer kProgrammers[] = {Programmer::Parallel, Programmer::Ft232r};
const char* const kProgrammerNames[] = {"Parallel", "Ft232r"};

using Param = std::tuple<int, Family, int>; // programmer, family, case
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
    FlowBench b(s, kProgrammers[programmer]);
    c.run(b, family);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, ThroughEachProgrammer,
    ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kProgrammers))),
                       ::testing::Values(Family::Avr, Family::Mcs51),
                       ::testing::Range(0, static_cast<int>(std::size(kFlowCases)))),
    [](const ::testing::TestParamInfo<Param>& info) {
        return std::string(kProgrammerNames[std::get<0>(info.param)]) +
               (std::get<1>(info.param) == Family::Avr ? "Avr" : "Mcs51") +
               kFlowCases[std::get<2>(info.param)].name;
    });
