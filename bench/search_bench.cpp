// Search speed and the time discipline of a fixed-time search. The node rate
// of fixed-depth searches; the overshoot of fixed-time searches past their
// allowance (the clock is looked at every 9000 nodes, so some overshoot is expected).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "eval/evaluator.h"
#include "eval/tables.h"
#include "search/clock.h"
#include "search/search.h"

namespace {

// A search of its own: position, table, an evaluator without caches and a
// listener that reads no input.
struct Searcher {
    Position position;
    MainHashTable table;
    SearchListener silent;
    Evaluator evaluator;
    Search search{position, table, silent, evaluator};

    explicit Searcher(const char* fen) {
        initEvalTables();
        table.mainHashMB = 16;
        table.allocate();
        setUp(fen);
    }
    // A fresh position: the same search every time.
    void setUp(const char* fen) {
        position.board.readFen(fen);
        position.resetHistory();
        table.clear();
    }
};

void fixedDepthSearch(benchmark::State& state, const char* fen) {
    auto searcher = std::make_unique<Searcher>(fen);
    Search& search = searcher->search;
    search.time.mode = TimeMode::FixedDepth;
    search.time.depthLimit = static_cast<int>(state.range(0));
    uint64_t nodes = 0;
    for (auto _ : state) {
        searcher->setUp(fen);
        benchmark::DoNotOptimize(search.think());
        nodes += search.statistics().nodes;
    }
    state.counters["nodes"] = static_cast<double>(search.statistics().nodes);
    state.counters["nodes_per_second"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}

void fixedTimeSearch(benchmark::State& state, const char* fen) {
    auto searcher = std::make_unique<Searcher>(fen);
    Search& search = searcher->search;
    search.time.mode = TimeMode::FixedTime;
    search.time.depthLimit = 64;
    const int allowance = static_cast<int>(state.range(0));
    int64_t worstOvershoot = INT64_MIN;
    for (auto _ : state) {
        searcher->setUp(fen);
        search.time.moveTimeMs = allowance;
        const int64_t start = wallClockMs();
        benchmark::DoNotOptimize(search.think());
        const int64_t overshoot = wallClockMs() - start - allowance;
        if (overshoot > worstOvershoot) worstOvershoot = overshoot;
    }
    state.counters["allowance_ms"] = allowance;
    // Negative: the search stopped early (it should not).
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
