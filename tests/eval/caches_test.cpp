// The pawn cache and the evaluation cache: sizing and size lines, probes and
// stores, hits during evaluation, and evaluation without any cache.

#include "evaltest.h"

namespace {

// A runaway pawn (flag bit 0) and a white queen attacking the black king.
constexpr const char* INFO_POSITION = "7k/8/8/P7/8/8/8/1QRBK3 w - -";

} // namespace

TEST(CacheSizing, LargestPowerOfTwoOfSixteenByteEntries) {
    // {pawn MB, eval MB, size lines, pawn mask, eval mask}; when nothing fits, the minimum of two entries.
    const std::tuple<int, int, const char*, uint32_t, uint32_t> cases[] = {
        {5, 2, "pawn cache     4 MB [262144 entries]\neval cache     2 MB [131072 entries]\n", 262143,
         131071},
        {8, 3, "pawn cache     8 MB [524288 entries]\neval cache     2 MB [131072 entries]\n", 524287,
         131071},
        {0, -4, "pawn cache 3.05e-05 MB [2 entries]\neval cache 3.05e-05 MB [2 entries]\n", 1, 1},
    };
    for (const auto& [pawnMB, evalMB, lines, pawnMask, evalMask] : cases) {
        Evaluator evaluator;
        EXPECT_EQ(allocateCaches(evaluator, pawnMB, evalMB), lines);
        EXPECT_TRUE(evaluator.caches().pawn.allocated());
        EXPECT_EQ(evaluator.caches().pawn.mask, pawnMask);
        EXPECT_EQ(evaluator.caches().eval.mask, evalMask);
    }
}

TEST(CacheSizing, AFailedAllocationIsReportedAndEvaluationGoesOnUncached) {
    Evaluator evaluator;
    // A petabyte each: more than a 32-bit key can index.
    EXPECT_EQ(allocateCaches(evaluator, 1 << 30, 1 << 30),
              "Couldn't allocate memory for pawn hash table!\n"
              "pawn cache 1.07e+09 MB [70368744177664 entries]\n"
              "Couldn't allocate memory for evaluation cache!\n"
              "eval cache 1.07e+09 MB [70368744177664 entries]\n");
    const CacheSet& caches = evaluator.caches();
    EXPECT_FALSE(caches.pawn.allocated());
    EXPECT_FALSE(caches.eval.allocated());
    Board b;
    b.readFen(INFO_POSITION);
    const int first = evaluator.evaluate(b);
    EXPECT_EQ(evaluator.evaluate(b), first);
    EXPECT_EQ(caches.eval.probes, 0u);
    EXPECT_EQ(caches.pawn.probes, 0u);
}

TEST(EvalCache, ASecondEvaluationIsAHitWithTheSameScoreAndInfo) {
    Evaluator evaluator;
    allocateCaches(evaluator);
    const EvalCache& cache = evaluator.caches().eval;
    Board b, other;
    b.readFen(INFO_POSITION);
    other.readFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const int first = evaluator.evaluate(b);
    const std::array<uint8_t, 3> info = evaluator.evalInfo();
    EXPECT_EQ(info[0] & 1, 1);
    EXPECT_GT(info[1], 0);
    EXPECT_EQ(cache.hits, 0u);
    // Another position in between leaves other info bytes behind.
    evaluator.evaluate(other);
    ASSERT_NE(evaluator.evalInfo(), info);
    EXPECT_EQ(evaluator.evaluate(b), first);
    EXPECT_EQ(cache.hits, 1u);
    EXPECT_EQ(cache.probes, 3u);
    EXPECT_EQ(evaluator.evalInfo(), info) << "the hit brings the info bytes back";
}

TEST(EvalCache, ThePlacementWithTheOtherSideToMoveIsEvaluatedAfresh) {
    // A self-mirrored pawn ending: its score depends on who is to move, and the
    // flipped copy (same placement, other side to move) must score the same
    // for its side to move.
    Evaluator evaluator;
    allocateCaches(evaluator);
    Board b;
    b.readFen("3k4/3pp3/8/8/8/8/3PP3/3K4 w - -");
    const int whiteToMove = evaluator.evaluate(b);
    b.flip();
    EXPECT_EQ(evaluator.evaluate(b), whiteToMove);
    EXPECT_EQ(evaluator.caches().eval.hits, 0u);
    EXPECT_EQ(evaluator.evaluate(b), whiteToMove);
    EXPECT_EQ(evaluator.caches().eval.hits, 1u);
}

TEST(Caches, AKeyDifferingInTheHighWordTakesTheSlotOver) {
    KeyedCache<PawnCacheData> cache(1, "test cache", "test cache");
    cache.allocate();
    cache.store(5, 100, PawnCacheData{10, {1, 2}, {}});
    cache.store(5, 200, PawnCacheData{-37, {0x81, 0x10}, {}});
    EXPECT_EQ(cache.probe(5, 100), nullptr);
    const PawnCacheData* found = cache.probe(5, 200);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->score, -37);
    EXPECT_EQ(found->passedFiles[0], 0x81);
    EXPECT_EQ(found->passedFiles[1], 0x10);
    EXPECT_EQ(cache.hits, 1u);
    EXPECT_EQ(cache.probes, 2u);
    cache.release();
    EXPECT_EQ(cache.probe(5, 200), nullptr);
    EXPECT_EQ(cache.probes, 2u) << "a probe of a released cache is no probe";
}

TEST(Caches, AllocatingAgainEmptiesTheCacheWhetherOrNotItsSizeChanges) {
    KeyedCache<PawnCacheData> cache(1, "test cache", "test cache");
    cache.allocate();
    cache.store(5, 100, PawnCacheData{10, {1, 2}, {}});
    // The same size: the memory is kept, the entries go.
    const CacheAllocation again = cache.allocate();
    EXPECT_EQ(cacheSizeLines(again), "test cache     1 MB [65536 entries]\n");
    EXPECT_EQ(cache.probe(5, 100), nullptr);
    EXPECT_EQ(cache.probes, 1u) << "the counters start again";
    cache.store(5, 100, PawnCacheData{10, {1, 2}, {}});
    cache.sizeMB = 2;
    cache.allocate();
    EXPECT_EQ(cache.probe(5, 100), nullptr);
    cache.store(7, 100, PawnCacheData{11, {1, 2}, {}});
    ASSERT_NE(cache.probe(7, 100), nullptr);
    EXPECT_EQ(cache.probe(7, 100)->score, 11);
}

TEST(PawnCache, TheSamePawnsElsewhereAreAHitWithTheSameTerm) {
    EvalParams params = classicEvalParams();
    Evaluator evaluator(params);
    allocateCaches(evaluator);
    Board b;
    EvalTrace first, second;
    b.readFen("4k3/8/8/2p1P3/8/3P4/8/4K3 w - -");
    evaluator.evaluate(b, first);
    // Different pieces, same pawns, black to move: the cached white-minus-black
    // value goes to white's accumulator.
    b.readFen("3qk3/8/8/2p1P3/8/3P4/8/3QK3 b - -");
    evaluator.evaluate(b, second);
    EXPECT_EQ(evaluator.caches().pawn.hits, 1u);
    EXPECT_EQ(second.net(TERM_PAWN_STRUCTURE), first.net(TERM_PAWN_STRUCTURE));
    EXPECT_EQ(second.term[TERM_PAWN_STRUCTURE][WHITE], 4);
    EXPECT_EQ(second.passedFiles[WHITE], first.passedFiles[WHITE]);
    // The weight applies to cached values too.
    params.weights.pawnStructure = 0;
    b.readFen("3qk3/8/8/2p1P3/8/3P4/8/3QK3 w - -");
    EvalTrace third;
    evaluator.evaluate(b, third);
    EXPECT_EQ(evaluator.caches().pawn.hits, 2u);
    EXPECT_EQ(third.net(TERM_PAWN_STRUCTURE), 0);
}
