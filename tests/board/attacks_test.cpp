// Attack, check and legality tests on hand-made positions.
#include "testutil.h"

namespace {

Move find(Position& e, Square from, Square to, int promotion = 0) {
    Move moves[MAX_MOVES];
    int count = 0;
    e.board.generateAll(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveFrom(moves[i]) == from && moveTo(moves[i]) == to && movePromotion(moves[i]) == promotion)
            return moves[i];
    }
    ADD_FAILURE() << "no generated move " << from << "-" << to;
    return NO_MOVE;
}

bool checksAfter(Position& e, Move m) {
    e.pushMove(m);
    const bool check = e.top().inCheck != 0;
    e.popMove();
    return check;
}

} // namespace

TEST(Attacks, OffBoardSquaresCountAsAttacked) {
    auto e = positionAt("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(e->board.isAttacked(BLACK, 8), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, -1), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, D4), 0);
}

TEST(Attacks, EnPassantAlongTheRankThatWouldExposeTheKeyIsIllegalInBothModes) {
    auto e = positionAt("8/8/8/KPp4r/8/8/8/7k w - c6");
    const Move ep = find(*e, B5, C6);
    ASSERT_TRUE(ep & MOVE_EN_PASSANT);
    EXPECT_EQ(e->board.leavesKingInCheck(ep, 0), 1);
    e->pushMove(ep);
    EXPECT_EQ(e->board.leavesKingInCheck(ep, 1), 1);
    e->popMove();
}

TEST(Attacks, EnPassantBesideTheKingWithTheEnemyKingFurtherOnIsLegal) {
    // The walk along the rank meets the black king, which attacks nothing from there.
    auto e = positionAt("8/8/8/1KpP1k2/8/8/8/8 w - c6");
    const Move ep = find(*e, D5, C6);
    EXPECT_EQ(e->board.leavesKingInCheck(ep, 0), 0);
    const auto legal = legalMoves(*e);
    EXPECT_NE(std::find(legal.begin(), legal.end(), ep), legal.end());
}

TEST(Attacks, PinnedRookMayMoveAlongThePinOnly) {
    auto e = positionAt("4r1k1/8/8/8/8/8/4R3/4K3 w - -");
    EXPECT_EQ(e->board.leavesKingInCheck(find(*e, E2, E5), 0), 0);
    EXPECT_EQ(e->board.leavesKingInCheck(find(*e, E2, D2), 0), 1);
    EXPECT_EQ(e->board.pinDirection(E2, WHITE), 16);
}

TEST(Attacks, DiscoveredChecksAreRecognised) {
    // Knight d4 uncovers the bishop on b2 against the king on h8.
    auto e = positionAt("7k/8/8/8/3N4/8/1B6/4K3 w - -");
    EXPECT_TRUE(checksAfter(*e, find(*e, D4, F5)));
    // An en-passant capture that opens the diagonal c3-h8.
    auto ep2 = positionAt("7k/8/8/4pP2/8/2B5/8/4K3 w - e6");
    EXPECT_TRUE(checksAfter(*ep2, find(*ep2, F5, E6)));
}

TEST(Attacks, CastlingGivesCheckWhenTheRookLandsFacingTheKing) {
    auto e = positionAt("5k2/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(checksAfter(*e, CASTLE_WHITE_KINGSIDE));
}

TEST(Attacks, CastlingNeedsEmptyAndUnattackedSquares) {
    auto blocked = positionAt("4k3/8/8/8/8/8/8/RN2K3 w Q -");
    EXPECT_EQ(blocked->board.canCastle(E1, C1), 0);
    auto attacked = positionAt("3rk3/8/8/8/8/8/8/R3K3 w Q -");
    EXPECT_EQ(attacked->board.canCastle(E1, C1), 0);
    auto free = positionAt("4k3/8/8/8/8/8/8/R3K3 w Q -");
    EXPECT_EQ(free->board.canCastle(E1, C1), 1);
}

TEST(Attacks, PseudoLegalityRejectsStaleWords) {
    auto e = positionAt("4k3/8/8/8/8/8/8/R3K2R w KQ -");
    // A rook capture whose captured code does not match what stands on the square.
    const Move wrongCapture = buildMove(A1, A8, ROOK, QUEEN, 0, MOVE_CAPTURE);
    EXPECT_EQ(e->board.isPseudoLegal(wrongCapture), 0);
    EXPECT_EQ(e->board.isPseudoLegal(CASTLE_WHITE_KINGSIDE), 1);
    auto noRights = positionAt("4k3/8/8/8/8/8/8/R3K2R w Q -");
    EXPECT_EQ(noRights->board.isPseudoLegal(CASTLE_WHITE_KINGSIDE), 0);
    // A pawn push that claims to promote on the third rank.
    auto pawn = positionAt("4k3/8/8/8/8/8/4P3/4K3 w - -");
    EXPECT_EQ(pawn->board.isPseudoLegal(buildMove(E2, E3, PAWN, 0, QUEEN, MOVE_PAWN | MOVE_PROMOTION)), 0);
    EXPECT_EQ(pawn->board.isPseudoLegal(buildMove(E2, E3, PAWN, 0, 0, MOVE_PAWN)), 1);
}

TEST(Attacks, CanReachIgnoresPins) {
    auto e = positionAt("4k3/8/8/b7/8/8/3N4/4K1N1 w - -");
    EXPECT_EQ(e->board.canReach(D2, F3), 1);
    EXPECT_EQ(e->board.canReach(G1, F3), 1);
    EXPECT_EQ(e->board.canReach(D2, D4), 0);
}
