#include "FlowTestSupport.h"
#include "ops/Download.h"
#include "ops/FirmwareImageHex.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/Upload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace kelvo;

namespace {

constexpr char kReason[] =
    "No permission to use /dev/parport0. Add yourself to its group with: sudo usermod -aG lp you";

// A bench whose port could not be opened: every flow that needs the board
// must say so once, run no operation, touch no port, and end as after
// failed attempts without its own failure message.
struct NoPortBench : FlowBench {
    NoPortBench() : FlowBench(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10))) {
        ctx.portUnavailable = kReason;
    }
    void ExpectOnlyThePortMessage(const std::vector<std::string>& before = {}) {
        std::vector<std::string> expected = before;
        expected.push_back("Parallel Port Unavailable");
        EXPECT_EQ(host.Captions(), expected);
        EXPECT_TRUE(host.requests.empty());
        EXPECT_EQ(state.operationSucceeded, 0);
        const Message& m = host.messages.back();
        EXPECT_NE(m.text.find(kReason), std::string::npos) << m.text;
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
    using Message = ScriptedFlowHost::Message;
};

std::string FirmwareFile() {
    const auto path = std::filesystem::temp_directory_path() / "kelvo-no-port.efw";
    std::ofstream(path) << FormatFirmwareImage(1, CutIntoRecords(std::vector<std::uint8_t>(64, 7)));
    return path.string();
}

} // namespace

TEST(NoPort, DownloadSaysWhyOnceAndShowsAnUnknownBoard) {
    NoPortBench b;
    b.state.operationSucceeded = 1;
    b.state.boardInfo.boardLoaded = 1;
    b.state.settingsImage = ValidBoardSettings(1, 3, 10);
    DownloadConfiguration(b.ctx);
    b.ExpectOnlyThePortMessage();
    EXPECT_EQ(b.host.panel, (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(b.state.boardInfo.boardLoaded, 0);
    EXPECT_EQ(b.state.settingsImage[entry::debounce], Unset);
    EXPECT_EQ(b.board.nowNs(), kSimStartNs); // no port access: time stood still
}

TEST(NoPort, PinTestWritesNothing) {
    NoPortBench b;
    b.state.runOptions.pinTest = 1;
    DownloadConfiguration(b.ctx);
    b.ExpectOnlyThePortMessage();
    EXPECT_EQ(b.board.nowNs(), kSimStartNs); // no port access: time stood still
}

TEST(NoPort, WritesEndWithoutTheirOwnFailureMessage) {
    {
        NoPortBench b;
        b.state.settingsImage = ValidBoardSettings(1, 3, 10);
        b.state.boardInfo.boardLoaded = 1;
        EXPECT_EQ(UploadConfiguration(b.ctx), -1);
        b.ExpectOnlyThePortMessage();
    }
    {
        NoPortBench b;
        b.host.files.push_back(FirmwareFile());
        EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);
        b.ExpectOnlyThePortMessage();
        EXPECT_TRUE(b.host.Entries("request download").empty());
    }
    {
        NoPortBench b;
        b.state.runOptions.initProgramming = 1;
        b.host.files.push_back(FirmwareFile());
        EXPECT_EQ(UpdateFirmware(b.ctx), FirmwareUpdate::NotWritten);
        b.ExpectOnlyThePortMessage();
        EXPECT_TRUE(b.host.Entries("beep").empty()); // as after failed attempts
    }
    {
        NoPortBench b;
        b.state.settingsImage = ValidBoardSettings(1, 3, 10);
        const BoardSettingsImage before = b.state.settingsImage;
        b.host.answers.push_back(MessageAnswer::Yes);
        EXPECT_FALSE(FactoryDefaults(b.ctx));
        b.ExpectOnlyThePortMessage({"Confirm Factory Reset"});
        EXPECT_EQ(b.state.settingsImage, before);
    }
}
