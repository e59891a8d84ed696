// Passed pawns and pawn endings: stop-square adjustments, king distances,
// connected, protected and outside passers, the square rule and the race,
// pure pawn endings and pawn majorities.
#include "evaltest.h"

namespace {

// Middlegame material on both sides (17 units each) that does not touch the
// b- and d-file squares the tests look at.
constexpr const char* LONE_PASSER = "7k/1P6/7r/8/7q/7b/8/2BQ1RK1 w - -";

} // namespace

TEST(PassedPawns, StopSquaresNeighboursAndProtection) {
    TracedPosition p(LONE_PASSER);
    EXPECT_EQ(p.trace.passedFiles[WHITE], 1u << 1);
    EXPECT_EQ(p.net(TERM_PASSED_PAWNS), 150);
    // Occupied: 150 - 75.
    EXPECT_EQ(TracedPosition("1n5k/1P6/7r/8/7q/7b/8/2BQ1RK1 w - -").net(TERM_PASSED_PAWNS), 75);
    // Empty but taken by the rook c8 for nothing: 150 - 75 / 2.
    EXPECT_EQ(TracedPosition("2r4k/1P6/8/8/7q/7b/8/2BQ1RK1 w - -").net(TERM_PASSED_PAWNS), 113);
    // The queen on a7 defends b8: the rook would not take, the square is safe.
    EXPECT_EQ(TracedPosition("2r4k/QP6/8/8/7q/7b/8/2B2RK1 w - -").net(TERM_PASSED_PAWNS), 150);
    // d5 (bonus 60): d7 occupied -30/2; d6 unsafe -30/2; only d7 unsafe -30/3.
    EXPECT_EQ(TracedPosition("7k/3n4/8/3P4/7q/7b/8/2BQ1RK1 w - -").net(TERM_PASSED_PAWNS), 45);
    EXPECT_EQ(TracedPosition("7k/8/2r5/3P4/7q/7b/8/2BQ1RK1 w - -").net(TERM_PASSED_PAWNS), 45);
    EXPECT_EQ(TracedPosition("7k/2r5/8/3P4/7q/7b/8/2BQ1RK1 w - -").net(TERM_PASSED_PAWNS), 50);
    // e6 (110) has d5 one rank behind: +80; d5 (60) finds no neighbour level
    // with it or one rank behind, and nothing protects it.
    EXPECT_EQ(TracedPosition("7k/8/4P3/3P4/8/r7/qN6/1RQ3K1 w - -").net(TERM_PASSED_PAWNS), 190 + 60);
    // d5 (60) is protected by e4, which e5 blocks: +20.
    EXPECT_EQ(TracedPosition("7k/8/8/3Pp3/4P3/r7/qN6/1RQ3K1 w - -").net(TERM_PASSED_PAWNS), 80);
}

TEST(PassedPawns, KingDistancesRunawaysAndOutsidePassers) {
    // a4 (30) with a safe path; the black king on c6 is 2 from it: +5 x 2 x 31/31.
    // It stands in the pawn's square, so there is no runaway.
    TracedPosition p("8/8/2k5/8/P7/8/4K3/8 w - -");
    EXPECT_EQ(p.white(TERM_PASSED_PAWNS), 40);
    EXPECT_EQ(p.white(TERM_RUNAWAY_RACE), 0);
    EXPECT_EQ(p.scratch().evalInfo[0] & 1, 0);
    // The own king beside the pawn adds 10 per rank: 30 + 30, and the black
    // king on h8 is 7 away: +35.
    EXPECT_EQ(TracedPosition("7k/8/8/8/P7/1K6/8/8 w - -").white(TERM_PASSED_PAWNS), 95);
    // a4: 30, +35 for the distant black king; 4 moves to queen against a king 7
    // away: (30 - 4) x 20. The pawn ending adds 90 for the extra pawn and
    // charges the kings' distances: white (4 - 1) x 13, black 7 x 13.
    TracedPosition p2("7k/8/8/8/P7/8/4K3/8 w - -");
    EXPECT_EQ(p2.white(TERM_PASSED_PAWNS), 65);
    EXPECT_EQ(p2.white(TERM_RUNAWAY_RACE), 520);
    EXPECT_EQ(p2.scratch().evalInfo[0] & 1, 1);
    EXPECT_EQ(p2.both(TERM_PAWN_ENDING), std::pair(90 - 39, -91));
    // Black to move: one more move for the pawn, one step less for the king.
    TracedPosition q("7k/8/8/8/P7/8/4K3/8 b - -");
    EXPECT_EQ(q.white(TERM_RUNAWAY_RACE), 500);
    EXPECT_EQ(q.black(TERM_PAWN_ENDING), -78);
    // White a4: 30, +30 (black king 6 away), outside passer +50. Black h7: 10,
    // +10 for its king beside it, +25 (white king 5 away).
    TracedPosition p3("6k1/6pp/8/8/P7/8/5PK1/8 w - -");
    EXPECT_EQ(p3.trace.passedFiles[WHITE], 1u << 0);
    EXPECT_EQ(p3.trace.passedFiles[BLACK], 1u << 7);
    EXPECT_EQ(p3.both(TERM_PASSED_PAWNS), std::pair(110, 45));
    EXPECT_EQ(p3.white(TERM_RUNAWAY_RACE), 520);
}

TEST(PassedPawns, TheRunawayRace) {
    // a5 queens in 3, h4 in 4 with white to move: white is a tempo ahead and
    // a8 sees the king on e8.
    EXPECT_EQ(TracedPosition("4k3/8/8/P7/7p/8/8/K7 w - -").both(TERM_RUNAWAY_RACE), std::pair(540, 0));
    // b8 sees neither the king on f7 nor h1: neither side gets anything.
    TracedPosition q("8/5k2/8/1P6/7p/8/8/K7 w - -");
    EXPECT_EQ(q.both(TERM_RUNAWAY_RACE), std::pair(0, 0));
    EXPECT_EQ(q.scratch().evalInfo[0] & 1, 1);
    // Two tempi ahead: white simply gets its bonus.
    EXPECT_EQ(TracedPosition("4k3/8/P7/8/7p/8/8/K7 w - -").white(TERM_RUNAWAY_RACE), 560);
    // a5 and h5 both queen in 3; the h-pawn is recorded and its queen on h8
    // sees the king on h3 once the racing pawns are gone.
    TracedPosition p2("1K6/8/8/P6P/3p4/7k/8/8 w - -");
    EXPECT_EQ(p2.white(TERM_RUNAWAY_RACE), 540);
    TracedPosition q2("8/8/7K/3P4/p6p/8/8/1k6 b - -");
    EXPECT_EQ(q2.black(TERM_RUNAWAY_RACE), 540);
    EXPECT_EQ(p2.score, q2.score);
}

TEST(PawnEndings, APawnMajorityOnTheWingMakesACandidatePasser) {
    // f, g and h against g and h: f2 is the first of the equally advanced
    // candidates and nothing stands in front of it: 50 x 8 / 10.
    EXPECT_EQ(TracedPosition("6k1/6pp/8/8/8/8/5PPP/6K1 w - -").net(TERM_MAJORITY), 40);
    // f3 leads but f7 blocks it below the fifth rank.
    EXPECT_EQ(TracedPosition("6k1/5pp1/8/8/8/5P2/6PP/6K1 w - -").net(TERM_MAJORITY), 0);
    // On the fifth rank the blocker no longer matters.
    EXPECT_EQ(TracedPosition("6k1/5pp1/8/5P2/8/8/6PP/6K1 w - -").net(TERM_MAJORITY), 40);
}
