// Provisional evaluation (material and piece-square values only) until the full
// evaluator lands.
#include "board/board.h"

int Board::evaluate() { return pstScore[side] - pstScore[side ^ 1]; }
