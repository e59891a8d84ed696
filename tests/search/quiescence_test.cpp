// The quiescence search: stand pat, captures, checks on the first ply, forced
// replies, mates and the end of the ply stack.
#include "search/score.h"
#include "searchtest.h"

TEST(Quiescence, AQuietPositionStandsPatOnTheEvaluation) {
    auto e = searchEngineAt("4k3/pp6/8/8/8/8/PPP5/4K3 w - -");
    const int stand = e->board.evaluate();
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand);
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), stand) << "no capture and no check either";
    EXPECT_EQ(e->stats.nodes, 0u);
    // Fail-soft: a stand pat at or above beta is returned as it is.
    EXPECT_EQ(e->quiescence(stand - 300, stand - 200, 0), stand);
}

TEST(Quiescence, CapturesWinAHangingQueen) {
    auto e = searchEngineAt("q6k/8/8/8/8/8/8/R6K w - -");
    ASSERT_LT(e->board.evaluate(), 0) << "a queen against a rook";
    const int score = e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0);
    EXPECT_GT(score, 300) << "Rxa8 wins the queen for nothing";
    EXPECT_EQ(coord(e->ply(0).bestMove), "a1a8");
    EXPECT_GT(e->stats.qnodes, 0u);
    EXPECT_EQ(e->stats.nodes, e->stats.qnodes);
}

TEST(Quiescence, OnlyTheFirstPlyTriesQuietChecks) {
    // Nf7+ forks king and queen: a quiet check, seen only when checks are tried.
    auto e = searchEngineAt("3q3k/6pp/8/4N3/8/8/6PP/6K1 w - -");
    const int stand = e->board.evaluate();
    ASSERT_LT(stand, 0);
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand);
    EXPECT_GT(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 0);
}

TEST(Quiescence, ASingleForcedEvasionExtendsTheReply) {
    auto e = searchEngineAt("3q3k/6pp/8/4N3/8/8/6PP/6K1 w - -");
    e->iteration = 0; // no extensions while pre-sorting the root
    e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
    EXPECT_EQ(e->stats.force1Ext, 0u);
    e->stats = SearchStats{};
    e->iteration = 4;
    e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
    EXPECT_GT(e->stats.force1Ext, 0u) << "after Nf7+ Kg8 is the only reply";
}

TEST(Quiescence, InCheckWithoutEvasionIsMateEvenWithoutChecks) {
    auto e = searchEngineAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    e->pushMove(moveNamed(*e, "a1a8"));
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), 1 - MATE_SCORE);
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 1 - MATE_SCORE);
}

TEST(Quiescence, TheFirstPlyScoresARepetitionAsADraw) {
    // White is a pawn up; the knights go out and back.
    auto e = searchEngineAt("rnbqkbnr/ppp1pppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1"}) e->pushGameMove(moveNamed(*e, m));
    e->pushMove(moveNamed(*e, "f6g8"));
    const int stand = e->board.evaluate();
    ASSERT_NE(stand, 0);
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 0);
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand) << "deeper plies do not look";
}

TEST(Quiescence, AtTheLastPlyRecordItReturnsThePieceSquareBalance) {
    auto e = searchEngineAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    e->pushMove(moveNamed(*e, "a1a8")); // black is mated, but the stack is full
    e->searchPly = MAX_PLY - 1;
    const int balance = e->board.pstScore[BLACK] - e->board.pstScore[WHITE];
    EXPECT_EQ(e->quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), balance);
    EXPECT_EQ(e->stats.nodes, 0u);
    EXPECT_EQ(e->stats.selDepth, MAX_PLY - 1);
}
