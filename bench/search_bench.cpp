// Search speed and the time discipline of a fixed-time search. The node rate
// of fixed-depth searches; the overshoot of "st" searches past their allowance
// (the clock is looked at every 9000 nodes, so some overshoot is expected).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <memory>

#include "eval/weights.h"
#include "shell/engine.h"
#include "shell/platform.h"

namespace {

// A pipe that nothing writes to: the search's input poll finds no command (and
// no end of input, which would stop the search at once).
int silentInput() {
    static int fd = [] {
        int ends[2];
        return pipe(ends) == 0 ? ends[0] : 0;
    }();
    return fd;
}

std::unique_ptr<Engine> engineFor(const char* fen) {
    initEvalTables();
    auto engine = std::make_unique<Engine>();
    engine->input.reset(silentInput());
    engine->hashTable.mainHashMB = 16;
    engine->hashTable.allocate(false);
    engine->board.readFen(fen);
    engine->resetHistory();
    engine->postMode = 0;
    engine->quietSearch = true;
    return engine;
}

void fixedDepthSearch(benchmark::State& state, const char* fen) {
    auto engine = engineFor(fen);
    engine->timeMode = 2;
    engine->depthLimit = static_cast<int>(state.range(0));
    uint64_t nodes = 0;
    for (auto _ : state) {
        engine->board.readFen(fen); // a fresh position: the same search every time
        engine->resetHistory();
        benchmark::DoNotOptimize(engine->think());
        nodes += engine->stats.nodes;
    }
    state.counters["nodes"] = static_cast<double>(engine->stats.nodes);
    state.counters["nodes_per_second"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}

void fixedTimeSearch(benchmark::State& state, const char* fen) {
    auto engine = engineFor(fen);
    engine->timeMode = 1;
    engine->depthLimit = 64;
    const int allowance = static_cast<int>(state.range(0));
    int64_t worstOvershoot = INT64_MIN;
    for (auto _ : state) {
        engine->board.readFen(fen);
        engine->resetHistory();
        engine->moveTimeMs = allowance;
        const int64_t start = wallClockMs();
        benchmark::DoNotOptimize(engine->think());
        const int64_t overshoot = wallClockMs() - start - allowance;
        if (overshoot > worstOvershoot) worstOvershoot = overshoot;
    }
    state.counters["allowance_ms"] = allowance;
    // Negative: the search stopped early (it should not, with no input).
    state.counters["worst_overshoot_ms"] = static_cast<double>(worstOvershoot);
}

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
constexpr const char* ITALIAN = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
constexpr const char* ENDGAME = "8/8/p2p3p/3k2p1/PP6/3K1P1P/8/8 b - -";

} // namespace

BENCHMARK_CAPTURE(fixedDepthSearch, start, START)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(fixedDepthSearch, italian, ITALIAN)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(fixedDepthSearch, pawn_ending, ENDGAME)
    ->Arg(12)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(fixedTimeSearch, start_st1, START)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(fixedTimeSearch, ending_st2, ENDGAME)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
