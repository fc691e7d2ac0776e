// A whole firmware write through each programmer against the simulated
// board: an 8 KB AVR write and verify, and a 4 KB 8051 write. Through the
// parallel port it counts the port accesses, and the job's time is theirs at
// 1 us each; through a simulated USB programmer it counts the round trips
// and the bytes they move (both ways), and the job's time is the board's
// with 1 ms per round trip. The USBasp programs AVR parts only. The wall
// time is the simulation's own.
#include "BenchFirmware.h"
#include "app/SimConnection.h"
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "sim/SimBoard.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

using namespace kelvo;

namespace {

using bench::FirmwareJob;
using bench::NullSink;

void BM_FirmwareWrite(benchmark::State& state, Family family, ProgrammerKind via) {
    const std::size_t size = family == Family::Avr ? 8192 : 4096;
    const FirmwareJob job(size, "kelvo_bench_firmware_" + std::to_string(size) + ".efw");
    double seconds = 0, accesses = 0, roundTrips = 0, bytes = 0;
    for (auto _ : state) {
        SimBoard board(MakeErasedSimBoard(family));
        LinkParams params;
        Link link(board, board, params);
        ParallelIspBus parallel(link);
        std::string error;
        const SimProgrammer programmer(via, board, error);
        NullSink sink;
        std::array<std::int32_t, 37> image{};
        float steps = 0;
        OperationContext ctx(programmer.bus() ? *programmer.bus() : parallel, sink, image, job.text,
                             steps);
        ctx.firmwarePath = job.tokens.string();
        std::int32_t succeeded = 0;
        const std::uint64_t start = board.nowNs();
        RunOperation(family == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware, ctx,
                     succeeded);
        if (succeeded != 1 ||
            !std::equal(job.code.begin(), job.code.end(), board.state().code.begin()))
            state.SkipWithError("firmware did not verify");
        seconds = static_cast<double>(board.nowNs() - start) * 1e-9;
        if (via == ProgrammerKind::Parallel) {
            accesses = seconds * 1e9 / board.state().busCycleNs;
        } else {
            roundTrips = static_cast<double>(programmer.RoundTrips());
            bytes = static_cast<double>(programmer.BytesMoved());
        }
    }
    if (via == ProgrammerKind::Parallel) {
        state.counters["port_accesses"] = accesses;
    } else {
        state.counters["usb_round_trips"] = roundTrips;
        state.counters["usb_bytes_moved"] = bytes;
    }
    state.counters["job_seconds"] = seconds;
}

} // namespace

BENCHMARK_CAPTURE(BM_FirmwareWrite, avr8k_parallel, Family::Avr, ProgrammerKind::Parallel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite, avr8k_ft232r, Family::Avr, ProgrammerKind::Ft232r)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite, avr8k_usbasp, Family::Avr, ProgrammerKind::Usbasp)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite, mcs51_4k_parallel, Family::Mcs51, ProgrammerKind::Parallel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite, mcs51_4k_ft232r, Family::Mcs51, ProgrammerKind::Ft232r)
    ->Unit(benchmark::kMillisecond);
