#include "board/legalmoves.h"

bool sideToMoveInCheck(const Board& board) {
    return board.isAttacked(board.side ^ 1, board.kingSquare(board.side)) != 0;
}

// In check the evasion generator already gives only legal moves. Otherwise a
// pseudo-legal move is legal when it does not expose its own king. A move that
// takes a king exists only in positions that cannot arise in a game.
void generateLegalMoves(const Board& board, Move* moves, int& count) {
    count = 0;
    if (!board.hasBothKings()) return;
    const bool inCheck = sideToMoveInCheck(board);
    Move all[MAX_MOVES];
    int total = 0;
    if (inCheck)
        board.generateEvasions(all, total);
    else
        board.generateAll(all, total);
    for (int i = 0; i < total; ++i) {
        if (moveCaptured(all[i]) == KING || (!inCheck && board.leavesKingInCheck(all[i], 0))) continue;
        moves[count++] = all[i];
    }
}
