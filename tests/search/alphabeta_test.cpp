// The alpha-beta search: draws, mates, the transposition table at a node,
// reductions, null moves and extensions.
#include "search/score.h"
#include "searchtest.h"

namespace {

uint32_t low(uint64_t key) { return static_cast<uint32_t>(key); }
uint32_t high(uint64_t key) { return static_cast<uint32_t>(key >> 32); }

} // namespace

TEST(AlphaBeta, ARepeatedPositionScoresZero) {
    // White is a pawn up; after the knights went out and back the position repeats.
    auto e = searchAt("rnbqkbnr/ppp1pppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1"}) e->position.pushGameMove(moveNamed(e->position, m));
    e->position.pushMove(moveNamed(e->position, "f6g8"));
    EXPECT_TRUE(e->position.isRepetition());
    EXPECT_EQ(e->search.search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
    e->position.popMove();
    e->position.pushMove(moveNamed(e->position, "f6h5"));
    EXPECT_FALSE(e->position.isRepetition());
    EXPECT_NE(e->search.search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
}

TEST(AlphaBeta, TheRepetitionTestStaysInsideTheRecord) {
    auto e = searchAt("4k3/8/8/8/8/8/4P3/4K2R w K -");
    e->position.history[0].fifty = 90; // a counter from before the record began
    e->position.pushGameMove(moveNamed(e->position, "h1h2"));
    EXPECT_EQ(e->position.top().fifty, 91);
    EXPECT_FALSE(e->position.isRepetition());
    for (const char* m : {"e8d8", "h2h1", "d8e8"}) e->position.pushGameMove(moveNamed(e->position, m));
    EXPECT_FALSE(e->position.isRepetition()) << "the castling right was lost: another position";
    for (const char* m : {"h1h2", "e8d8", "h2h1", "d8e8"})
        e->position.pushGameMove(moveNamed(e->position, m));
    EXPECT_TRUE(e->position.isRepetition());
}

TEST(AlphaBeta, TheFiftyMoveRuleScoresZero) {
    auto e = searchAt("4k3/8/8/8/8/8/8/3QK3 b - -");
    e->position.pushGameMove(moveNamed(e->position, "e8f7"));
    e->position.history[e->position.gamePly].fifty = 99;
    e->position.pushMove(moveNamed(e->position, "d1d5"));
    EXPECT_EQ(e->position.top().fifty, 100);
    EXPECT_EQ(e->search.search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 0);
}

TEST(AlphaBeta, WithoutLegalMovesANodeIsMatedOrStalemateAndStoresNothing) {
    auto mated = searchAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    mated->position.pushMove(moveNamed(mated->position, "a1a8"));
    EXPECT_EQ(mated->search.search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), -(MATE_SCORE - 1));
    EXPECT_EQ(mated->table.readEntry(BLACK, low(mated->board().key), high(mated->board().key)).keyLow, 0u);

    auto stalemate = searchAt("k7/8/1K6/8/8/8/8/2Q5 w - -");
    stalemate->position.pushMove(moveNamed(stalemate->position, "c1c7"));
    EXPECT_EQ(stalemate->search.search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 0);
    EXPECT_EQ(
        stalemate->table.readEntry(BLACK, low(stalemate->board().key), high(stalemate->board().key)).keyLow,
        0u);
}

TEST(AlphaBeta, ATableEntryCutsOffOnlyWithAPlayableMove) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 b - -";
    auto searchWith = [&](Move stored) {
        auto e = searchAt(fen);
        e->position.pushMove(moveNamed(e->position, "e8d7"));
        e->table.store(WHITE, low(e->board().key), high(e->board().key), 9, 1, HASH_EXACT, 777, stored, 0, 0);
        return e->search.search(-INFINITE_SCORE, INFINITE_SCORE, 16, true);
    };
    auto e = searchAt(fen);
    e->position.pushMove(moveNamed(e->position, "e8d7"));
    const Move playable = moveNamed(e->position, "a2a4");
    EXPECT_EQ(searchWith(playable), 777);
    EXPECT_NE(searchWith(NO_MOVE), 777) << "an entry without a move never cuts off";
    EXPECT_NE(searchWith(buildMove(D4, D5, QUEEN)), 777)
        << "a move that does not fit the position is ignored";
    // Too shallow: no cut-off either.
    auto shallow = searchAt(fen);
    shallow->position.pushMove(moveNamed(shallow->position, "e8d7"));
    shallow->table.store(WHITE, low(shallow->board().key), high(shallow->board().key), 1, 1, HASH_EXACT, 777,
                         playable, 0, 0);
    EXPECT_NE(shallow->search.search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 777);
}

TEST(AlphaBeta, ReductionsApplyOnlyWhenSwitchedOn) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    for (bool reductions : {false, true}) {
        auto e = searchAt(fen);
        e->search.options.useReductions = reductions;
        e->position.pushMove(moveNamed(e->position, "f1c4"));
        e->search.iteration = 4;
        e->search.search(-INFINITE_SCORE, INFINITE_SCORE, 32, true);
        if (reductions)
            EXPECT_GT(e->search.stats.reductions, 0u);
        else
            EXPECT_EQ(e->search.stats.reductions, 0u);
        EXPECT_GT(e->search.stats.nullTried, 0u);
        EXPECT_LE(e->search.stats.nullCutoffs, e->search.stats.nullTried);
        EXPECT_LE(e->search.stats.firstMoveCutoffs, e->search.stats.cutoffs);
    }
}

TEST(AlphaBeta, ACutOffByAQuietMoveMakesItAKillerAndCountsItsHistory) {
    auto e = searchAt("4k3/pp6/8/8/8/8/PPP5/4K3 b - -");
    e->position.pushMove(moveNamed(e->position, "e8d7"));
    // A window far below the score: the first quiet move cuts off.
    const int score = e->search.search(-INFINITE_SCORE, -5000, 16, true);
    EXPECT_GE(score, -5000);
    const Move killer = e->search.ply(e->position.searchPly).killer1;
    ASSERT_NE(killer, NO_MOVE);
    EXPECT_EQ(e->search.historyCounters[square64(moveFrom(killer)) + 64 * square64(moveTo(killer))], 1u);
    EXPECT_EQ(e->search.stats.cutoffs, 1u);
    EXPECT_EQ(e->search.stats.firstMoveCutoffs, 1u);
    const HashEntry stored = e->table.readEntry(WHITE, low(e->board().key), high(e->board().key));
    EXPECT_EQ(stored.flags & 3, HASH_LOWER - 3);
    EXPECT_EQ(stored.move, killer);
    EXPECT_EQ(stored.depth, 2);
}
