// Tablebase speed: probes per second with a warm and a cold block cache, and
// the generation of four-man tables (time and memory of the analysis).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>

#include "board/board.h"
#include "egtb/generator.h"
#include "egtb/registry.h"
#include "egtb/tablebases.h"
#include "eval/tables.h"

namespace {

// kqkr and what it needs, generated once into a temporary folder.
const std::string& tableDirectory() {
    static const std::string dir = [] {
        initEvalTables();
        const std::string path =
            (std::filesystem::temp_directory_path() / ("falkmere-egtb-bench-" + std::to_string(getpid())))
                .string();
        std::filesystem::create_directories(path);
        egtb::TableStore store(path, true, false, true);
        store.get(egtb::tableNumber("kqkr"));
        return path;
    }();
    return dir;
}

// Boards of random legal kqkr positions.
std::vector<std::unique_ptr<Board>> positions(int count) {
    std::vector<std::unique_ptr<Board>> boards;
    std::mt19937 random(1);
    const char* letters = "KkQr";
    while (static_cast<int>(boards.size()) < count) {
        char grid[64] = {};
        bool clash = false;
        for (int i = 0; i < 4 && !clash; ++i) {
            const int s = static_cast<int>(random() % 64);
            clash = grid[s] != 0;
            grid[s] = letters[i];
        }
        if (clash) continue;
        std::string fen;
        for (int rank = 7; rank >= 0; --rank) {
            int empty = 0;
            for (int file = 0; file < 8; ++file) {
                const char c = grid[rank * 8 + file];
                if (!c) {
                    ++empty;
                    continue;
                }
                if (empty) fen += static_cast<char>('0' + empty);
                empty = 0;
                fen += c;
            }
            if (empty) fen += static_cast<char>('0' + empty);
            if (rank) fen += '/';
        }
        fen += random() % 2 ? " w - -" : " b - -";
        auto board = std::make_unique<Board>();
        if (board->readFen(fen.c_str()) != 1) continue;
        int score;
        egtb::tablebaseOutput = [](const char*) {};
        if (!probeTablebases(*board, 1, score)) continue; // illegal positions find no entry
        boards.push_back(std::move(board));
    }
    return boards;
}

// Warm: a 16 MB cache that holds the whole table after the first pass.
// Cold: a cache of a single block, so that nearly every probe reads its block
// again (from the operating system's file cache).
void probeBenchmark(benchmark::State& state, bool warm) {
    egtb::tablebaseOutput = [](const char*) {};
    loadTablebases(tableDirectory().c_str(), 16, true);
    const auto boards = positions(4096);
    std::vector<uint8_t> single(egtb::CACHE_ENTRY_BYTES);
    if (!warm) egtb::setUpCache(single.data(), single.size());
    const auto missesBefore = egtb::cacheCounters.misses;
    uint64_t probes = 0;
    for (auto _ : state) {
        for (const auto& board : boards) {
            int score = 0;
            benchmark::DoNotOptimize(probeTablebases(*board, 1, score));
            benchmark::DoNotOptimize(score);
        }
        probes += boards.size();
    }
    state.counters["probes_per_second"] =
        benchmark::Counter(static_cast<double>(probes), benchmark::Counter::kIsRate);
    state.counters["miss_ratio"] =
        static_cast<double>(egtb::cacheCounters.misses - missesBefore) / static_cast<double>(probes);
    loadTablebases("", 1, true);
}

// The analysis of one table (the tables its captures reach are made first and
// are part of the wall time; the counters are the table's own).
void generationBenchmark(benchmark::State& state, const char* name) {
    for (auto _ : state) {
        egtb::TableStore store;
        const int table = egtb::tableNumber(name);
        if (!store.get(table)) state.SkipWithError("generation failed");
        const auto& report = store.reports[table];
        state.counters["table_seconds"] = report.seconds;
        state.counters["work_MB"] = static_cast<double>(report.workBytes) / 1048576.0;
    }
}

} // namespace

BENCHMARK_CAPTURE(probeBenchmark, warm_cache, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(probeBenchmark, cold_cache, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(generationBenchmark, kqkr, "kqkr")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(generationBenchmark, kbnk, "kbnk")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(generationBenchmark, kpkp, "kpkp")->Unit(benchmark::kMillisecond)->Iterations(1);
