// Provisional until the search lands: plays the first legal move.
#include "shell/engine.h"

Move Engine::think() {
    searchPly = 0;
    Move moves[MAX_MOVES];
    int count = 0;
    if (!board.hasBothKings()) return NO_MOVE;
    generateMoves(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveCaptured(moves[i]) == KING) continue;
        pushMove(moves[i]);
        const bool legal = !board.leavesKingInCheck(moves[i], 1);
        popMove();
        if (legal) return moves[i];
    }
    return NO_MOVE;
}

void Engine::allocateTime(int) {}
void Engine::checkTime() {}

void Engine::bench(int) { print("bench: not available yet\n"); }
