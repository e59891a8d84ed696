#include "search/selectbest.h"

void selectBest(Move* moves, int32_t* scores, int i, int n) {
    int best = i;
    for (int j = i + 1; j < n; ++j) {
        if (scores[j] > scores[best]) best = j;
    }
    if (best == i) return;
    const Move m = moves[i];
    moves[i] = moves[best];
    moves[best] = m;
    const int32_t s = scores[i];
    scores[i] = scores[best];
    scores[best] = s;
}
