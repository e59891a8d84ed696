// Provisional: the exchange evaluator arrives with the evaluation work.
#include "board/board.h"
#include "board/see.h"

void buildSwapTable() {}

int Board::staticExchange(Move) const { return 0; }
