// Counting the leaves of the legal move tree.
#include "shell/perft.h"

// Moves are generated pseudo-legally (evasions in check) and a move counts when
// the mover's king is not attacked once it is made (on the last ply, when it
// would not be). Depth 0 counts like depth 1.
// A position where a king can be taken is illegal; such a capture counts as a
// leaf like any move, and the king-less position below it has no moves.
uint64_t perft(Position& position, int depth, Output* progress) {
    FM_ASSERT(position.searchPly + 1 < MAX_PLY);
    const Board& board = position.board;
    if (!board.hasBothKings()) return 0;
    Move moves[MAX_MOVES];
    int count = 0;
    position.generateMoves(moves, count);
    uint64_t leaves = 0;
    // On the last ply out of check, the legality test that works on the board
    // before the move (pins, en passant, king steps) counts the moves without
    // making them. In check, and at a root that prints progress, moves are made.
    if (depth < 2 && !position.top().inCheck && !(progress && position.searchPly == 0)) {
        for (int i = 0; i < count; ++i) leaves += board.leavesKingInCheck(moves[i], 0) ? 0 : 1;
        return leaves;
    }
    for (int i = 0; i < count; ++i) {
        const Move move = moves[i];
        position.pushMove(move);
        const int mover = board.side ^ 1;
        if (!board.isAttacked(board.side, board.kingSquare(mover))) {
            if (progress && position.searchPly == 1) progress->print(".");
            leaves += depth < 2 ? 1 : perft(position, depth - 1, progress);
        }
        position.popMove();
    }
    return leaves;
}
