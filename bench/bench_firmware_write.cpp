// A full 8 KB firmware write on each family through the simulated board:
// how many port accesses it takes, what that costs on a real bus at 1 µs per
// access, and how long the simulation itself runs.
#include "link/Operation.h"
#include "link/ParallelIspBus.h"
#include "sim/SimBoard.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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

void BM_FirmwareWrite8K(benchmark::State& state, Family family) {
    std::mt19937 rng(1);
    std::vector<std::uint8_t> code(8192);
    for (std::uint8_t& b : code)
        b = static_cast<std::uint8_t>(rng());
    std::string text;
    for (unsigned a = 0; a < code.size(); a += 16)
        text += Record(a, &code[a]) + "\n";
    text += ":00000001FF\n";
    const std::filesystem::path tokens =
        std::filesystem::temp_directory_path() / "kelvo_bench_firmware.efw";
    {
        std::ofstream out(tokens);
        for (std::size_t i = 0; i < code.size() / 16 + 2; ++i)
            out << "t\n";
    }

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
    std::filesystem::remove(tokens);
    state.counters["port_accesses"] = accesses;
    state.counters["bus_seconds_at_1us"] = accesses * 1e-6;
}

} // namespace

BENCHMARK_CAPTURE(BM_FirmwareWrite8K, avr, Family::Avr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirmwareWrite8K, mcs51, Family::Mcs51)->Unit(benchmark::kMillisecond);
