// The bench: a fixed-depth search of a fixed list of positions. Its node count
// is a signature of the search and evaluation; it changes only with their
// behaviour.
#pragma once

#include <cstdint>

#include "search/limits.h"
#include "search/modern/params.h"

class Evaluator;
struct PieceSquareTables;

constexpr int BENCH_DEPTH = 7;
// The modern profile prunes far more: its bench goes deeper.
constexpr int MODERN_BENCH_DEPTH = 11;

struct BenchResult {
    uint64_t nodes = 0;
    int64_t elapsedMs = 0;
};

// Searches every bench position to `depth` (the profile's bench depth when 0
// or less) with a 16 MB table of its own and the caller's evaluator (its
// parameters and caches, and helpers' caches of the same sizes) and
// piece-square tables (made from the same parameters); book, learning and
// tablebases off; every table, cache and history emptied before each
// position. With more than one thread, helper threads search beside the main
// search and their nodes count too (the count is then no signature: threads
// meet in the table in no fixed order).
BenchResult runBench(int depth, int threads, Evaluator& evaluator, const PieceSquareTables& tables,
                     SearchProfile profile = SearchProfile::Classic,
                     const ModernParams& modernParams = ModernParams{});
