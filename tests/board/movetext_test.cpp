// Move text: writers, the tolerant reader, and moves from squares.
#include "testutil.h"

namespace {

Move parse(Position& e, const std::string& text) { return parseMove(e, text.c_str()); }

// The complete move word for text, as the shell builds it.
Move full(Position& e, const std::string& text) {
    const Move m = parse(e, text);
    return moveFromSquares(e.board, moveFrom(m), moveTo(m), movePromotion(m));
}

} // namespace

TEST(MoveText, SanAndCoordinatesReadBackToTheSameMoveEverywhere) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    int checked = 0;
    for (const auto& fen : allDataPositions()) {
        auto e = positionAt(fen);
        if (!e->board.hasBothKings()) continue;
        for (Move m : legalMoves(*e)) {
            const std::string text = san(*e, m);
            const Move back = parse(*e, text);
            EXPECT_TRUE(sameMove(back, m)) << fen << " " << text;
            EXPECT_EQ(back, m) << "a SAN read gives the full generated word: " << text;
            EXPECT_TRUE(sameMove(coordToMove(coord(m).c_str()), m)) << coord(m);
            ++checked;
        }
    }
    EXPECT_GT(checked, 50000);
}

TEST(MoveText, SanMarksChecksAndMates) {
    auto mate = positionAt("6k1/5ppp/8/8/8/8/8/R5K1 w - -");
    EXPECT_EQ(san(*mate, full(*mate, "a1a8")), "Ra8#");
    auto check = positionAt("6k1/5pp1/8/8/8/8/8/R5K1 w - -");
    EXPECT_EQ(san(*check, full(*check, "Ra8")), "Ra8+");
}

TEST(MoveText, ReaderQuirks) {
    auto e = positionAt("4k3/8/8/3p4/2P1P3/1p6/P7/1B2K3 w - -");
    EXPECT_EQ(coord(parse(*e, "exd5")), "e4d5");
    EXPECT_EQ(coord(parse(*e, "cxd5")), "c4d5");
    EXPECT_EQ(coord(parse(*e, "axb3")), "a2b3");
    auto bishop = positionAt("4k3/8/8/8/8/8/8/2B1K3 w - -");
    EXPECT_EQ(coord(parse(*bishop, "bb2")), "c1b2") << "lower-case bb is a bishop";
    EXPECT_EQ(coord(parse(*bishop, "Bb2")), "c1b2");
    auto knights = positionAt("4k3/8/8/8/8/8/8/1N2KN2 w - -");
    EXPECT_EQ(san(*knights, full(*knights, "b1d2")), "Nbd2") << "SAN names the file, else the rank";
    EXPECT_EQ(coord(parse(*knights, "Nbd2")), "b1d2");
    auto three = positionAt("4k3/8/1N1N4/8/8/8/3N4/4K3 w - -"); // b6, d6 and d2 all reach c4
    EXPECT_EQ(san(*three, full(*three, "d6c4")), "Nd6c4") << "and both when neither alone will do";
    EXPECT_EQ(coord(parse(*three, "Nd6c4")), "d6c4");
    EXPECT_EQ(coord(parse(*knights, "Nd2")), "b1d2") << "the first generated knight move";
    auto rooks = positionAt("4k3/8/8/8/R7/8/8/R3K3 w - -");
    EXPECT_EQ(san(*rooks, full(*rooks, "a1a2")), "R1a2");
    EXPECT_EQ(coord(parse(*rooks, "R1a2")), "a1a2");
    auto queens = positionAt("4k3/8/8/8/7Q/8/8/1Q5K w - -");
    EXPECT_EQ(coord(parse(*queens, "Qh4e1")), "h4e1") << "only the h of h4 is read";
    auto promote = positionAt("4k3/P7/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(coord(parse(*promote, "a8=Q")), "a7a8Q");
    EXPECT_EQ(coord(parse(*promote, "a8=q")), "a7a8Q");
    EXPECT_EQ(parse(*promote, "a8Q"), NO_MOVE);
    auto castle = positionAt("r3k2r/8/8/8/8/8/8/R3K2R b kq -");
    EXPECT_EQ(parse(*castle, "O-O+"), CASTLE_BLACK_KINGSIDE);
    EXPECT_EQ(parse(*castle, "0-0-0"), CASTLE_BLACK_QUEENSIDE);
    EXPECT_EQ(parse(*castle, "o-o"), CASTLE_BLACK_KINGSIDE);
    auto noRights = positionAt("r3k2r/8/8/8/8/8/8/R3K2R b - -");
    EXPECT_EQ(parse(*noRights, "O-O"), CASTLE_BLACK_KINGSIDE) << "rights are the legality test's business";
    EXPECT_EQ(noRights->isLegalBySquares(E8, G8), 0);
}

TEST(MoveText, OverlongOrBrokenTextIsNoMove) {
    auto e = positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const std::string& text :
         {std::string("e2e4e2e4e2e4e2e4e2e4"), std::string(10000, 'N'), std::string(), std::string("e"),
          std::string("e4=X"), std::string("news")})
        EXPECT_EQ(parse(*e, text), NO_MOVE) << text.substr(0, 20);
    EXPECT_EQ(coord(parse(*e, "e4")), "e2e4");
    EXPECT_EQ(coord(parse(*e, "Nf3")), "g1f3");
}

TEST(MoveText, MoveFromSquaresBuildsTheGeneratedWord) {
    auto e = positionAt("r3k2r/1P6/8/3Pp3/8/8/4P3/R3K2R w KQkq e6");
    const auto legal = legalMoves(*e);
    for (Move m : legal) {
        const Move built = moveFromSquares(e->board, moveFrom(m), moveTo(m), movePromotion(m));
        EXPECT_EQ(built, m) << coord(m);
    }
    // A pawn reaching the last rank without a piece becomes a queen; a promotion
    // letter on any other move is ignored.
    EXPECT_EQ(movePromotion(moveFromSquares(e->board, B7, B8, 0)), QUEEN);
    EXPECT_EQ(moveFromSquares(e->board, E2, E4, QUEEN), moveFromSquares(e->board, E2, E4, 0));
    EXPECT_FALSE(isPromotion(moveFromSquares(e->board, A1, B1, KNIGHT)));
    EXPECT_EQ(moveFromSquares(e->board, E2, E2, 0), NO_MOVE);
    EXPECT_EQ(moveFromSquares(e->board, -1, E2, 0), NO_MOVE);
    EXPECT_EQ(moveFromSquares(e->board, E2, 120, 0), NO_MOVE);
}

TEST(MoveText, SanThatLeavesOutAPinnedPieceReadsAsTheLegalMove) {
    // Both knights reach e2, but the one on c3 is pinned by the bishop on b4.
    auto e = positionAt("4k3/8/8/8/1b6/2N3N1/8/4K3 w - -");
    EXPECT_EQ(coord(parse(*e, "Ne2")), "g3e2") << "the pinned c3 knight comes first in the list";
    // With nothing legal that fits, the reader still names the first fitting move
    // and the legality test refuses it.
    auto pinned = positionAt("4k3/8/8/8/1b6/2N5/8/4K3 w - -");
    EXPECT_EQ(coord(parse(*pinned, "Ne2")), "c3e2");
    EXPECT_EQ(pinned->isLegalBySquares(C3, E2), 0);
}
