// The flows through a simulated USBasp on the strict simulated board.
#include "FirmwareTestImages.h"
#include "FlowTestSupport.h"
#include "link/UsbaspBus.h"
#include "ops/Download.h"
#include "ops/FirmwareBackup.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/Upload.h"
#include "sim/SimUsbasp.h"

using namespace kelvo;

namespace {

struct UsbaspFlow : FlowBench {
    explicit UsbaspFlow(SimBoardState s) : FlowBench(std::move(s)) { ctx.programmer = &bus; }
    SimUsbasp usbasp{board, board, board.state().address};
    UsbaspBus bus{usbasp, board};
};

SimBoardState Avr() {
    return BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10));
}
SimBoardState With(SimBoardState s, void (*change)(SimBoardState&)) {
    change(s);
    return s;
}

TEST(UsbaspFlows, DownloadUploadFactoryDefaultsAndWhatTheUsbaspCannotReach) {
    struct Case {
        const char* name;
        SimBoardState board;
        bool loaded;
        std::vector<std::string> captions;
    };
    const std::vector<std::string> failed = {"Board Read Failed", "Kelvo"};
    const Case cases[] = {
        {"avr", Avr(), true, {}},
        {"no board", With(Avr(), [](SimBoardState& s) { s.faults.noBoard = true; }), false, failed},
        {"no power", With(Avr(), [](SimBoardState& s) { s.faults.noPower = true; }), false, failed},
        {"8051", BoardWithSettings(Family::Mcs51, ValidBoardSettings(0, 2, 50)), false, failed},
    };
    for (const Case& c : cases) {
        UsbaspFlow f(c.board);
        DownloadConfiguration(f.ctx);
        EXPECT_EQ(f.state.boardInfo.boardLoaded, c.loaded ? 1 : 0) << c.name;
        EXPECT_EQ(f.host.Captions(), c.captions) << c.name;
        if (!c.loaded) {
            EXPECT_EQ(f.host.messages.back().text, kTextAvrOnlyProgrammer) << c.name;
            continue;
        }
        EXPECT_EQ(f.state.settingsImage, ValidBoardSettings(1, 3, 10));
        f.state.settingsImage[entry::dwell] = 21;
        EXPECT_EQ(UploadConfiguration(f.ctx), 1);
        EXPECT_EQ(f.BoardEntry(entry::dwell), 21);
        f.host.answers = {MessageAnswer::Yes};
        EXPECT_TRUE(FactoryDefaults(f.ctx));
        f.board.Settle();
        EXPECT_EQ(f.BoardEntry(entry::dwell), ValidBoardSettings(1, 3, 10)[entry::dwell]);
    }
}

TEST(UsbaspFlows, FirmwareUpdateWithBackupAndAProgrammerPulledOutMidWrite) {
    const std::vector<std::uint8_t> code = RandomCode(kAvrCodeSize, 7);
    for (const bool unplugged : {false, true}) {
        UsbaspFlow f(Avr());
        const std::vector<std::uint8_t> before = f.board.state().code;
        DownloadConfiguration(f.ctx);
        ASSERT_EQ(ReadFirmware(f.ctx), FirmwareRead::Read);
        EXPECT_EQ(f.state.codeRead.memory, before) << "the backup";
        f.host.files = {WriteFirmwareFile(1, code).string()};
        f.host.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
        if (unplugged)
            f.usbasp.UnplugAfter(60);
        const std::uint64_t trips = f.bus.programmer().roundTrips();
        const FirmwareUpdate result = UpdateFirmware(f.ctx);
        f.board.Settle();
        if (unplugged) {
            EXPECT_EQ(result, FirmwareUpdate::NotWritten);
            EXPECT_NE(f.bus.Fault(), "");
            EXPECT_NE(f.board.state().code, code);
            continue;
        }
        EXPECT_EQ(result, FirmwareUpdate::Complete);
        EXPECT_EQ(f.board.state().code, code);
        // Pages go out whole and reads by the block: far below one
        // request per instruction (16,000 for the write and its check).
        EXPECT_LT(f.bus.programmer().roundTrips() - trips, 1000u);
    }
}

} // namespace
