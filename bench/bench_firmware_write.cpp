// A full 8 KB firmware write on each family through the simulated board:
// how many port accesses it takes, what that costs on a real bus at 1 µs per
// access, and how long the simulation itself runs.
#include "BenchFirmware.h"
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "link/UsbaspBus.h"
#include "sim/SimBoard.h"
#include "sim/SimUsbasp.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

using namespace kelvo;

namespace {

using bench::FirmwareJob;
using bench::NullSink;

void BM_FirmwareWrite8K(benchmark::State& state, Family family) {
    const FirmwareJob job(8192, "kelvo_bench_firmware.efw");
    const std::vector<std::uint8_t>& code = job.code;
    const std::string& text = job.text;
    const std::filesystem::path& tokens = job.tokens;
    double accesses = 0;
    for (auto _ : state) {
        SimBoard board(MakeErasedSimBoard(family));
        LinkParams params;
        Link link(board, board, params);
        ParallelIspBus bus(link);
        NullSink sink;
        std::array<std::int32_t, 37> image{};
        float steps = 0;
        OperationContext ctx(bus, sink, image, text, steps);
        ctx.firmwarePath = tokens.string();
        std::int32_t succeeded = 0;
        const std::uint64_t start = board.nowNs();
        RunOperation(family == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware, ctx,
                     succeeded);
        if (succeeded != 1 || board.state().code != code)
            state.SkipWithError("firmware did not verify");
        accesses = static_cast<double>(board.nowNs() - start) / board.state().busCycleNs;
    }
    state.counters["port_accesses"] = accesses;
    state.counters["bus_seconds_at_1us"] = accesses * 1e-6;
}

// The AVR job through a simulated USBasp: its round trips, the bytes they
// move (setup packets and data) and the board's time with 1 ms per trip.
void BM_UsbaspFirmwareWrite8K(benchmark::State& state) {
    const FirmwareJob job(8192, "kelvo_bench_firmware.efw");
    double trips = 0, bytes = 0, seconds = 0;
    for (auto _ : state) {
        SimBoard board(MakeErasedSimBoard(Family::Avr));
        SimUsbasp usbasp(board, board, board.state().address);
        UsbaspBus bus(usbasp, board);
        NullSink sink;
        std::array<std::int32_t, 37> image{};
        float steps = 0;
        OperationContext ctx(bus, sink, image, job.text, steps);
        ctx.firmwarePath = job.tokens.string();
        std::int32_t succeeded = 0;
        const std::uint64_t start = board.nowNs();
        RunOperation(kOpWriteAvrFirmware, ctx, succeeded);
        if (succeeded != 1 || board.state().code != job.code)
            state.SkipWithError("firmware did not verify");
        trips = static_cast<double>(bus.programmer().roundTrips());
        bytes = static_cast<double>(bus.programmer().bytesMoved());
        seconds = static_cast<double>(board.nowNs() - start) * 1e-9;
    }
    state.counters["usb_round_trips"] = trips;
    state.counters["usb_bytes"] = bytes;
    state.counters["seconds_at_1ms_per_trip"] = seconds;
}

} // namespace

BENCHMARK(BM_UsbaspFirmwareWrite8K)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite8K, avr, Family::Avr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite8K, mcs51, Family::Mcs51)->Unit(benchmark::kMillisecond);
