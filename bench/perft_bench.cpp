// Perft speed: leaves per second from the start position and Kiwipete. Each run
// also checks the count, so a fast wrong generator cannot pass unnoticed.
#include <benchmark/benchmark.h>

#include <memory>

#include "eval/tables.h"
#include "shell/perft.h"

namespace {

void perftBenchmark(benchmark::State& state, const char* fen, int depth, uint64_t expected) {
    initEvalTables();
    auto position = std::make_unique<Position>();
    position->board.readFen(fen);
    position->resetHistory();
    uint64_t leaves = 0;
    for (auto _ : state) {
        leaves = perft(*position, depth);
        benchmark::DoNotOptimize(leaves);
    }
    if (leaves != expected) state.SkipWithError("wrong perft count");
    state.counters["nodes_per_second"] = benchmark::Counter(
        static_cast<double>(leaves) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(perftBenchmark, start_depth5, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 5,
                  4865609)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(perftBenchmark, start_depth6, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6,
                  119060324)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(perftBenchmark, kiwipete_depth5,
                  "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 5, 193690690)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(perftBenchmark, position3_depth6, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 6, 11030083)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(perftBenchmark, position4_depth5,
                  "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 5, 15833292)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
