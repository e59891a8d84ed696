// Draw by repetition inside the search: one earlier occurrence is enough.
#include "shell/engine.h"

// Positions with the same side to move lie an even number of plies back; none
// before the last capture or pawn move can repeat. The walk is bounded by the
// record too, since a counter may count plies from before the record began.
bool Engine::isRepetition() const {
    const int fifty = top().fifty;
    const int reach = fifty < gamePly ? fifty : gamePly;
    for (int back = 2; back <= reach; back += 2) {
        if (history[gamePly - back].key == board.key) return true;
    }
    return false;
}
