// The FTDI programmer at the chip: what the simulated FT232R gives back, and
// how the bus and the chip must agree on the wiring. (A chip that goes away
// mid-write is one of the flows run through every programmer.)
#include "FlowTestSupport.h"
#include "link/AvrProtocol.h"
#include "link/FtdiIspBus.h"
#include "sim/SimFtdiDevice.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(SimFt232r, SamplesEachByteBeforeItGoesOutAndStallsWhenItsBuffersAreFull) {
    SimBoard board(MakeErasedSimBoard(Family::Avr));
    SimFtdiDevice chip(board);
    ASSERT_EQ(chip.SetBitmode(0x0B, true), 0); // SCK, MOSI, RESET out; MISO (D2) in
    EXPECT_LT(chip.SetBaudrate(800'000), 0);   // beyond 3 MBd once multiplied by four
    ASSERT_EQ(chip.SetBaudrate(kFtdiByteRate), 0);
    // Outputs read back as driven, one byte late; MISO is low while the part
    // sits in reset (RESET, D3, low) and floats high once it runs; the other
    // inputs float high.
    const std::uint8_t out[] = {0x00, 0x09, 0x0B};
    ASSERT_EQ(chip.WriteData(out, 3), 3);
    std::uint8_t in[4] = {};
    EXPECT_EQ(chip.ReadData(in, 4), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(in, in + 3), (std::vector<std::uint8_t>{0xFB, 0xF0, 0xFD}));
    EXPECT_EQ(chip.roundTrips(), 1u);
    EXPECT_EQ(chip.bytesMoved(), 6u);

    // 384 bytes fit; one more before the samples are read stalls the write.
    const std::vector<std::uint8_t> full(FtdiRoundTripBytes(FtdiChip::Ft232r), 0x00);
    const std::uint64_t before = board.nowNs();
    EXPECT_EQ(chip.WriteData(full.data(), static_cast<int>(full.size())),
              static_cast<int>(full.size()));
    EXPECT_EQ(board.nowNs() - before, kSimUsbRoundTripNs); // 768 us of clocking inside it
    EXPECT_LT(chip.WriteData(full.data(), 1), 0);
    EXPECT_EQ(chip.ErrorString(), "usb bulk write failed");
    EXPECT_EQ(chip.Purge(), 0);
    EXPECT_EQ(chip.WriteData(full.data(), 1), 1);

    chip.Unplug();
    EXPECT_LT(chip.ReadData(in, 1), 0);
    EXPECT_EQ(chip.ErrorString(), "USB device unavailable");
}

TEST(FtdiBus, WiringMustMatchAndEveryLineNeedsABitOfItsOwn) {
    struct Case {
        FtdiPins pins;
        bool valid;
    };
    const Case cases[] = {
        {{0, 1, 2, 3}, true},  {{7, 4, 1, 0}, true},   {{0, 0, 2, 3}, false},
        {{0, 1, 2, 8}, false}, {{-1, 1, 2, 3}, false}, {{0, 1, 3, 3}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pins.Valid(), c.valid)
            << c.pins.sck << c.pins.mosi << c.pins.miso << c.pins.reset;

    // The bus and the cable must agree on which bit is which line.
    for (const FtdiPins wiring : {FtdiPins{}, FtdiPins{4, 0, 1, 2}}) {
        SimBoard board(BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5)));
        std::string error;
        auto bus = MakeFtdiBus(std::make_unique<SimFtdiDevice>(board, FtdiChip::Ft232h, wiring),
                               board, FtdiPins{}, error);
        ASSERT_TRUE(bus) << error;
        bus->DriveReset(Family::Avr, true);
        bus->DriveReset(Family::Avr, false);
        IspAvrEnable(*bus);
        EXPECT_EQ(IspAvrReadSignature(*bus), wiring == FtdiPins{} ? kAvrSignature : 0xFFFFFFu);
    }
}
