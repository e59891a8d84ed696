// Attack tests on hand-made positions. Pins, checks given, en passant and
// castling are checked move by move by the random walk and the perft counts.
#include "testutil.h"

TEST(Attacks, OffBoardSquaresCountAsAttackedAndReachIgnoresPins) {
    auto e = positionAt("4k3/8/8/8/8/8/8/4K3 w - -");
    // The king-safety code relies on off-board squares counting as attacked.
    EXPECT_EQ(e->board.isAttacked(BLACK, 8), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, -1), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, D4), 0);
    // The knight on d2 is pinned by the bishop on a5, and still reaches f3.
    auto reach = positionAt("4k3/8/8/b7/8/8/3N4/4K1N1 w - -");
    EXPECT_EQ(reach->board.canReach(D2, F3), 1);
    EXPECT_EQ(reach->board.canReach(G1, F3), 1);
    EXPECT_EQ(reach->board.canReach(D2, D4), 0);
}
