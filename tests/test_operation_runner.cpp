#include "link/AvrProtocol.h"
#include "link/Operation.h"

#include "test_operation_support.h"

#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::optest;
using Kind = RecordingProgressSink::Kind;
using Event = RecordingProgressSink::Event;
using Texts = std::vector<std::string>;

TEST(OperationRunner, UnassignedCodesRunNothingAndKeepTheFlag) {
    for (std::int32_t code : {2, 9, -1, 1000}) {
        for (std::int32_t before : {0, 1}) {
            OperationRig rig;
            std::int32_t succeeded = before;
            RunOperation(code, rig.ctx, succeeded);
            EXPECT_EQ(succeeded, before) << code;
            EXPECT_TRUE(rig.port.accesses.empty()) << code;
            EXPECT_TRUE(rig.sink.events.empty()) << code;
        }
    }
}

TEST(OperationRunner, StartShowsTheFlowTextAndWarningBeforeTheOperation) {
    OperationRig rig;
    rig.ctx.firmwarePath = ::testing::TempDir() + "/missing_dir/none.efw";
    std::int32_t succeeded = 1;
    StartOperation(kOpWriteAvrFirmware, "Searching for a board on port 0x378, please wait...",
                   rig.ctx, succeeded);
    EXPECT_EQ(succeeded, 0);
    // The file cannot be opened: the window keeps the flow's text.
    const std::vector<Event> expected = {
        {Kind::Position, 0, ""},
        {Kind::Status, 0, "Searching for a board on port 0x378, please wait..."},
        {Kind::Warning, 0, "Do not turn off the power or disconnect the programming cable."},
        {Kind::TimeLeft, 0, ""},
    };
    EXPECT_EQ(rig.sink.events, expected);
}

TEST(OperationRunner, DispatchesEachCodeToItsOperation) {
    struct Case {
        std::int32_t code;
        const char* status;
        const char* secondRegisterWrite; // the 8051 side clears the data register first
    };
    const char* download = "Downloading settings from your board, please wait...";
    const char* upload = "Uploading settings to your board, please wait...";
    const char* firmware = "Uploading firmware to your board, please wait...";
    for (const Case c :
         {Case{kOpRead8051Settings, download, "D00"}, Case{kOpWrite8051Settings, upload, "D00"},
          Case{kOpReadAvrSettings, download, "S00"}, Case{kOpWriteAvrSettings, upload, "S00"},
          Case{kOpWrite8051Firmware, firmware, "D00"},
          Case{kOpWriteAvrFirmware, firmware, "S00"}}) {
        OperationRig rig;
        SetFirmware(rig, {DataRecord(0, std::vector<std::uint8_t>(16, 0x5A)), kEndRecord},
                    "runner_dispatch.efw");
        std::int32_t succeeded = 1;
        RunOperation(c.code, rig.ctx, succeeded);
        EXPECT_EQ(succeeded, 0) << c.code; // nothing answers
        EXPECT_EQ(rig.sink.Texts(Kind::Status), Texts{c.status}) << c.code;
        const auto trace = rig.Trace();
        ASSERT_GE(trace.size(), 3u);
        // Firmware operations calibrate before touching a register.
        const std::size_t first = trace[0] == kRigCalibration ? 1 : 0;
        EXPECT_EQ(trace[first + 1], c.secondRegisterWrite) << c.code;
    }
}

TEST(OperationRunner, SettingsOperationsShowTheirTextOnceCalibrated) {
    // The registers each family clears first, the calibration's 1100
    // pauses, then the text, before the programming sequence begins.
    for (const auto& [code, cleared] :
         {std::pair{kOpRead8051Settings, 3}, std::pair{kOpWrite8051Settings, 3},
          std::pair{kOpReadAvrSettings, 2}, std::pair{kOpWriteAvrSettings, 2}}) {
        OperationRig rig;
        StampedSink sink(rig.port);
        OperationContext ctx = rig.ContextFor(sink);
        std::int32_t succeeded = 1;
        RunOperation(code, ctx, succeeded);
        ASSERT_GE(sink.events.size(), 3u) << code;
        const std::string at = "@" + std::to_string(cleared + 1100);
        EXPECT_EQ(sink.Stamped("range"), Tokens{"range 36@0"}) << code;
        EXPECT_EQ(sink.events[2].first.substr(0, 7), "status ") << code;
        EXPECT_EQ(sink.Stamped("status")[0].substr(sink.Stamped("status")[0].find('@')), at)
            << code;
    }
}

TEST(OperationRunner, SuccessSetsTheFlagAndSettingsShowNoTimeLeft) {
    OperationRig rig;
    rig.ctx.bypassReadCheck = 1;
    std::int32_t succeeded = 0;
    StartOperation(kOpReadAvrSettings, "Searching...", rig.ctx, succeeded);
    EXPECT_EQ(succeeded, 1);
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Texts{""});
    EXPECT_EQ(rig.sink.Texts(Kind::Warning), Texts{kTextOperationWarning});
}

TEST(TimeLeft, EstimatesFromTheRateOfEachFiveSecondWindow) {
    OperationRig rig;
    rig.clock.queued.clear();
    rig.clock.now = 100;
    rig.stepsRemaining = 100.0f;
    rig.ctx.UpdateTimeLeft(); // opens the window, not a step
    for (int i = 0; i < 10; ++i) {
        rig.clock.now = 100 + i / 2;
        rig.ctx.UpdateTimeLeft();
    }
    EXPECT_TRUE(rig.sink.events.empty()) << "nothing before the window closes";
    rig.clock.now = 105;
    rig.ctx.UpdateTimeLeft(); // 10 steps in 5 s: 100 steps take 50 s
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Texts{"Time Left: 00:50"});

    // The next window starts at 105 and counts from zero.
    rig.stepsRemaining = 7.0f;
    rig.clock.now = 107;
    for (int i = 0; i < 2; ++i)
        rig.ctx.UpdateTimeLeft();
    rig.clock.now = 111; // 2 steps in 6 s: 7 steps take 21 s
    rig.ctx.UpdateTimeLeft();
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), (Texts{"Time Left: 00:50", "Time Left: 00:21"}));

    // A window with no steps in it shows nothing and starts a new one.
    rig.clock.now = 200;
    rig.ctx.UpdateTimeLeft();
    rig.clock.now = 204;
    rig.ctx.UpdateTimeLeft();
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft).size(), 2u);
}

TEST(TimeLeft, WindowsAreTimedToTheMicrosecond) {
    // Readings in µs: the window opens at 100.6 s; 105.5 s is 4.9 s into it,
    // a step; 105.6 s closes it after 3 steps in 5.0 s, so 10 steps take
    // 16.7 s. (Whole seconds would have closed it at 105.5 s, after 2.)
    class Readings final : public Clock {
    public:
        std::int64_t NowSeconds() override { return NowMicroseconds() / 1'000'000; }
        std::int64_t NowMicroseconds() override {
            const std::int64_t t = times.front();
            times.pop_front();
            return t;
        }
        void SleepMs(std::uint32_t) override {}
        std::deque<std::int64_t> times{100'600'000, 101'000'000, 103'000'000, 105'500'000,
                                       105'600'000};
    } clock;
    OperationRig rig;
    Link link(rig.port, clock, rig.params);
    ParallelIspBus bus(link);
    OperationContext ctx{bus, rig.sink, rig.image, rig.firmwareText, rig.stepsRemaining};
    rig.stepsRemaining = 10.0f;
    for (int i = 0; i < 4; ++i)
        ctx.UpdateTimeLeft();
    EXPECT_TRUE(rig.sink.events.empty());
    ctx.UpdateTimeLeft();
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Texts{"Time Left: 00:16"});
}

TEST(TimeLeft, HoursAreDroppedAndFractionsTruncated) {
    EXPECT_EQ(FormatTimeLeft(3725), "Time Left: 02:05");
    EXPECT_EQ(FormatTimeLeft(59), "Time Left: 00:59");
    EXPECT_EQ(FormatTimeLeft(3600), "Time Left: 00:00");

    OperationRig rig;
    rig.clock.queued.clear();
    rig.clock.now = 50;
    rig.ctx.UpdateTimeLeft();
    for (int i = 0; i < 3; ++i)
        rig.ctx.UpdateTimeLeft();
    rig.stepsRemaining = 8.0f; // 3 steps in 5 s: 13.33 s
    rig.clock.now = 55;
    rig.ctx.UpdateTimeLeft();
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), Texts{"Time Left: 00:13"});

    // At a step a second, the largest estimate a 32-bit count holds is shown
    // (35,791,392 minutes: 12 of the hour); one beyond it leaves the line.
    for (float remaining : {2147483520.0f, 2147483648.0f}) {
        for (int i = 0; i < 5; ++i)
            rig.ctx.UpdateTimeLeft();
        rig.stepsRemaining = remaining;
        rig.clock.now += 5;
        rig.ctx.UpdateTimeLeft();
    }
    EXPECT_EQ(rig.sink.Texts(Kind::TimeLeft), (Texts{"Time Left: 00:13", "Time Left: 12:00"}));
}
