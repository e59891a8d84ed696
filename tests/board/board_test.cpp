// The board's summaries, keys and stage after set-up.
#include "board/keys.h"
#include "testutil.h"

TEST(BoardState, StartPositionSummariesAndKey) {
    Board b;
    b.setStartPosition();
    EXPECT_EQ(b.pieceTotal, 32);
    EXPECT_EQ((std::vector<int>{b.pawnCount[WHITE], b.pawnCount[BLACK], b.pieceMaterial[WHITE],
                                b.pieceMaterial[BLACK], b.pieceTypes[WHITE], b.pieceTypes[BLACK],
                                b.pieceCount[WHITE][KING], b.stage}),
              (std::vector<int>{8, 8, 31, 31, 31, 31, 1, 0}));
    EXPECT_EQ(b.occupied, 0xFFFF00000000FFFFull);
    // Books and learning files hold keys; these values must never change.
    EXPECT_EQ(pieceKeys[0], 0xCCBD0578E273BFA1ull);
    EXPECT_EQ(b.key, 0x0ED3DE7E257EBF0Aull) << std::hex << b.key;
}

TEST(BoardState, WhatTheKeysHold) {
    Board none, all, white, black, e3, e6, a, b;
    none.readFen("r3k2r/8/8/8/8/8/8/R3K2R w - -");
    all.readFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    // Castling value zero still enters the key.
    EXPECT_EQ(none.key ^ all.key, castlingKeys[0] ^ castlingKeys[15]);
    // The side to move is not in the key, and of the en-passant square only its file.
    white.readFen("4k3/8/8/8/8/8/8/4K3 w - -");
    black.readFen("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(white.key, black.key);
    e3.readFen("4k3/8/8/8/8/8/8/4K3 b - e3");
    e6.readFen("4k3/8/8/8/8/8/8/4K3 w - e6");
    EXPECT_EQ(e3.key, e6.key);
    EXPECT_EQ(e3.key ^ white.key, enPassantKeys[4]);
    // The pawn key holds only the pawns.
    a.readFen("4k3/pp6/8/8/8/8/PP6/4K3 w - -");
    b.readFen("r3k3/pp6/8/8/8/8/PP6/R3K3 w Qq -");
    EXPECT_EQ(a.pawnKey, b.pawnKey);
    EXPECT_NE(a.key, b.key);
}

TEST(BoardState, BothKingsMeansOneKingOfEachColour) {
    Board b;
    for (auto [fen, both] : {std::pair{"8/8/8/8/8/8/8/4K3 w - -", false},
                             {"4k3/8/8/8/8/8/8/3KK3 w - -", false},
                             {"4k3/8/8/8/8/8/8/4K3 w - -", true}}) {
        b.readFen(fen);
        EXPECT_EQ(b.hasBothKings(), both) << fen;
    }
}
