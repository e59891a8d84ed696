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
    auto e = searchEngineAt("rnbqkbnr/ppp1pppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1"}) e->pushGameMove(moveNamed(*e, m));
    e->pushMove(moveNamed(*e, "f6g8"));
    EXPECT_TRUE(e->isRepetition());
    EXPECT_EQ(e->search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
    e->popMove();
    e->pushMove(moveNamed(*e, "f6h5"));
    EXPECT_FALSE(e->isRepetition());
    EXPECT_NE(e->search(-INFINITE_SCORE, INFINITE_SCORE, 24, true), 0);
}

TEST(AlphaBeta, TheRepetitionTestStaysInsideTheRecord) {
    auto e = searchEngineAt("4k3/8/8/8/8/8/4P3/4K2R w K -");
    e->history[0].fifty = 90; // a counter from before the record began
    e->pushGameMove(moveNamed(*e, "h1h2"));
    EXPECT_EQ(e->top().fifty, 91);
    EXPECT_FALSE(e->isRepetition());
    for (const char* m : {"e8d8", "h2h1", "d8e8"}) e->pushGameMove(moveNamed(*e, m));
    EXPECT_FALSE(e->isRepetition()) << "the castling right was lost: another position";
    for (const char* m : {"h1h2", "e8d8", "h2h1", "d8e8"}) e->pushGameMove(moveNamed(*e, m));
    EXPECT_TRUE(e->isRepetition());
}

TEST(AlphaBeta, TheFiftyMoveRuleScoresZero) {
    auto e = searchEngineAt("4k3/8/8/8/8/8/8/3QK3 b - -");
    e->pushGameMove(moveNamed(*e, "e8f7"));
    e->history[e->gamePly].fifty = 99;
    e->pushMove(moveNamed(*e, "d1d5"));
    EXPECT_EQ(e->top().fifty, 100);
    EXPECT_EQ(e->search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 0);
}

TEST(AlphaBeta, WithoutLegalMovesANodeIsMatedOrStalemateAndStoresNothing) {
    auto mated = searchEngineAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    mated->pushMove(moveNamed(*mated, "a1a8"));
    EXPECT_EQ(mated->search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), -(MATE_SCORE - 1));
    EXPECT_EQ(mated->hashTable.readEntry(BLACK, low(mated->board.key), high(mated->board.key)).keyLow, 0u);

    auto stalemate = searchEngineAt("k7/8/1K6/8/8/8/8/2Q5 w - -");
    stalemate->pushMove(moveNamed(*stalemate, "c1c7"));
    EXPECT_EQ(stalemate->search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 0);
    EXPECT_EQ(
        stalemate->hashTable.readEntry(BLACK, low(stalemate->board.key), high(stalemate->board.key)).keyLow,
        0u);
}

TEST(AlphaBeta, ATableEntryCutsOffOnlyWithAPlayableMove) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 b - -";
    auto searchWith = [&](Move stored) {
        auto e = searchEngineAt(fen);
        e->pushMove(moveNamed(*e, "e8d7"));
        e->hashTable.store(WHITE, low(e->board.key), high(e->board.key), 9, 1, HASH_EXACT, 777, stored, 0, 0);
        return e->search(-INFINITE_SCORE, INFINITE_SCORE, 16, true);
    };
    auto e = searchEngineAt(fen);
    e->pushMove(moveNamed(*e, "e8d7"));
    const Move playable = moveNamed(*e, "a2a4");
    EXPECT_EQ(searchWith(playable), 777);
    EXPECT_NE(searchWith(NO_MOVE), 777) << "an entry without a move never cuts off";
    EXPECT_NE(searchWith(buildMove(D4, D5, QUEEN)), 777)
        << "a move that does not fit the position is ignored";
    // Too shallow: no cut-off either.
    auto shallow = searchEngineAt(fen);
    shallow->pushMove(moveNamed(*shallow, "e8d7"));
    shallow->hashTable.store(WHITE, low(shallow->board.key), high(shallow->board.key), 1, 1, HASH_EXACT, 777,
                             playable, 0, 0);
    EXPECT_NE(shallow->search(-INFINITE_SCORE, INFINITE_SCORE, 16, true), 777);
}

TEST(AlphaBeta, ReductionsApplyOnlyWhenSwitchedOn) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    for (bool reductions : {false, true}) {
        auto e = searchEngineAt(fen);
        e->useReductions = reductions;
        e->pushMove(moveNamed(*e, "f1c4"));
        e->iteration = 4;
        e->search(-INFINITE_SCORE, INFINITE_SCORE, 32, true);
        if (reductions)
            EXPECT_GT(e->stats.reductions, 0u);
        else
            EXPECT_EQ(e->stats.reductions, 0u);
        EXPECT_GT(e->stats.nullTried, 0u);
        EXPECT_LE(e->stats.nullCutoffs, e->stats.nullTried);
        EXPECT_LE(e->stats.firstMoveCutoffs, e->stats.cutoffs);
    }
}

TEST(AlphaBeta, ACutOffByAQuietMoveMakesItAKillerAndCountsItsHistory) {
    auto e = searchEngineAt("4k3/pp6/8/8/8/8/PPP5/4K3 b - -");
    e->pushMove(moveNamed(*e, "e8d7"));
    // A window far below the score: the first quiet move cuts off.
    const int score = e->search(-INFINITE_SCORE, -5000, 16, true);
    EXPECT_GE(score, -5000);
    const Move killer = e->currentPly().killer1;
    ASSERT_NE(killer, NO_MOVE);
    EXPECT_EQ(e->historyCounters[square64(moveFrom(killer)) + 64 * square64(moveTo(killer))], 1u);
    EXPECT_EQ(e->stats.cutoffs, 1u);
    EXPECT_EQ(e->stats.firstMoveCutoffs, 1u);
    const HashEntry stored = e->hashTable.readEntry(WHITE, low(e->board.key), high(e->board.key));
    EXPECT_EQ(stored.flags & 3, HASH_LOWER - 3);
    EXPECT_EQ(stored.move, killer);
    EXPECT_EQ(stored.depth, 2);
}
