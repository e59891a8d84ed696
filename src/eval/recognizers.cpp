// Provisional: the recognizers arrive with the evaluation work.
#include "board/board.h"
#include "eval/recognizers.h"

void initRecognizers() {}

int Board::recognize(int&) const { return 0; }
