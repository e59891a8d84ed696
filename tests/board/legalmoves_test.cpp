// The legal move list of a bare board against the game record's own test:
// make each pseudo-legal move and see whether the mover's king is attacked.
#include "board/legalmoves.h"
#include "testutil.h"

#include <algorithm>

TEST(LegalMoveList, EqualsMakingEachMoveAndTestingTheKing) {
    std::vector<std::string> positions = allDataPositions();
    positions.insert(positions.end(),
                     {"4k3/8/8/8/8/8/4P3/r3K3 w - - 0 1", "4k3/8/8/r2pP2K/8/8/8/8 w - d6 0 1",
                      "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"});
    const size_t step = kSlowBuild ? 7 : 1;
    for (size_t i = 0; i < positions.size(); i += step) {
        auto engine = positionAt(positions[i]);
        Move moves[MAX_MOVES];
        int count = 0;
        generateLegalMoves(engine->board, moves, count);
        std::vector<Move> listed(moves, moves + count), expected = legalMoves(*engine);
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected) << positions[i];
        EXPECT_EQ(sideToMoveInCheck(engine->board), engine->top().inCheck != 0) << positions[i];
    }
}
