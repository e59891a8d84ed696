// The evaluator's frame: drawishness corrections of the final score, and
// positions made up in text that no game reaches.
#include "evaltest.h"

TEST(Drawishness, ScoresScaledDownInDrawishMaterial) {
    // The final score is raw x num / den; `raw` is what the raw score must be
    // for the case to mean anything ('n' non-zero, '+', '-', ' ' anything).
    struct Case {
        const char* fen;
        int num, den;
        char raw;
    };
    const Case cases[] = {
        // Queen against queen: four pawns each halved, five against one three quarters.
        {"3qk3/pppp4/8/8/1P6/8/P1PP4/3QK3 w - -", 1, 2, 'n'},
        {"3qk3/p7/8/8/8/8/PPPPP3/3QK3 w - -", 3, 4, 'n'},
        // Opposite-coloured bishops only (c8 light, c1 dark): halved; f8 and c1 both dark: unchanged.
        {"2b1k3/pp6/8/8/8/8/PPP5/2B1K3 w - -", 1, 2, 'n'},
        {"4kb2/pp6/8/8/8/8/PPP5/2B1K3 w - -", 1, 1, ' '},
        // A lone minor without pawns cannot win: white's plus becomes 0, with
        // either side to move; two knights are no better; a score against the
        // lone knight stays.
        {"4k3/p7/8/8/8/8/8/1N2K3 w - -", 0, 1, '+'},
        {"4k3/p7/8/8/8/8/8/1N2K3 b - -", 0, 1, '-'},
        {"4k3/p7/8/8/8/8/8/1N2KN2 w - -", 0, 1, ' '},
        {"3qk3/p7/8/8/8/8/8/1N2K3 w - -", 1, 1, '-'},
        // Rook against knight and pawn, white without pawns (5 - 3 = 2): halved;
        // with a pawn of its own white keeps the whole score.
        {"1n2k3/p7/8/8/8/8/8/R3K3 w - -", 1, 2, '+'},
        {"1n2k3/p7/8/8/8/8/7P/R3K3 w - -", 1, 1, ' '},
    };
    for (const Case& c : cases) {
        TracedPosition p(c.fen);
        const int raw = p.trace.raw;
        ASSERT_TRUE(c.raw == ' ' || (c.raw == 'n' ? raw != 0 : c.raw == '+' ? raw > 0 : raw < 0)) << c.fen;
        EXPECT_EQ(p.trace.final, p.trace.raw * c.num / c.den) << c.fen;
    }
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
    Evaluator evaluator;
    for (const char* fen : fens) {
        ASSERT_EQ(board.readFen(fen), 1) << fen;
        EvalTrace trace;
        const int score = evaluator.evaluate(board, trace);
        EXPECT_EQ(score, evaluator.evaluate(board)) << fen;
        board.flip();
        EXPECT_EQ(score, evaluator.evaluate(board)) << fen;
    }
}

TEST(Evaluate, AStaticScoreStaysBelowTheMateRange) {
    // Nine queens, two rooks and four minor pieces against a bare king: the
    // material alone passes the mate threshold. Evaluation and recognizer
    // both stop one short of it.
    TracedPosition p("QQQQQQQQ/8/8/8/8/8/2k5/RNBQKBNR w - -");
    Board& b = p.board;
    EXPECT_EQ(p.score, 9935);
    EXPECT_GT(p.trace.raw, 9935);
    int score = 0;
    ASSERT_TRUE(p.evaluator.recognize(b, score));
    EXPECT_EQ(score, 9935);
    b.flip();
    EXPECT_EQ(p.evaluator.evaluate(b), 9935);
    ASSERT_TRUE(p.evaluator.recognize(b, score));
    EXPECT_EQ(score, 9935);
}
