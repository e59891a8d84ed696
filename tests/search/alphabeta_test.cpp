// The alpha-beta search: draws, mates, the transposition table at a node,
// reductions, null moves and extensions.
#include "board/score.h"
#include "searchtest.h"

TEST(AlphaBeta, RepetitionsAndTheFiftyMoveRuleScoreZero) {
    // White is a pawn up; after the knights went out and back the position repeats.
    auto e = searchAt("rnbqkbnr/ppp1pppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1"}) e->position.pushGameMove(moveNamed(e->position, m));
    e->position.pushMove(moveNamed(e->position, "f6g8"));
    EXPECT_TRUE(e->position.isRepetition());
    EXPECT_EQ(inside(e->search).search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
    e->position.popMove();
    e->position.pushMove(moveNamed(e->position, "f6h5"));
    EXPECT_FALSE(e->position.isRepetition());
    EXPECT_NE(inside(e->search).search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
    // The fifty move rule scores zero.
    auto e2 = searchAt("4k3/8/8/8/8/8/8/3QK3 b - -");
    e2->position.pushGameMove(moveNamed(e2->position, "e8f7"));
    e2->position.history[e2->position.gamePly].fifty = 99;
    e2->position.pushMove(moveNamed(e2->position, "d1d5"));
    EXPECT_EQ(e2->position.top().fifty, 100);
    EXPECT_EQ(inside(e2->search).search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 0);
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

TEST(AlphaBeta, WithoutLegalMovesANodeIsMatedOrStalemateAndStoresNothing) {
    for (auto [fen, move, score] : {std::tuple{"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", "a1a8", -(MATE_SCORE - 1)},
                                    {"k7/8/1K6/8/8/8/8/2Q5 w - -", "c1c7", 0}}) {
        auto e = searchAt(fen);
        e->position.pushMove(moveNamed(e->position, move));
        EXPECT_EQ(inside(e->search).search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), score) << fen;
        EXPECT_EQ(e->table.readEntry({BLACK, keyLow(e->board().key), keyHigh(e->board().key)}).keyLow, 0u)
            << fen;
    }
}

TEST(AlphaBeta, ATableEntryCutsOffOnlyWithAPlayableMove) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 b - -";
    auto searchWith = [&](Move stored, int depth = 9) {
        auto e = searchAt(fen);
        e->position.pushMove(moveNamed(e->position, "e8d7"));
        e->table.store({WHITE, keyLow(e->board().key), keyHigh(e->board().key)},
                       {depth, 1, HASH_EXACT, 777, stored, 0, 0});
        return inside(e->search).search(-INFINITE_SCORE, INFINITE_SCORE, 16, true);
    };
    auto e = searchAt(fen);
    e->position.pushMove(moveNamed(e->position, "e8d7"));
    const Move playable = moveNamed(e->position, "a2a4");
    EXPECT_EQ(searchWith(playable), 777);
    EXPECT_NE(searchWith(NO_MOVE), 777) << "an entry without a move never cuts off";
    EXPECT_NE(searchWith(buildMove(D4, D5, QUEEN)), 777)
        << "a move that does not fit the position is ignored";
    EXPECT_NE(searchWith(playable, 1), 777) << "too shallow: no cut-off either";
}

TEST(AlphaBeta, ReductionsApplyOnlyWhenSwitchedOn) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    for (bool reductions : {false, true}) {
        auto e = searchAt(fen);
        e->search.options.useReductions = reductions;
        e->position.pushMove(moveNamed(e->position, "f1c4"));
        inside(e->search).iteration = 4;
        inside(e->search).search(-INFINITE_SCORE, INFINITE_SCORE, 32, true);
        if (reductions)
            EXPECT_GT(inside(e->search).stats.reductions, 0u);
        else
            EXPECT_EQ(inside(e->search).stats.reductions, 0u);
        EXPECT_GT(inside(e->search).stats.nullTried, 0u);
        EXPECT_LE(inside(e->search).stats.nullCutoffs, inside(e->search).stats.nullTried);
        EXPECT_LE(inside(e->search).stats.firstMoveCutoffs, inside(e->search).stats.cutoffs);
    }
}

TEST(AlphaBeta, ACutOffByAQuietMoveMakesItAKillerAndCountsItsHistory) {
    auto e = searchAt("4k3/pp6/8/8/8/8/PPP5/4K3 b - -");
    e->position.pushMove(moveNamed(e->position, "e8d7"));
    // A window far below the score: the first quiet move cuts off.
    const int score = inside(e->search).search(-INFINITE_SCORE, -5000, 16, true);
    EXPECT_GE(score, -5000);
    const Move killer = e->search.ply(e->position.searchPly).killer1;
    ASSERT_NE(killer, NO_MOVE);
    EXPECT_EQ(inside(e->search).historyCounters[square64(moveFrom(killer)) + 64 * square64(moveTo(killer))],
              1u);
    EXPECT_EQ(inside(e->search).stats.cutoffs, 1u);
    EXPECT_EQ(inside(e->search).stats.firstMoveCutoffs, 1u);
    const HashEntry stored = e->table.readEntry({WHITE, keyLow(e->board().key), keyHigh(e->board().key)});
    EXPECT_EQ(stored.flags & 3, HASH_LOWER - 3);
    EXPECT_EQ(stored.move, killer);
    EXPECT_EQ(stored.depth, 2);
}
