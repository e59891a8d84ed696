// Making and unmaking moves through the game record: what the random walk's
// rebuild and unmake checks and the perft counts leave unseen.
#include "board/keys.h"
#include "testutil.h"

// The order of a piece list decides the order of generated moves, so unmake
// must put a captured piece back where it was linked.
TEST(MakeMove, RestoredCaptureComesBackAfterTheFirstListNode) {
    auto e = positionAt("4k3/8/8/8/1n1n1n2/8/2P5/4K3 w - -");
    auto knightOrder = [&] {
        std::vector<int> order;
        for (const PieceEntry* p = e->board.pieceList[BLACK][KNIGHT]; p; p = p->next)
            order.push_back(p->square);
        return order;
    };
    EXPECT_EQ(knightOrder(), (std::vector<int>{B4, F4, D4}));
    for (auto [from, to] : {std::pair{C2, C3}, {B4, A6}, {C3, C4}, {D4, B5}})
        e->pushMove(generatedMove(*e, from, to));
    e->pushMove(generatedMove(*e, C4, B5)); // takes the knight that stood last in the list
    e->popMove();
    const std::vector<int> order = knightOrder();
    ASSERT_EQ(order.size(), 3u);
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
