// The board's summaries, keys and stage after set-up.
#include "board/keys.h"
#include "testutil.h"

TEST(BoardState, StartPositionSummaries) {
    Board b;
    b.setStartPosition();
    EXPECT_EQ(b.pieceTotal, 32);
    EXPECT_EQ(b.pawnCount[WHITE], 8);
    EXPECT_EQ(b.pawnCount[BLACK], 8);
    EXPECT_EQ(b.pieceMaterial[WHITE], 31);
    EXPECT_EQ(b.pieceMaterial[BLACK], 31);
    EXPECT_EQ(b.pieceCount[WHITE][KING], 1);
    EXPECT_EQ(b.pieceTypes[WHITE], 31);
    EXPECT_EQ(b.pieceTypes[BLACK], 31);
    EXPECT_EQ(b.stage, 0);
    EXPECT_EQ(b.occupied, 0xFFFF00000000FFFFull);
    std::vector<int> pawns;
    for (const PieceEntry* e = b.pieceList[WHITE][PAWN]; e; e = e->next) pawns.push_back(e->square);
    EXPECT_EQ(pawns, (std::vector<int>{A2, H2, G2, F2, E2, D2, C2, B2}));
}

TEST(BoardState, CastlingValueZeroStillEntersTheKey) {
    Board none, all;
    none.readFen("r3k2r/8/8/8/8/8/8/R3K2R w - -");
    all.readFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    EXPECT_EQ(none.key ^ all.key, castlingKeys[0] ^ castlingKeys[15]);
}

TEST(BoardState, SideToMoveIsNotInTheKeyAndOnlyTheEnPassantFileIs) {
    Board white, black;
    white.readFen("4k3/8/8/8/8/8/8/4K3 w - -");
    black.readFen("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(white.key, black.key);
    Board e3, e6;
    e3.readFen("4k3/8/8/8/8/8/8/4K3 w - e3");
    e6.readFen("4k3/8/8/8/8/8/8/4K3 w - e6");
    EXPECT_EQ(e3.key, e6.key);
    EXPECT_EQ(e3.key ^ white.key, enPassantKeys[4]);
}

TEST(BoardState, PawnKeyHoldsOnlyThePawns) {
    Board a, b;
    a.readFen("4k3/pp6/8/8/8/8/PP6/4K3 w - -");
    b.readFen("r3k3/pp6/8/8/8/8/PP6/R3K3 w Qq -");
    EXPECT_EQ(a.pawnKey, b.pawnKey);
    EXPECT_NE(a.key, b.key);
}

TEST(BoardState, StageFollowsCastlingAndMaterial) {
    Board b;
    b.readFen("r3k3/8/8/8/8/8/8/4K3 w q -");
    EXPECT_EQ(b.stage, 0);
    b.readFen("r1b1kb2/8/8/8/8/8/8/R1B1KB2 w - -"); // 11 units each
    EXPECT_EQ(b.stage, 2);
    b.readFen("r1bnkb2/8/8/8/8/8/8/R1BNKB2 w - -"); // 14 units each
    EXPECT_EQ(b.stage, 2);
    b.readFen("r1bnkbn1/8/8/8/8/8/8/R1B1KB2 w - -"); // black 17: stage 1
    EXPECT_EQ(b.stage, 1);
    b.readFen("r1b1kb2/8/8/8/8/8/8/R1BNKBN1 w - -"); // white 17
    EXPECT_EQ(b.stage, 1);
    EXPECT_EQ(&b.currentPawnTable(), &pawnTableMiddle);
}

TEST(BoardState, InsufficientMaterialIsBareKingsOrOneMinorAgainstBareKing) {
    Board b;
    b.readFen("4k3/8/8/8/8/8/8/4KB2 w - -");
    EXPECT_EQ(b.insufficientMaterial(), 1);
    b.readFen("4k3/8/8/8/8/8/8/3NKN2 w - -");
    EXPECT_EQ(b.insufficientMaterial(), 0);
    b.readFen("4kn2/8/8/8/8/8/8/4KN2 w - -");
    EXPECT_EQ(b.insufficientMaterial(), 0);
    b.readFen("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(b.insufficientMaterial(), 1);
    b.readFen("4k3/7p/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(b.insufficientMaterial(), 0);
}

TEST(BoardState, PositionsWithoutOneKingPerSideAreRecognised) {
    Board b;
    b.readFen("8/8/8/8/8/8/8/4K3 w - -");
    EXPECT_FALSE(b.hasBothKings());
    b.readFen("4k3/8/8/8/8/8/8/3KK3 w - -");
    EXPECT_FALSE(b.hasBothKings());
    b.readFen("4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_TRUE(b.hasBothKings());
}

TEST(BoardState, KeyConstantsAreFixed) {
    // Books and learning files hold keys; these values must never change.
    EXPECT_EQ(pieceKeys[0], 0xCCBD0578E273BFA1ull);
    EXPECT_EQ(castlingKeys[15], keys_detail::ALL_KEYS[1815]);
    Board b;
    b.setStartPosition();
    EXPECT_EQ(b.key, 0x0ED3DE7E257EBF0Aull) << std::hex << b.key;
}
