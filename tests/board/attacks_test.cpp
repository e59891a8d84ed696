// Attack, check and legality tests on hand-made positions.
#include "testutil.h"

namespace {

bool checksAfter(Position& e, Move m) {
    e.pushMove(m);
    const bool check = e.top().inCheck != 0;
    e.popMove();
    return check;
}

} // namespace

TEST(Attacks, AttackedSquaresPinsAndReach) {
    auto e = positionAt("4k3/8/8/8/8/8/8/4K3 w - -");
    // Off-board squares count as attacked.
    EXPECT_EQ(e->board.isAttacked(BLACK, 8), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, -1), 1);
    EXPECT_EQ(e->board.isAttacked(BLACK, D4), 0);
    // A pinned rook may move along the pin only.
    auto pin = positionAt("4r1k1/8/8/8/8/8/4R3/4K3 w - -");
    EXPECT_EQ(pin->board.leavesKingInCheck(generatedMove(*pin, E2, E5), 0), 0);
    EXPECT_EQ(pin->board.leavesKingInCheck(generatedMove(*pin, E2, D2), 0), 1);
    EXPECT_EQ(pin->board.pinDirection(E2, WHITE), 16);
    // Reach ignores pins.
    auto reach = positionAt("4k3/8/8/b7/8/8/3N4/4K1N1 w - -");
    EXPECT_EQ(reach->board.canReach(D2, F3), 1);
    EXPECT_EQ(reach->board.canReach(G1, F3), 1);
    EXPECT_EQ(reach->board.canReach(D2, D4), 0);
}

TEST(Attacks, EnPassantAlongTheKingsRank) {
    // Exposing the king along the rank is illegal, tested before and after the move.
    auto e = positionAt("8/8/8/KPp4r/8/8/8/7k w - c6");
    const Move ep = generatedMove(*e, B5, C6);
    ASSERT_TRUE(ep & MOVE_EN_PASSANT);
    EXPECT_EQ(e->board.leavesKingInCheck(ep, 0), 1);
    e->pushMove(ep);
    EXPECT_EQ(e->board.leavesKingInCheck(ep, 1), 1);
    e->popMove();
    // The walk along the rank meets the black king, which attacks nothing from there.
    auto legal = positionAt("8/8/8/1KpP1k2/8/8/8/8 w - c6");
    const Move ep2 = generatedMove(*legal, D5, C6);
    EXPECT_EQ(legal->board.leavesKingInCheck(ep2, 0), 0);
    const auto moves = legalMoves(*legal);
    EXPECT_NE(std::find(moves.begin(), moves.end(), ep2), moves.end());
}

TEST(Attacks, DiscoveredAndCastlingChecksAreRecognised) {
    // Knight d4 uncovers the bishop on b2 against the king on h8.
    auto e = positionAt("7k/8/8/8/3N4/8/1B6/4K3 w - -");
    EXPECT_TRUE(checksAfter(*e, generatedMove(*e, D4, F5)));
    // An en-passant capture that opens the diagonal c3-h8.
    auto ep2 = positionAt("7k/8/8/4pP2/8/2B5/8/4K3 w - e6");
    EXPECT_TRUE(checksAfter(*ep2, generatedMove(*ep2, F5, E6)));
    // The rook lands facing the king.
    auto castle = positionAt("5k2/8/8/8/8/8/8/4K2R w K -");
    EXPECT_TRUE(checksAfter(*castle, CASTLE_WHITE_KINGSIDE));
}

TEST(Attacks, CastlingNeedsEmptyAndUnattackedSquares) {
    for (auto [fen, allowed] : {std::pair{"4k3/8/8/8/8/8/8/RN2K3 w Q -", 0}, {"3rk3/8/8/8/8/8/8/R3K3 w Q -", 0},
                                {"4k3/8/8/8/8/8/8/R3K3 w Q -", 1}})
        EXPECT_EQ(positionAt(fen)->board.canCastle(E1, C1), allowed) << fen;
}

TEST(Attacks, PseudoLegalityRejectsStaleWords) {
    auto e = positionAt("4k3/8/8/8/8/8/8/R3K2R w KQ -");
    // A rook capture whose captured code does not match what stands on the square.
    EXPECT_EQ(e->board.isPseudoLegal(buildMove(A1, A8, ROOK, QUEEN, 0, MOVE_CAPTURE)), 0);
    EXPECT_EQ(e->board.isPseudoLegal(CASTLE_WHITE_KINGSIDE), 1);
    EXPECT_EQ(positionAt("4k3/8/8/8/8/8/8/R3K2R w Q -")->board.isPseudoLegal(CASTLE_WHITE_KINGSIDE), 0);
    // A pawn push that claims to promote on the third rank.
    auto pawn = positionAt("4k3/8/8/8/8/8/4P3/4K3 w - -");
    EXPECT_EQ(pawn->board.isPseudoLegal(buildMove(E2, E3, PAWN, 0, QUEEN, MOVE_PAWN | MOVE_PROMOTION)), 0);
    EXPECT_EQ(pawn->board.isPseudoLegal(buildMove(E2, E3, PAWN, 0, 0, MOVE_PAWN)), 1);
}
