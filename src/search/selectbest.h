// The one selection-sort step shared by the move picker, the quiescence search
// and the root list.
#pragma once

#include <cstdint>

#include "board/types.h"

// Among positions i + 1 .. n - 1, finds the first holding the highest score
// strictly above scores[i] and swaps it (move and score) into position i.
void selectBest(Move* moves, int32_t* scores, int i, int n);
