// The bench: a fixed-depth search of a fixed list of positions. Its node count
// is a signature of the search and evaluation; it changes only with their
// behaviour.
#include <memory>

#include "eval/evaluator.h"
#include "search/bench.h"
#include "search/clock.h"
#include "search/helpers.h"
#include "search/search.h"

namespace {

// Openings, middlegames with tactics, endgames and pawn endings, both sides to move.
constexpr const char* BENCH_POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - -",
    "3r1k2/4npp1/1ppr3p/p6P/P2PPPP1/1NR5/5K2/2R5 w - -",
    "2q1rr1k/3bbnnp/p2p1pp1/2pPp3/PpP1P1P1/1P2BNNP/2BQ1PRK/7R b - -",
    "rnbqkb1r/p3pppp/1p6/2ppP3/3N4/2P5/PPP1QPPP/R1B1KB1R w KQkq -",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - -",
    "1nk1r1r1/pp2n1pp/4p3/q2pPp1N/b1pP1P2/B1P2R2/2P1B1PP/R2Q2K1 w - -",
    "2kr1bnr/pbpq4/2n1pp2/3p3p/3P1P1B/2N2N1Q/PPP3PP/2KR1B1R w - -",
    "r3r1k1/ppqb1ppp/8/4p1NQ/8/2P5/PP3PPP/R3R1K1 b - -",
    "rnb2r1k/pp2p2p/2pp2p1/q2P1p2/8/1Pb2NP1/PB2PPBP/R2Q1RK1 w - -",
    "r2q1rk1/1ppnbppp/p2p1nb1/3Pp3/2P1P1P1/2N2N1P/PPB1QP2/R1B2RK1 b - -",
    "r4k2/pb2bp1r/1p1qp2p/3pNp2/3P1P2/2N3P1/PPP1Q2P/2KRR3 w - -",
    "r1bqk2r/pp2bppp/2p5/3pP3/P2Q1P2/2N1B3/1PP3PP/R4RK1 b kq -",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -",
    "k4r2/1R4pb/1pQp1n1p/3P4/5p1P/3P2P1/r1q1R2K/8 w - -",
    "r3k2r/pbp2pp1/3b1n2/1p6/3P3p/1B2N1Pq/PP1PQP1P/R1B2RK1 b kq -",
    "4r1k1/p1qr1p2/2pb1Bp1/1p5p/3P1n1R/1B3P2/PP3PK1/2Q4R w - -",
    "8/8/p2p3p/3k2p1/PP6/3K1P1P/8/8 b - -",
    "8/1p3p2/p7/8/2k5/4P1pP/2P1K1P1/8 w - -",
    "4k3/8/3PP1p1/8/3K3p/8/3n2PP/8 b - -",
    "8/7p/2k1Pp2/pp1p2p1/3P2P1/4P3/P3K2P/8 w - -",
    "8/8/8/pPk3pp/2P1p3/1pK3P1/5PP1/8 w - -",
    "1kr5/3n4/q3p2p/p2n2p1/PppB1P2/5BP1/1P2Q2P/3R2K1 w - -",
    "1b1r4/3rkp2/p3p2p/4q3/P5P1/2RBP3/P1Q4P/1R3K2 b - -",
    "1b1qrr2/1p4pk/1np4p/p3Np1B/Pn1P4/R1N3B1/1Pb2PPP/2Q1R1K1 b - -",
};

constexpr uint32_t BENCH_HASH_MB = 16;

} // namespace

BenchResult runBench(int depth, int threads, Evaluator& evaluator, const PieceSquareTables& tables,
                     SearchProfile profile, const ModernParams& modernParams) {
    if (depth < 1) depth = profile == SearchProfile::Modern ? MODERN_BENCH_DEPTH : BENCH_DEPTH;
    // The searches have a position and a table of their own: the game, its
    // table and the settings of the caller are untouched. They evaluate with
    // the caller's evaluator and leave its caches emptied and refilled, as a
    // search of the caller's would.
    auto position = std::make_unique<Position>();
    position->board.usePieceSquareTables(tables);
    auto table = std::make_unique<MainHashTable>();
    table->mainHashMB = BENCH_HASH_MB;
    table->allocate();
    SearchListener silent;
    auto search = std::make_unique<Search>(*position, *table, silent, evaluator);
    search->time.mode = TimeMode::FixedDepth;
    search->time.depthLimit = depth;
    search->options = SearchOptions{}; // no book, learning or tablebases; no reductions (the default)
    search->options.profile = profile;
    search->modernParams = modernParams;
    auto helpers = std::make_unique<HelperThreads>(*table);
    if (threads > 1) {
        helpers->setCount(threads - 1, evaluator.caches());
        search->attachHelpers(helpers.get());
    }

    BenchResult result;
    const int64_t start = wallClockMs();
    for (const char* fen : BENCH_POSITIONS) {
        if (!position->board.readFen(fen)) continue;
        position->resetHistory();
        table->clear();
        evaluator.caches().clear();
        helpers->clearCaches();
        search->forgetHistory();
        search->think();
        result.nodes += search->totalNodes();
    }
    result.elapsedMs = wallClockMs() - start;
    if (result.elapsedMs < 1) result.elapsedMs = 1;
    return result;
}
