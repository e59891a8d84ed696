// Attack maps and mobility: attack bytes by kind and the mobility sums with
// their pawn-count adjustments.
#include <cstring>

#include "board/see.h"
#include "evaltest.h"

TEST(Mobility, PieceKindsAndPawnAdjustmentsSum) {
    // b1 reaches a3 and c3 (d2 is an own pawn): knightMobility[2] -8 plus
    // knightPawnAdjust[8] 9, so 1 per knight.
    TracedPosition p("1n2k1n1/pppppppp/8/8/8/8/PPPPPPPP/1N2K1N1 w - -");
    EXPECT_EQ(p.scratch().mobility[WHITE], 2);
    EXPECT_EQ(p.scratch().mobility[BLACK], 2);
    // Knights 2 x (-8 + 9), bishops 2 x (-30 - 9), rooks 2 x (-18 - 15), queen -18.
    TracedPosition p2("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(p2.scratch().mobility[WHITE], -160);
    EXPECT_EQ(p2.scratch().mobility[BLACK], -160);
    EXPECT_EQ(p2.net(TERM_MOBILITY), 0);
    // A rook on d4 of an empty board sees 14 squares and a queen 27: the tables
    // continue by their step to 24 and 18. With no pawns the rook gets +25.
    TracedPosition rook("4k3/8/8/8/3R4/8/8/K7 w - -");
    EXPECT_EQ(rook.scratch().mobility[WHITE], 24 + 25);
    TracedPosition queen("8/8/k7/8/3Q4/8/7K/8 w - -");
    EXPECT_EQ(queen.scratch().mobility[WHITE], 18);
}

TEST(Mobility, AttackBytesAndTheSideToMove) {
    // d4 is attacked by the pawns c3 and e3 (64 each) and the rook d1 (4). The
    // rook sees 10 empty squares: rookMobility[10] 12 plus rookPawnAdjust[2] 15.
    TracedPosition p("4k3/8/8/8/8/2P1P3/8/3RK3 w - -");
    EXPECT_EQ(p.scratch().attackMap[WHITE][D4], 132);
    EXPECT_EQ(p.scratch().attackMap[WHITE][D2], 4 + 1); // rook and king
    EXPECT_EQ(p.scratch().mobility[WHITE], 27);
    // Only white has a piece: the difference is added to the side to move.
    EXPECT_EQ(p.both(TERM_MOBILITY), std::pair(27, 0));
    EXPECT_EQ(TracedPosition("4k3/8/8/8/8/2P1P3/8/3RK3 b - -").both(TERM_MOBILITY), std::pair(0, -27));
}

TEST(Mobility, TheMobilityWeightScalesOnlyTheMobilitySum) {
    EvalParams params = classicEvalParams();
    // Start position: mobility sum -130, adjustments 18 - 18 - 30 = -30.
    const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    params.weights.pieceMobility = 0;
    EXPECT_EQ(TracedPosition(start, params).scratch().mobility[WHITE], -30);
    params.weights.pieceMobility = 33; // -130 x 33 / 100 = -42.9, truncated to -42
    EXPECT_EQ(TracedPosition(start, params).scratch().mobility[BLACK], -72);
}

// Every attack byte equals the sum, wrapping at 256, of the units of the pieces
// that reach the square; the first position wraps d4 (two pawns, eight knights).
TEST(Mobility, AttackBytesSumThePiecesThatReachEachSquare) {
    std::vector<std::string> fens = {"4k3/8/2N1N3/1N3N2/8/1NPNPN2/8/4K3 w - -"};
    if (sharedDataPresent())
        for (const auto& fen : allDataPositions()) fens.push_back(fen);
    Board board;
    Evaluator evaluator;
    for (const auto& fen : fens) {
        if (board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) continue;
        evaluator.evaluate(board);
        uint8_t expected[2][128] = {};
        for (Square s = 0; s < 128; ++s) {
            const PieceEntry* e = board.squares[s];
            if (!onBoard(s) || e->piece == NO_PIECE) continue;
            for (Square t = 0; t < 128; ++t) {
                if (onBoard(t) && t != s && board.canReach(s, t))
                    expected[e->colour][t] += ATTACKER_UNIT[e->piece];
            }
        }
        ASSERT_EQ(std::memcmp(evaluator.scratch().attackMap, expected, sizeof expected), 0) << fen;
    }
}
