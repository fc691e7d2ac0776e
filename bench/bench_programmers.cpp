// A whole firmware write through each programmer against the simulated
// board: an 8 KB AVR write and verify and a 4 KB 8051 write. For the USB
// programmers the round trips, the bytes moved both ways and the virtual time
// the job takes at 1 ms per round trip; for the parallel port the port
// accesses and their time at 1 us each.
#include "link/FtdiIspBus.h"
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "sim/SimBoard.h"
#include "sim/SimFtdiDevice.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

using namespace kelvo;

namespace {

class NullSink final : public ProgressSink {
public:
    void SetRange(int) override {}
    void SetPosition(int) override {}
    void SetStatus(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void SetWarning(const std::string&) override {}
};

std::string Record(unsigned address, const std::uint8_t* bytes) {
    char text[64];
    unsigned sum = 16 + (address >> 8) + (address & 0xFF);
    int at = std::snprintf(text, sizeof text, ":10%04X00", address);
    for (int i = 0; i < 16; ++i) {
        at +=
            std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X", bytes[i]);
        sum += bytes[i];
    }
    std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X",
                  (0x100 - sum) & 0xFF);
    return text;
}

enum class Via { Parallel, Ft232r };

void BM_FirmwareJob(benchmark::State& state, Family family, Via via) {
    const std::size_t size = family == Family::Avr ? 8192 : 4096;
    std::mt19937 rng(1);
    std::vector<std::uint8_t> code(size);
    for (std::uint8_t& b : code)
        b = static_cast<std::uint8_t>(rng());
    std::string text;
    for (unsigned a = 0; a < code.size(); a += 16)
        text += Record(a, &code[a]) + "\n";
    text += ":00000001FF\n";
    const std::filesystem::path tokens =
        std::filesystem::temp_directory_path() /
        ("kelvo_bench_programmers_" + std::to_string(static_cast<int>(family)) + ".efw");
    {
        std::ofstream out(tokens);
        for (std::size_t i = 0; i < code.size() / 16 + 2; ++i)
            out << "t\n";
    }

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
    std::filesystem::remove(tokens);
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
