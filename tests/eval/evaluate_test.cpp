// The evaluator's frame: drawishness corrections of the final score, and
// positions made up in text that no game reaches.
#include "evaltest.h"

TEST(Drawishness, QueenAgainstQueen) {
    // Four pawns each: halved. Five against one: three quarters.
    TracedPosition even("3qk3/pppp4/8/8/1P6/8/P1PP4/3QK3 w - -");
    ASSERT_NE(even.trace.raw, 0);
    EXPECT_EQ(even.trace.final, even.trace.raw / 2);
    TracedPosition uneven("3qk3/p7/8/8/8/8/PPPPP3/3QK3 w - -");
    ASSERT_NE(uneven.trace.raw, 0);
    EXPECT_EQ(uneven.trace.final, uneven.trace.raw * 3 / 4);
}

TEST(Drawishness, OppositeColouredBishopsOnly) {
    // c8 is light, c1 dark: halved (three pawns against two).
    TracedPosition opposite("2b1k3/pp6/8/8/8/8/PPP5/2B1K3 w - -");
    ASSERT_NE(opposite.trace.raw, 0);
    EXPECT_EQ(opposite.trace.final, opposite.trace.raw / 2);
    // f8 and c1 are both dark: unchanged.
    TracedPosition same("4kb2/pp6/8/8/8/8/PPP5/2B1K3 w - -");
    EXPECT_EQ(same.trace.final, same.trace.raw);
}

TEST(Drawishness, ALoneMinorWithoutPawnsCannotWin) {
    // King and knight against king and pawn: white's plus becomes 0.
    TracedPosition knight("4k3/p7/8/8/8/8/8/1N2K3 w - -");
    ASSERT_GT(knight.trace.raw, 0);
    EXPECT_EQ(knight.trace.final, 0);
    // The same with black to move: the score in white's favour is negative.
    TracedPosition blackToMove("4k3/p7/8/8/8/8/8/1N2K3 b - -");
    ASSERT_LT(blackToMove.trace.raw, 0);
    EXPECT_EQ(blackToMove.trace.final, 0);
    // Two knights are no better.
    EXPECT_EQ(TracedPosition("4k3/p7/8/8/8/8/8/1N2KN2 w - -").trace.final, 0);
    // A score against the lone knight stays.
    TracedPosition losing("3qk3/p7/8/8/8/8/8/1N2K3 w - -");
    ASSERT_LT(losing.trace.raw, 0);
    EXPECT_EQ(losing.trace.final, losing.trace.raw);
}

TEST(Drawishness, ASmallPawnlessEdgeInTheEndingIsHalved) {
    // Rook against knight and pawn, white without pawns: 5 - 3 = 2.
    TracedPosition p("1n2k3/p7/8/8/8/8/8/R3K3 w - -");
    ASSERT_GT(p.trace.raw, 0);
    EXPECT_EQ(p.trace.final, p.trace.raw / 2);
    // With a pawn of its own white keeps the whole score.
    TracedPosition q("1n2k3/p7/8/8/8/8/7P/R3K3 w - -");
    EXPECT_EQ(q.trace.final, q.trace.raw);
}

TEST(Evaluate, PositionsNoGameReachesAreEvaluatedWithinTheTables) {
    // Pawns on their first and last ranks, more than eight pawns or pieces of a
    // kind, promoted material beyond the tables' counts: every index stays in
    // its table (checked by the sanitizer build) and symmetry still holds.
    const char* fens[] = {
        "PPPPkPPP/pppppppp/8/8/8/8/PPPPPPPP/ppppKppp w - -",
        "QQQQkQQQ/8/8/8/8/8/8/qqqqKqqq w - -",
        "NNNNkNNN/nnnnnnnn/8/8/8/8/NNNNNNNN/nnnnKnnn b - -",
        "rrrrkrrr/pppppppp/PPPPPPPP/8/8/pppppppp/PPPPPPPP/RRRRKRRR w - -",
        "4k3/P7/8/8/8/8/7p/4K3 w - -",
        "1P2k3/8/8/8/8/8/8/4K1p1 b - -",
        "B3k2B/8/8/8/8/8/8/b3K2b w - -",
    };
    Board board;
    for (const char* fen : fens) {
        ASSERT_EQ(board.readFen(fen), 1) << fen;
        EvalTrace trace;
        const int score = board.evaluate(trace);
        EXPECT_EQ(score, board.evaluate()) << fen;
        board.flip();
        EXPECT_EQ(score, board.evaluate()) << fen;
    }
}

TEST(Evaluate, AStaticScoreStaysBelowTheMateRange) {
    // Nine queens, two rooks and four minor pieces against a bare king: the
    // material alone passes the mate threshold. Evaluation and recognizer
    // both stop one short of it.
    Board b;
    ASSERT_EQ(b.readFen("QQQQQQQQ/8/8/8/8/8/2k5/RNBQKBNR w - -"), 1);
    EvalTrace trace;
    EXPECT_EQ(b.evaluate(trace), 9935);
    EXPECT_GT(trace.raw, 9935);
    int score = 0;
    ASSERT_EQ(b.recognize(score), 1);
    EXPECT_EQ(score, 9935);
    b.flip();
    EXPECT_EQ(b.evaluate(), 9935);
    ASSERT_EQ(b.recognize(score), 1);
    EXPECT_EQ(score, 9935);
}
