// Making and unmaking moves through the game record: the special moves.
#include "board/keys.h"
#include "testutil.h"

TEST(MakeMove, DoubleStepSetsTheEnPassantSquareForOnePly) {
    auto e = positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const uint64_t before = e->board.key;
    e->pushMove(generatedMove(*e, E2, E4));
    EXPECT_EQ(e->top().epSquare, 36);
    EXPECT_EQ(e->board.epSquare, 36);
    // The key holds the e-file en-passant key besides the moved pawn.
    EXPECT_EQ(e->board.key,
              before ^ pieceKey(E2, PAWN, WHITE) ^ pieceKey(E4, PAWN, WHITE) ^ enPassantKeys[4]);
    e->pushMove(generatedMove(*e, G8, F6));
    EXPECT_EQ(e->top().epSquare, 0);
    EXPECT_EQ(e->board.epSquare, 0);
}

TEST(MakeMove, CastlingMovesTheRookAndUndoRestoresRights) {
    auto e = positionAt("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    const std::string fen = e->board.fen();
    e->pushMove(CASTLE_WHITE_KINGSIDE);
    EXPECT_EQ(e->board.castling, 12);
    EXPECT_EQ(e->board.castled[WHITE], 1);
    EXPECT_EQ(e->board.squares[F1]->piece, ROOK);
    EXPECT_EQ(e->board.squares[H1]->piece, NO_PIECE);
    e->popMove();
    EXPECT_EQ(e->board.castled[WHITE], 0);
    EXPECT_EQ(e->board.castling, 15);
    EXPECT_EQ(e->board.fen(), fen);
    // Capturing a rook on its home square removes that right.
    e->pushMove(generatedMove(*e, H1, H8));
    EXPECT_EQ(e->board.castling, 15 & 11 & 14);
}

TEST(MakeMove, EnPassantRemovesThePawnBehindTheSquare) {
    auto e = positionAt("4k3/8/8/3Pp3/8/8/8/4K3 w - e6");
    const Move ep = generatedMove(*e, D5, E6);
    const std::string before = e->board.fen();
    e->pushMove(ep);
    EXPECT_EQ(e->board.squares[E5]->piece, NO_PIECE);
    EXPECT_EQ(e->board.pieceTotal, 3);
    EXPECT_EQ(e->board.pawnKey, pieceKey(E6, PAWN, WHITE));
    e->popMove();
    EXPECT_EQ(e->board.fen(), before);
    EXPECT_EQ(e->board.squares[E5]->piece, PAWN);
}

TEST(MakeMove, PromotionWithCaptureMovesEntriesBetweenLists) {
    auto e = positionAt("1r2k3/P7/8/8/8/8/7P/4K3 w - -");
    const Move m = generatedMove(*e, A7, B8, KNIGHT);
    e->pushMove(m);
    EXPECT_EQ(e->board.pieceCount[BLACK][ROOK], 0);
    EXPECT_EQ(e->board.pieceList[BLACK][ROOK], nullptr);
    EXPECT_EQ(e->board.pieceCount[WHITE][KNIGHT], 1);
    EXPECT_EQ(e->board.pieceList[WHITE][KNIGHT]->square, B8);
    EXPECT_EQ(e->board.pieceTypes[WHITE] & 16, 16) << "a pawn remains on h2";
    EXPECT_EQ(e->board.pieceTypes[BLACK] & 2, 0);
    e->popMove();
    EXPECT_EQ(e->board.fen(), "1r2k3/P7/8/8/8/8/7P/4K3 w - -");

    auto last = positionAt("1r2k3/P7/8/8/8/8/8/4K3 w - -");
    last->pushMove(generatedMove(*last, A7, B8, QUEEN));
    EXPECT_EQ(last->board.pieceTypes[WHITE], 1) << "the last pawn is gone, a queen came";
}

TEST(MakeMove, RestoredCaptureComesBackAfterTheFirstListNode) {
    auto e = positionAt("4k3/8/8/8/1n1n1n2/8/2P5/4K3 w - -");
    std::vector<int> order;
    for (const PieceEntry* p = e->board.pieceList[BLACK][KNIGHT]; p; p = p->next) order.push_back(p->square);
    EXPECT_EQ(order, (std::vector<int>{B4, F4, D4}));
    e->pushMove(generatedMove(*e, C2, C3));
    e->pushMove(generatedMove(*e, B4, A6));
    e->pushMove(generatedMove(*e, C3, C4));
    e->pushMove(generatedMove(*e, D4, B5));
    e->pushMove(generatedMove(*e, C4, B5)); // takes the knight that stood last in the list
    e->popMove();
    order.clear();
    for (const PieceEntry* p = e->board.pieceList[BLACK][KNIGHT]; p; p = p->next) order.push_back(p->square);
    EXPECT_EQ(order.size(), 3u);
    EXPECT_EQ(order[1], B5) << "the restored knight is linked in right after the first node";
}

TEST(MakeMove, NullMoveDropsOnlyTheEnPassantFile) {
    auto e = positionAt("4k3/8/8/8/4Pp2/8/8/4K3 b - e3");
    const uint64_t before = e->board.key;
    e->pushNullMove();
    EXPECT_EQ(e->board.key, before ^ enPassantKeys[4]);
    EXPECT_EQ(e->board.side, WHITE);
    e->popNullMove();
    EXPECT_EQ(e->board.key, before);
    EXPECT_EQ(e->board.epSquare, E3);
}
