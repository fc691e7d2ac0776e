// A whole firmware write through each programmer against the simulated
// board: an 8 KB AVR write and verify and a 4 KB 8051 write. For the USB
// programmers the round trips, the bytes moved both ways and the virtual time
// the job takes at 1 ms per round trip; for the parallel port the port
// accesses and their time at 1 us each.
#include "BenchFirmware.h"
#include "link/FtdiIspBus.h"
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "sim/SimBoard.h"
#include "sim/SimFtdiDevice.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

using namespace kelvo;

namespace {

using bench::NullSink;

enum class Via { Parallel, Ft232r };

void BM_FirmwareJob(benchmark::State& state, Family family, Via via) {
    const std::size_t size = family == Family::Avr ? 8192 : 4096;
    const bench::FirmwareJob job(size, "kelvo_bench_programmers_" +
                                           std::to_string(static_cast<int>(family)) + ".efw");
    const std::vector<std::uint8_t>& code = job.code;
    const std::string& text = job.text;
    const std::filesystem::path& tokens = job.tokens;

    double seconds = 0, accesses = 0, roundTrips = 0, bytes = 0;
    for (auto _ : state) {
        SimBoard board(MakeErasedSimBoard(family));
        LinkParams params;
        Link link(board, board, params);
        ParallelIspBus parallel(link);
        SimFtdiDevice* ftdi = nullptr;
        std::unique_ptr<IspBus> usb;
        if (via == Via::Ft232r) {
            auto device = std::make_unique<SimFtdiDevice>(board);
            ftdi = device.get();
            std::string error;
            usb = MakeFtdiBus(std::move(device), board, FtdiPins{}, error);
        }
        NullSink sink;
        std::array<std::int32_t, 37> image{};
        float steps = 0;
        OperationContext ctx(usb ? *usb : parallel, sink, image, text, steps);
        ctx.firmwarePath = tokens.string();
        std::int32_t succeeded = 0;
        const std::uint64_t start = board.nowNs();
        RunOperation(family == Family::Avr ? kOpWriteAvrFirmware : kOpWrite8051Firmware, ctx,
                     succeeded);
        if (succeeded != 1 || !std::equal(code.begin(), code.end(), board.state().code.begin()))
            state.SkipWithError("firmware did not verify");
        seconds = static_cast<double>(board.nowNs() - start) * 1e-9;
        accesses = seconds * 1e9 / board.state().busCycleNs;
        if (ftdi) {
            roundTrips = static_cast<double>(ftdi->roundTrips());
            bytes = static_cast<double>(ftdi->bytesMoved());
        }
    }
    if (via == Via::Parallel) {
        state.counters["port_accesses"] = accesses;
    } else {
        state.counters["usb_round_trips"] = roundTrips;
        state.counters["usb_bytes_moved"] = bytes;
    }
    state.counters["job_seconds"] = seconds;
}

} // namespace

BENCHMARK_CAPTURE(BM_FirmwareJob, avr8k_parallel, Family::Avr, Via::Parallel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareJob, avr8k_ft232r, Family::Avr, Via::Ft232r)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareJob, mcs51_4k_parallel, Family::Mcs51, Via::Parallel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareJob, mcs51_4k_ft232r, Family::Mcs51, Via::Ft232r)
    ->Unit(benchmark::kMillisecond);
