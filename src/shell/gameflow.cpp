// Provisional until the game flow lands: the search-time poll only honours a
// stop request.
#include "shell/engine.h"

void Engine::checkInput() {
    if (timeMode == 2) return;
    if (stopRequested) {
        searchAborted = true;
        return;
    }
    checkTime();
}
