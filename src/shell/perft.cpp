// Counting the leaves of the legal move tree.
#include "shell/engine.h"

// Moves are generated pseudo-legally (evasions in check) and a move counts when
// the mover's king is not attacked once it is made. Depth 0 counts like depth 1.
// A position where a king can be taken is illegal; such a capture counts as a
// leaf like any move, and the king-less position below it has no moves.
uint64_t Engine::perft(int depth, bool progress) {
    FM_ASSERT(searchPly + 1 < MAX_PLY);
    if (!board.hasBothKings()) return 0;
    PlyRecord& node = currentPly();
    int count = 0;
    generateMoves(node.moves, count);
    uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = node.moves[i];
        pushMove(move);
        const int mover = board.side ^ 1;
        if (!board.isAttacked(board.side, board.kingSquare(mover))) {
            if (progress && searchPly == 1) print(".");
            leaves += depth < 2 ? 1 : perft(depth - 1, progress);
        }
        popMove();
    }
    return leaves;
}
