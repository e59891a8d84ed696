// Legal move lists for callers outside the search (book probes, move menus),
// built from the pseudo-legal generators and the before-the-move legality test.
#pragma once

#include "board/board.h"

// The side to move stands in check.
bool sideToMoveInCheck(const Board& board);

// Every legal move of the side to move. Empty when a king is missing, since
// no legality test has a meaning there.
void generateLegalMoves(const Board& board, Move* moves, int& count);
