// The simulated USBasp answers as the programmer's firmware does, on the
// pins of a strict simulated board.
#include "sim/SimUsbasp.h"
#include "test_sim_pins.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kelvo;

namespace {

struct Usbasp {
    SimBoard board{simtest::AvrBoard()};
    SimUsbasp usbasp{board, board, kSimDefaultAddress};
    UsbFailure failure = UsbFailure::None;

    std::vector<std::uint8_t> In(std::uint8_t request, std::uint16_t value = 0,
                                 std::uint16_t index = 0, std::uint16_t length = 4) {
        std::vector<std::uint8_t> data(length);
        const int n = usbasp.Control(true, request, value, index, data.data(), length, failure);
        data.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        return data;
    }
    std::vector<std::uint8_t> Transmit(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                       std::uint8_t d) {
        return In(kUsbaspTransmit, static_cast<std::uint16_t>(b << 8 | a),
                  static_cast<std::uint16_t>(d << 8 | c));
    }
    // Connect, the 20 ms the part needs, Programming Enable.
    void Enable() {
        In(kUsbaspConnect);
        board.SleepMs(20);
        ASSERT_EQ(Transmit(0xAC, 0x53, 0, 0)[2], 0x53);
    }
};

TEST(SimUsbasp, AnswersItsRequestsOnTheBoardsPins) {
    struct Case {
        std::uint8_t request;
        std::uint16_t value, index;
        std::vector<std::uint8_t> reply;
    };
    // Signature bytes answer in the fourth byte; the other bytes echo.
    const Case cases[] = {
        {kUsbaspTransmit, 0x0030, 0x0000, {0x00, 0x30, 0x00, 0x1E}},
        {kUsbaspTransmit, 0x0030, 0x0001, {0x00, 0x30, 0x00, 0x93}},
        {kUsbaspTransmit, 0x0030, 0x0002, {0x00, 0x30, 0x00, 0x07}},
        {kUsbaspTransmit, 0x00A0, 0x0003, {0x00, 0xA0, 0x00, 21}}, // data byte 3 of the board
        {kUsbaspSetIspSck, kUsbaspSck187k, 0, {0x00}},
        {kUsbaspEnableProg, 0, 0, {}}, // not modelled: answers nothing
    };
    Usbasp u;
    u.Enable();
    for (const Case& c : cases)
        EXPECT_EQ(u.In(c.request, c.value, c.index), c.reply) << int(c.request) << " " << c.index;
    EXPECT_FALSE(u.board.PinHigh(4)) << "RESET stays low while connected";
    u.In(kUsbaspDisconnect);
    EXPECT_TRUE(u.board.PinHigh(4)) << "released, the board's pull-up takes RESET high";
}

TEST(SimUsbasp, WritesFlashInPagesAndReadsItBack) {
    struct Block {
        std::uint16_t address, size;
        std::uint8_t flags;
    };
    // Whole pages end in 0xFF, which cannot be polled for and is waited
    // out; a last block that leaves a page part-filled flushes it, polling.
    const std::vector<std::vector<Block>> cases = {
        {{0, 64, kUsbaspBlockFirst}, {64, 64, kUsbaspBlockLast}},
        {{0, 100, kUsbaspBlockFirst | kUsbaspBlockLast}},
    };
    for (const auto& blocks : cases) {
        Usbasp u;
        u.Enable();
        u.Transmit(0xAC, 0x80, 0, 0); // chip erase
        u.board.SleepMs(10);
        u.Enable();
        std::vector<std::uint8_t> code(8192, 0xFF);
        std::size_t total = 0;
        for (const Block& b : blocks) {
            std::vector<std::uint8_t> data(b.size);
            for (std::size_t i = 0; i < data.size(); ++i)
                data[i] = code[b.address + i] = static_cast<std::uint8_t>(
                    (b.address + i) % 64 == 63 ? 0xFF : (b.address + i) * 5 + 1);
            EXPECT_EQ(u.usbasp.Control(false, kUsbaspWriteFlash, b.address,
                                       static_cast<std::uint16_t>(b.flags << 8 | 64), data.data(),
                                       b.size, u.failure),
                      b.size);
            total += b.size;
        }
        const std::vector<std::uint8_t> read =
            u.In(kUsbaspReadFlash, 0, 0, static_cast<std::uint16_t>(total));
        EXPECT_TRUE(std::equal(read.begin(), read.end(), code.begin())) << blocks.size();
        EXPECT_EQ(read.size(), total);
        u.board.Settle();
        EXPECT_EQ(u.board.state().code, code) << blocks.size();
    }
}

TEST(SimUsbasp, EachTransferTakesAMillisecondAndAnUnpluggedOneFails) {
    Usbasp u;
    u.Enable();
    const std::uint64_t start = u.board.nowNs();
    u.Transmit(0x30, 0, 0, 0);
    const std::uint64_t took = u.board.nowNs() - start;
    EXPECT_GE(took, 1'000'000u);
    EXPECT_LT(took, 1'200'000u) << "32 bits on the pins take about 0.1 ms more";

    u.usbasp.UnplugAfter(1);
    EXPECT_EQ(u.Transmit(0x30, 0, 0, 0).size(), 4u);
    EXPECT_EQ(u.failure, UsbFailure::None);
    EXPECT_TRUE(u.Transmit(0x30, 0, 0, 0).empty());
    EXPECT_EQ(u.failure, UsbFailure::Gone);
    EXPECT_TRUE(u.board.PinHigh(4)) << "the lines let go; the board runs";
    EXPECT_EQ(u.usbasp.transfers(), 4u);
}

} // namespace
