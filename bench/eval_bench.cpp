// Evaluation speed: evaluations per second over a fixed set of positions (the
// Win At Chess suite, or a short built-in list without the data folder), with
// both caches off, with the pawn cache only, and with both caches.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "eval/evaluator.h"
#include "eval/tables.h"
#include "shell/engine.h"

namespace {

const char* const BUILT_IN[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - -",
    "6k1/5ppp/8/8/8/8/5PPP/6K1 w - -",
};

std::vector<std::unique_ptr<Board>> benchPositions() {
    initEvalTables();
    std::vector<std::string> fens;
    std::ifstream in(std::string(FALKMERE_DATA_DIR) + "/wac.epd");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word, fen;
        for (int i = 0; i < 4 && words >> word; ++i) fen += (i ? " " : "") + word;
        if (!fen.empty()) fens.push_back(fen);
    }
    if (fens.empty()) fens.assign(std::begin(BUILT_IN), std::end(BUILT_IN));
    std::vector<std::unique_ptr<Board>> boards;
    for (const auto& fen : fens) {
        auto b = std::make_unique<Board>();
        if (b->readFen(fen.c_str()) == 1 && b->hasBothKings()) boards.push_back(std::move(b));
    }
    return boards;
}

void evaluations(benchmark::State& state, bool pawnCache, bool evaluationCache) {
    auto boards = benchPositions();
    auto evaluator = std::make_unique<Evaluator>();
    if (pawnCache) evaluator->caches().pawn.allocate();
    if (evaluationCache) evaluator->caches().eval.allocate();
    int64_t sum = 0;
    for (auto _ : state) {
        for (auto& b : boards) sum += evaluator->evaluate(*b);
    }
    benchmark::DoNotOptimize(sum);
    state.counters["evals_per_second"] =
        benchmark::Counter(static_cast<double>(boards.size()) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["positions"] = static_cast<double>(boards.size());
}

} // namespace

BENCHMARK_CAPTURE(evaluations, caches_off, false, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(evaluations, pawn_cache_only, true, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(evaluations, both_caches, true, true)->Unit(benchmark::kMicrosecond);
