// Time allowance per move, the clock rule, and the poll that a running search
// makes every 9000 nodes.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "search/clock.h"
#include "search/helpers.h"
#include "search/search.h"

void Search::allocateTime(int plies) {
    FM_ASSERT(plies >= 0 && plies < HISTORY_SIZE);
    if (time.mode != TimeMode::Clock) return;
    if (options.profile == SearchProfile::Modern) {
        allocateModernTime(plies);
        return;
    }
    int64_t allowance;
    const int64_t clock = usableClockMs();
    if (time.movesPerControl <= 0 && time.movesToGo <= 0) {
        // Sudden death or increment: a 35th of the clock plus the increment,
        // weighted down while the clock is small compared with it.
        const int64_t increment = time.incrementMs;
        allowance = clock / 35;
        if (clock + increment > 0)
            allowance += static_cast<int64_t>(static_cast<double>(increment) * static_cast<double>(clock) /
                                              static_cast<double>(clock + increment));
    } else {
        const int64_t movesLeft =
            time.movesToGo > 0 ? time.movesToGo : time.movesPerControl - ((plies / 2) % time.movesPerControl);
        allowance = (int64_t{time.incrementMs} * movesLeft + clock) / movesLeft;
    }
    if (modes.ponderSearch) allowance /= 3;
    // More time just after the book, when the engine meets its first own positions.
    const double factor = bookExitPly + 4 >= plies ? 1.5 : 0.85;
    const double scaled = std::floor(static_cast<double>(allowance) * factor);
    time.moveTimeMs = scaled > INT32_MAX   ? INT32_MAX
                      : scaled < INT32_MIN ? INT32_MIN
                                           : static_cast<int32_t>(scaled);
}

int64_t Search::usableClockMs() const {
    const int64_t reserve = time.clockReserveMs + int64_t{time.reserveIncrements} * time.incrementMs;
    return std::max<int64_t>(0, int64_t{time.engineClockMs} - reserve);
}

void Search::checkTime() {
    if (modes.analyze || modes.pondering) return;
    const int64_t elapsed = wallClockMs() - startTime;
    bool stopNow = false;
    if (time.mode == TimeMode::FixedTime) {
        stopNow = elapsed >= time.moveTimeMs;
    } else if (time.mode == TimeMode::Clock && options.profile == SearchProfile::Modern) {
        stopNow = elapsed >= hardLimitMs;
    } else if (time.mode == TimeMode::Clock) {
        if (elapsed >= usableClockMs() / 4)
            stopNow = true;
        else if (easyMove)
            stopNow = elapsed >= time.moveTimeMs / 5;
        else
            stopNow = elapsed >= time.moveTimeMs && failLowCount == 0;
    }
    if (stopNow) {
        // A stop asked for by input in the same poll stays the input's.
        if (!searchAborted) clockStopped = true;
        searchAborted = true;
        stopRequested = true;
    }
}

// A node limit holds in every search; a fixed-depth search reads no input and
// keeps no clock.
void Search::pollInputAndClock() {
    if (time.nodeLimit != 0 && totalNodes() >= time.nodeLimit) {
        stop();
        return;
    }
    if (isHelper) publishNodeCount();
    // A helper has reached the depth this search was asked for: its result will do.
    if (helpers && helpers->deepestCompleted() >= time.depthLimit) {
        stop();
        return;
    }
    if (time.mode == TimeMode::FixedDepth) return;
    if (stopRequested) {
        searchAborted = true;
        return;
    }
    listener->poll(*this);
    checkTime();
}

void Search::ponderHit() {
    modes.pondering = false;
    allocateTime(pos.gamePly - pos.searchPly);
    const int64_t now = wallClockMs(), cpuNow = cpuClockMs();
    startTime = now - (now - startTime) / 3;
    startCpuTime = cpuNow - (cpuNow - startCpuTime) / 3;
}
