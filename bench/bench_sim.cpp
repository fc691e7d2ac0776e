// Port accesses per second through the simulated board, driven by the link
// code as a board operation drives it.
#include "link/Link.h"
#include "sim/SimBoard.h"

#include <benchmark/benchmark.h>

using namespace kelvo;

namespace {

void Report(benchmark::State& state, const SimBoard& board, std::uint64_t startNs) {
    const double accesses = static_cast<double>(board.nowNs() - startNs) / board.state().busCycleNs;
    state.counters["accesses/s"] = benchmark::Counter(accesses, benchmark::Counter::kIsRate);
}

// Single pause writes, as the bit timing makes them. (Calibrated delays go
// to the board as one run each and cost next to nothing.)
void BM_SimPauseWrites(benchmark::State& state) {
    SimBoard board(MakeErasedSimBoard(Family::Avr));
    LinkParams params;
    Link link(board, board, params);
    const std::uint64_t start = board.nowNs();
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            link.IoPause();
    Report(state, board, start);
}
BENCHMARK(BM_SimPauseWrites);

// Instruction traffic: bits clocked both ways, the part decoding them.
void BM_SimEepromReads(benchmark::State& state) {
    SimBoard board(MakeErasedSimBoard(Family::Avr));
    LinkParams params;
    Link link(board, board, params);
    link.HoldResetAvr();
    for (std::uint8_t b : {0xAC, 0x53, 0xFF, 0xFF})
        link.SendByte(Family::Avr, b);
    const std::uint64_t start = board.nowNs();
    std::uint8_t address = 0;
    for (auto _ : state) {
        link.SendByte(Family::Avr, 0xA0);
        link.SendByte(Family::Avr, 0x00);
        link.SendByte(Family::Avr, address++);
        benchmark::DoNotOptimize(link.ReceiveByte(Family::Avr));
    }
    Report(state, board, start);
}
BENCHMARK(BM_SimEepromReads);

// A whole settings read the way the AVR operation does it: calibration,
// enable, signature, 37 bytes each after one calibrated delay.
void BM_SimAvrSettingsRead(benchmark::State& state) {
    SimBoard board(MakeErasedSimBoard(Family::Avr));
    LinkParams params;
    Link link(board, board, params);
    const std::uint64_t start = board.nowNs();
    for (auto _ : state) {
        link.CalibrateDelay(1.0f, CalibrationClock::Microseconds);
        link.ReleaseResetAvr();
        link.HoldResetAvr();
        for (int i = 0; i < 8; ++i)
            link.CalibratedDelay();
        for (std::uint8_t b : {0xAC, 0x53, 0xFF, 0xFF})
            link.SendByte(Family::Avr, b);
        for (std::uint8_t a = 0; a < 40; ++a) {
            link.SendByte(Family::Avr, a < 3 ? 0x30 : 0xA0);
            link.SendByte(Family::Avr, 0x00);
            link.SendByte(Family::Avr, a < 3 ? a : static_cast<std::uint8_t>(a - 3));
            link.CalibratedDelay();
            benchmark::DoNotOptimize(link.ReceiveByte(Family::Avr));
        }
        link.ReleaseResetAvr();
    }
    Report(state, board, start);
}
BENCHMARK(BM_SimAvrSettingsRead)->Unit(benchmark::kMillisecond);

} // namespace
