// Time allowance per move and the clock rule the input poll applies.
#include <cmath>
#include <cstdint>

#include "shell/engine.h"
#include "shell/platform.h"

void Engine::allocateTime(int plies) {
    if (timeMode != 0) return;
    int64_t allowance;
    if (movesPerControl <= 0) {
        // Sudden death or increment: a 35th of the clock plus the increment,
        // weighted down while the clock is small compared with it.
        const int64_t clock = engineClockMs, increment = incrementMs;
        allowance = clock / 35;
        if (clock + increment > 0)
            allowance += static_cast<int64_t>(static_cast<double>(increment) * static_cast<double>(clock) /
                                              static_cast<double>(clock + increment));
    } else {
        const int64_t movesLeft = movesPerControl - ((plies / 2) % movesPerControl);
        allowance = (int64_t{incrementMs} * movesLeft + engineClockMs) / movesLeft;
    }
    if (ponderSearch) allowance /= 3;
    // More time just after the book, when the engine meets its first own positions.
    const double factor = bookExitPly + 4 >= plies ? 1.5 : 0.85;
    const double scaled = std::floor(static_cast<double>(allowance) * factor);
    moveTimeMs = scaled > INT32_MAX   ? INT32_MAX
                 : scaled < INT32_MIN ? INT32_MIN
                                      : static_cast<int32_t>(scaled);
}

void Engine::checkTime() {
    if (analyzeMode || pondering) return;
    const int64_t elapsed = wallClockMs() - startTime;
    bool stop = false;
    if (timeMode == 1) {
        stop = elapsed >= moveTimeMs;
    } else if (timeMode == 0) {
        if (elapsed >= engineClockMs / 4)
            stop = true;
        else if (easyMove)
            stop = elapsed >= moveTimeMs / 5;
        else
            stop = elapsed >= moveTimeMs && failLowCount == 0;
    }
    if (stop) {
        // A stop asked for by input in the same poll stays the input's.
        if (!searchAborted) clockStopped = true;
        searchAborted = true;
        stopRequested = true;
    }
}
