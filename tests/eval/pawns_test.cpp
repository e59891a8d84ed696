// Pawn structure: rook, doubled, isolated, backward and side-by-side pawns, the
// passed-pawn files, and the pawn-structure weight.
#include "evaltest.h"

TEST(PawnStructure, StartPositionPawnsBalanceOut) {
    // Per side: two rook pawns -20, eight pawns side by side +16.
    EXPECT_EQ(TracedPosition("4k3/8/8/8/8/8/PPPPPPPP/4K3 w - -").net(TERM_PAWN_STRUCTURE), -4);
    EXPECT_EQ(TracedPosition("4k3/pppppppp/8/8/8/8/8/4K3 w - -").net(TERM_PAWN_STRUCTURE), 4);
    TracedPosition start("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(start.net(TERM_PAWN_STRUCTURE), 0);
    EXPECT_EQ(start.trace.passedFiles[WHITE] | start.trace.passedFiles[BLACK], 0u);
}

TEST(PawnStructure, DoubledIsolatedAndBackwardPawns) {
    // c3 doubled -8; both isolated -10 and -8 more with no black pawn ahead.
    TracedPosition p("4k3/8/8/8/8/2P5/2P5/4K3 w - -");
    EXPECT_EQ(p.net(TERM_PAWN_STRUCTURE), -44);
    EXPECT_EQ(p.trace.passedFiles[WHITE], 1u << 2);
    // With a black pawn ahead on the file: c3 doubled -8 - 8, isolated -10;
    // c2 isolated -10; black c6 isolated -10.
    EXPECT_EQ(TracedPosition("4k3/8/2p5/8/8/2P5/2P5/4K3 w - -").net(TERM_PAWN_STRUCTURE), -26);
    // d3 is backward: c5 attacks d4, no white pawn can support it: -8, and -6
    // more with no black pawn ahead on the d-file. e5 is not penalised. Black's
    // c5 is isolated: -10 - 8.
    TracedPosition p2("4k3/8/8/2p1P3/8/3P4/8/4K3 w - -");
    EXPECT_EQ(p2.net(TERM_PAWN_STRUCTURE), -14 + 18);
    EXPECT_EQ(p2.trace.passedFiles[WHITE], 1u << 4);
    EXPECT_EQ(p2.trace.passedFiles[BLACK], 0u);
    // d2 with d3 controlled by c4 can still go to d4: no penalty; black c4 is
    // isolated (-18).
    EXPECT_EQ(TracedPosition("4k3/8/8/8/2p1P3/8/3P4/4K3 w - -").net(TERM_PAWN_STRUCTURE), 18);
    // With d4 controlled by e5 too, d2 is backward (-8 - 6) and e4, blocked on
    // its stop square, is backward (-8); black: c4 -18, e5 isolated -12.
    EXPECT_EQ(TracedPosition("4k3/8/8/4p3/2p1P3/8/3P4/4K3 w - -").net(TERM_PAWN_STRUCTURE), -22 + 30);
    // e4's stop square e5 is controlled by f6, but d2 can come up to d3: e4 is
    // not backward. Black: d5 isolated -12 (d2 is ahead of it), f6 isolated
    // -10 - 8.
    EXPECT_EQ(TracedPosition("4k3/8/5p2/3p4/4P3/8/3P4/4K3 w - -").net(TERM_PAWN_STRUCTURE), 30);
    // With c4 controlling d3, d2 cannot come up: e4 is backward, -8 - 6.
    // Black's c4 and d5 now support each other; f6 stays isolated (-18).
    EXPECT_EQ(TracedPosition("4k3/8/5p2/3p4/2p1P3/8/3P4/4K3 w - -").net(TERM_PAWN_STRUCTURE), -14 + 18);
}

TEST(PawnStructure, ThePawnStructureWeightScalesTheTerm) {
    EvalParams params = classicEvalParams();
    params.weights.pawnStructure = 50;
    EXPECT_EQ(TracedPosition("4k3/8/8/8/8/2P5/2P5/4K3 w - -", params).net(TERM_PAWN_STRUCTURE), -22);
    params.weights.pawnStructure = 0;
    TracedPosition p("4k3/8/8/8/8/2P5/2P5/4K3 w - -", params);
    EXPECT_EQ(p.both(TERM_PAWN_STRUCTURE), std::pair(0, 0));
    // The passed pawn is still found and valued.
    EXPECT_EQ(p.trace.passedFiles[WHITE], 1u << 2);
    EXPECT_NE(p.net(TERM_PASSED_PAWNS), 0);
}
