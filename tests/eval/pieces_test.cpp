// Piece terms: bishop pair, trapped bishops and knights, castling, blocked
// centre pawns, outposts, knights in the ending, rooks and queens.
#include "evaltest.h"

TEST(MinorPieces, TheBishopPairShrinksWithPawnsAndKnightsCostMoreWithPawnsSpread) {
    EXPECT_EQ(TracedPosition("4k3/ppp5/8/8/8/8/PP6/2B1KB2 w - -").white(TERM_BISHOP_PAIR), 52);
    EXPECT_EQ(TracedPosition("4k3/8/8/8/8/8/8/2B1KB2 w - -").white(TERM_BISHOP_PAIR), 60);
    EXPECT_EQ(TracedPosition("4k3/8/8/8/8/8/8/2B1K1N1 w - -").white(TERM_BISHOP_PAIR), 0);
    // Knights in the ending: pawns on a and h, span 7. A lone knight: 5 x 7.
    EXPECT_EQ(TracedPosition("4k3/p7/8/8/8/8/7P/1N2K3 w - -").white(TERM_KNIGHTS_IN_ENDING), -35);
    // Knight and rook in the late ending: 4 x 7.
    EXPECT_EQ(TracedPosition("4k3/p7/8/8/8/8/7P/1N2K2R w - -").white(TERM_KNIGHTS_IN_ENDING), -28);
    // Ending but not late (white has 11): 3 x 7.
    EXPECT_EQ(TracedPosition("4k2r/p7/8/8/8/8/7P/1NB1K2R w - -").white(TERM_KNIGHTS_IN_ENDING), -21);
}

TEST(TrappedPieces, ABishopOrKnightOnA7WithoutAWayOut) {
    // White takes on b6 with the bishop, c7 retakes, the rook takes again: the
    // exchange entry is -1, the bishop is trapped.
    EXPECT_EQ(TracedPosition("4k3/B1p5/1p6/8/8/8/8/1R2K3 w - -").white(TERM_TRAPPED_PIECES), -150);
    // With the bishop alone the entry reads 0 (white would not take): not trapped.
    EXPECT_EQ(TracedPosition("4k3/B1p5/1p6/8/8/8/8/4K3 w - -").white(TERM_TRAPPED_PIECES), 0);
    // An undefended pawn can be taken: not trapped.
    EXPECT_EQ(TracedPosition("4k3/B7/1p6/8/8/8/8/1R2K3 w - -").white(TERM_TRAPPED_PIECES), 0);
    // b5 (defended by c6) and c6 (defended by d7) are both attacked by the
    // knight and a rook: each exchange entry is -1.
    EXPECT_EQ(TracedPosition("4k3/N2p4/2p5/1p6/8/8/8/1RR1K3 w - -").white(TERM_TRAPPED_PIECES), -150);
    // An empty escape square never counts as lost.
    EXPECT_EQ(TracedPosition("4k3/N2p4/8/1p6/8/8/8/1RR1K3 w - -").white(TERM_TRAPPED_PIECES), 0);
}

TEST(Castling, RightsPathsAndRightsLostSinceTheRoot) {
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -").both(TERM_CASTLING), std::pair(10, 10));
    // Both white paths blocked: -20, unless a queen stands on d1.
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/RN2KB1R w KQkq -").white(TERM_CASTLING), -20);
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/RN1QKB1R w KQkq -").white(TERM_CASTLING), 0);
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/RN1qKB1R w KQkq -").white(TERM_CASTLING), 0);
    // Rights lost since the root of the search.
    const std::string fen = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -";
    auto castlingAfter = [&fen](Move move, bool newRoot = false) {
        auto engine = positionAt(fen);
        engine->pushGameMove(move);
        if (newRoot) engine->board.updateStage();
        EvalTrace trace;
        Evaluator().evaluate(engine->board, trace);
        return trace.term[TERM_CASTLING][WHITE];
    };
    // The king steps aside: every right gone without castling.
    EXPECT_EQ(castlingAfter(buildMove(E1, F1, KING)), -45);
    // Castled: +20.
    EXPECT_EQ(castlingAfter(CASTLE_WHITE_KINGSIDE), 20);
    // Only the queen-side right left: -25, and +10 for its clear path.
    EXPECT_EQ(castlingAfter(buildMove(H1, G1, ROOK)), -25 + 10);
    // Only the king-side right left: -20 + 10.
    EXPECT_EQ(castlingAfter(buildMove(A1, B1, ROOK)), -20 + 10);
    // A new root forgets the lost rights.
    EXPECT_EQ(castlingAfter(buildMove(E1, F1, KING), true), 0);
}

TEST(Outposts, BlockedCentrePawnsAndSupportedOutposts) {
    EXPECT_EQ(TracedPosition("4k3/3p4/3n4/8/8/4N3/4P3/4K3 w - -").both(TERM_BLOCKED_CENTRE),
              std::pair(-8, -8));
    // d5 is worth 7. No black pawn on c or e above it: +7. A pawn ahead on the
    // d-file: +7 once for its supporters; otherwise +7 per supporter.
    EXPECT_EQ(TracedPosition("4k3/8/3p4/3N4/2P1P3/8/8/4K3 w - -").white(TERM_OUTPOSTS), 14);
    EXPECT_EQ(TracedPosition("4k3/8/8/3N4/2P1P3/8/8/4K3 w - -").white(TERM_OUTPOSTS), 21);
    // e6 can chase it: only the supporters count.
    EXPECT_EQ(TracedPosition("4k3/8/4p3/3N4/2P1P3/8/8/4K3 w - -").white(TERM_OUTPOSTS), 14);
    // A bishop on c6 (worth 5) supported by b5.
    EXPECT_EQ(TracedPosition("4k3/8/2B5/1P6/8/8/8/4K3 w - -").white(TERM_OUTPOSTS), 10);
    // A black knight on e4 (worth 7 for black) supported by d5 and f5.
    EXPECT_EQ(TracedPosition("4k3/8/8/3p1p2/4n3/8/8/4K3 w - -").black(TERM_OUTPOSTS), 21);
}

TEST(Rooks, FilesTheSeventhAndPassedPawns) {
    EXPECT_EQ(TracedPosition("4k3/pp6/8/8/8/8/PP6/3RK3 w - -").white(TERM_ROOKS), 10);
    // Half open: black's d7 (not passed: c2 is ahead of it).
    EXPECT_EQ(TracedPosition("4k3/pp1p4/8/8/8/8/PPP5/3RK3 w - -").white(TERM_ROOKS), 7);
    // Two rooks on the open file: 10 and 10 + 5.
    EXPECT_EQ(TracedPosition("4k3/pp6/8/8/8/8/PP1R4/3RK3 w - -").white(TERM_ROOKS), 25);
    // b7 on a file closed by white's b2 and black's c7: +10.
    EXPECT_EQ(TracedPosition("4k3/1Rp5/8/8/8/8/1P6/4K3 w - -").white(TERM_ROOKS), 10);
    // a7 (open file 10, seventh 10) and b7 (seventh 10, sees a7: 10).
    EXPECT_EQ(TracedPosition("4k3/RRp5/8/8/8/8/1P6/4K3 w - -").white(TERM_ROOKS), 40);
    // A queen on b7 beside the rook on a7: 10 + 15.
    TracedPosition q("4k3/RQp5/8/8/8/8/1P6/4K3 w - -");
    EXPECT_EQ(q.white(TERM_ROOKS), 20);
    EXPECT_EQ(q.white(TERM_QUEENS), 25);
    EXPECT_EQ(TracedPosition("4k3/1Qp5/8/8/8/8/1P6/4K3 w - -").white(TERM_QUEENS), 10);
    // Behind its own passer +25, in front of it +12.
    EXPECT_EQ(TracedPosition("4k3/8/8/P7/8/8/8/R3K3 w - -").white(TERM_ROOKS), 25);
    EXPECT_EQ(TracedPosition("R3k3/8/8/P7/8/8/8/4K3 w - -").white(TERM_ROOKS), 12);
    // In the path of a black passer +18, behind it +9, each with +7 for the
    // half-open file.
    EXPECT_EQ(TracedPosition("4k3/8/8/8/p7/8/8/R3K3 w - -").white(TERM_ROOKS), 25);
    EXPECT_EQ(TracedPosition("R3k3/8/8/8/p7/8/8/4K3 w - -").white(TERM_ROOKS), 16);
}

TEST(Threats, OnlyTheWorstThreatToEachPieceCountsAgainstItsOwner) {
    EvalParams p = classicEvalParams();
    p.threatByPawn = 80;
    p.threatByMinor = 50;
    p.threatByRook = 40;
    p.hangingPiece = 30;
    // The knight on e4 is attacked by the d5 pawn (and is undefended): only the pawn's threat counts.
    EXPECT_EQ(TracedPosition("4k3/8/8/3p4/4N3/8/8/4K3 w - -", p).both(TERM_THREATS), std::pair(-80, 0));
    // A rook attacked by a knight, a queen by a rook, whoever is to move.
    EXPECT_EQ(TracedPosition("4k3/8/8/8/3n4/8/4R3/K7 b - -", p).white(TERM_THREATS), -50);
    EXPECT_EQ(TracedPosition("7k/4r3/8/8/8/8/4Q3/K7 w - -", p).both(TERM_THREATS), std::pair(-40, -30));
    // Attacked by an equal piece: hanging only while nothing defends it.
    EXPECT_EQ(TracedPosition("4k3/8/8/3b4/8/5B2/8/K7 w - -", p).both(TERM_THREATS), std::pair(-30, -30));
    EXPECT_EQ(TracedPosition("4k3/8/8/3b4/8/5B2/6K1/8 w - -", p).both(TERM_THREATS), std::pair(0, -30));
    // The classic set has no threats: the term is not evaluated.
    EXPECT_EQ(TracedPosition("4k3/8/8/3p4/4N3/8/8/4K3 w - -").both(TERM_THREATS), std::pair(0, 0));
}
