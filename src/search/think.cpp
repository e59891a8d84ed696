// The search driver: root list, book, time, iterative deepening inside an
// aspiration window.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "board/score.h"
#include "egtb/tablebases.h"
#include "eval/evaluator.h"
#include "search/clock.h"
#include "search/helpers.h"
#include "search/modern/state.h"
#include "search/search.h"

namespace {

constexpr int ASPIRATION = 50;

int32_t withFrontBonus(int32_t score) {
    const int64_t raised = int64_t{score} + Search::FRONT_BONUS;
    return raised > INT32_MAX ? INT32_MAX : static_cast<int32_t>(raised);
}

// The widening of the window after the n-th failure (n from 0).
int widened(int score, int failures, int direction) {
    if (failures == 0) return score + 200 * direction;
    if (failures == 1) return score + 400 * direction;
    return INFINITE_SCORE * direction;
}

} // namespace

Search::Search(Position& position, MainHashTable& table, SearchListener& searchListener, Evaluator& evaluator)
    : pos(position), board(position.board), hashTable(table), eval(evaluator), listener(&searchListener) {
    std::memset(plyStack, 0, sizeof plyStack);
}

Search::~Search() = default;

void Search::sortRootMoves() {
    PlyRecord& root = ply(0);
    // Insertion sort: stable, and the list is short and mostly in order.
    for (int i = 1; i < root.moveCount; ++i) {
        const Move m = root.moves[i];
        const int32_t s = root.orderScores[i];
        int j = i;
        for (; j > 0 && root.orderScores[j - 1] < s; --j) {
            root.moves[j] = root.moves[j - 1];
            root.orderScores[j] = root.orderScores[j - 1];
        }
        root.moves[j] = m;
        root.orderScores[j] = s;
    }
}

// The clock stopped the search while the score was falling: the more it fell,
// the more time the move gets, and a fall of 30 or more searches the
// interrupted depth again. Any fall is worth remembering in the learning store.
void Search::extendAfterScoreDrop() {
    if (lastScore > rootScore) {
        const int drop = lastScore - rootScore;
        const int factor = drop >= 250   ? 8
                           : drop >= 150 ? 7
                           : drop >= 90  ? 6
                           : drop >= 50  ? 4
                           : drop >= 30  ? 2
                                         : 1;
        const int64_t extended = int64_t{time.moveTimeMs} * factor;
        time.moveTimeMs = extended > INT32_MAX ? INT32_MAX : static_cast<int32_t>(extended);
        if (drop >= 30) {
            searchAborted = stopRequested = clockStopped = false;
            --iteration;
        }
        if (options.useLearn) listener->scoreDropped(*this);
    }
    lastScore = rootScore;
}

// Steps 3-4: the legal root moves, in generation order. False when they leave
// nothing to search: no move at all, or a single one outside pondering and
// analysis (it is played at once).
bool Search::prepareRootList() {
    PlyRecord& root = ply(0);
    root.moveCount = pos.legalMoves(root.moves);
    if (!searchMoves.empty()) keepSearchMoves(root);
    for (int i = 0; i < root.moveCount; ++i) root.orderScores[i] = 0;
    rootMoveCount = root.moveCount;
    if (root.moveCount == 0) return false;
    if (root.moveCount == 1 && !modes.pondering && !modes.analyze) {
        root.bestMove = root.moves[0];
        return false;
    }
    return true;
}

// The root list keeps, in its order, the moves the front end named; when none
// of them is legal, the whole list stays.
void Search::keepSearchMoves(PlyRecord& root) {
    int kept = 0;
    for (int i = 0; i < root.moveCount; ++i) {
        for (Move wanted : searchMoves) {
            if (!sameMove(root.moves[i], wanted)) continue;
            root.moves[kept++] = root.moves[i];
            break;
        }
    }
    if (kept > 0) root.moveCount = kept;
}

// Step 6: every root move ordered by a quiescence search of it (checks included).
void Search::presortRootMoves() {
    PlyRecord& root = ply(0);
    const bool modernProfile = options.profile == SearchProfile::Modern;
    for (int i = 0; i < root.moveCount; ++i) {
        pos.pushMove(root.moves[i]);
        root.orderScores[i] = modernProfile ? -modernQuiescence(-INFINITE_SCORE, INFINITE_SCORE)
                                            : -quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
        pos.popMove();
    }
    sortRootMoves();
}

// Step 7: one move far ahead of the rest, a plain recapture or a small gain.
void Search::detectEasyMove() {
    const PlyRecord& root = ply(0);
    easyMove = false;
    if (root.moveCount < 2) return;
    const int s0 = root.orderScores[0];
    const std::array<int, 7>& value = eval.params().pieceValue;
    const int pawn = value[PAWN];
    const Move first = root.moves[0];
    const Move last = pos.gamePly >= 1 ? pos.history[pos.gamePly - 1].move : NO_MOVE;
    const bool recapture = last != NO_MOVE && moveTo(first) == moveTo(last) &&
                           value[moveCaptured(first)] == value[moveCaptured(last)];
    if (s0 > root.orderScores[1] + 2 * pawn && (recapture || s0 <= pawn)) {
        easyMove = true;
        listener->easyMove(*this);
    }
}

// Step 11: iterative deepening, each iteration inside an aspiration window
// that widens on failure.
void Search::deepen() {
    PlyRecord& root = ply(0);
    do {
        iteration = listener->nextIteration(*this, iteration + 1);
        if (helpers) helpers->mainIterationStarts(iteration);
        failLowCount = failHighCount = 0;
        int score = rootSearch(rootAlpha, rootBeta, iteration * 8);
        while (!searchAborted && (score <= rootAlpha || score >= rootBeta)) {
            const int front = rootIndexOf(root.bestMove);
            if (front >= 0) root.orderScores[front] = withFrontBonus(root.orderScores[front]);
            sortRootMoves();
            if (score <= rootAlpha) {
                rootAlpha = widened(score, failLowCount, -1);
                ++failLowCount;
            } else {
                rootBeta = widened(score, failHighCount, +1);
                ++failHighCount;
            }
            score = rootSearch(rootAlpha, rootBeta, iteration * 8);
        }
        if (!searchAborted && lineCount > 1) {
            searchOtherLines(iteration * 8);
            score = rootScore;
        }
        if (!searchAborted) {
            reportLines();
            completedIteration = iteration;
            listener->iterationCompleted(*this);
            if (score >= MATE_SCORE - iteration || score <= -(MATE_SCORE - iteration)) break;
            const int front = rootIndexOf(root.bestMove);
            if (front >= 0) root.orderScores[front] = FRONT_BONUS;
            sortRootMoves();
            rootAlpha = rootScore - ASPIRATION;
            rootBeta = rootScore + ASPIRATION;
        } else if (clockStopped && time.mode == TimeMode::Clock && !modes.analyze && !modes.pondering &&
                   !modes.ponderSearch) {
            extendAfterScoreDrop();
        }
    } while (!searchAborted && iteration < depthLimit());
}

Move Search::think() {
    // A position without both kings cannot be searched; nor can a game record
    // without room for a full line of search above it.
    pos.searchPly = 0;
    if (!board.hasBothKings() || pos.gamePly > MAX_GAME_PLY) return NO_MOVE;

    // 1. Clocks, counters and flags.
    rootScore = 0;
    iteration = helperDepthOffset;
    completedIteration = 0;
    startTime = reportStartTime = wallClockMs();
    startCpuTime = cpuClockMs();
    stats = SearchStats{};
    if (!isHelper) {
        pollInterval = time.mode == TimeMode::Clock ? CLOCK_POLL_INTERVAL : POLL_INTERVAL;
        // A node limit counts the helpers' nodes too, which they publish every
        // thousand nodes: the main search looks as often.
        if (time.nodeLimit != 0 && helpers && helpers->count() > 0) pollInterval = CLOCK_POLL_INTERVAL;
    }
    stopRequested = searchAborted = clockStopped = false;
    if (!isHelper) {
        tablebaseStats.hits = 0;
        tablebaseStats.probes = 0;
    }
    eval.caches().pawn.hits = 0;
    eval.caches().pawn.probes = 0;
    eval.caches().eval.hits = 0;
    eval.caches().eval.probes = 0;
    rootMoveCount = rootMoveIndex = 0;
    allocateTime(pos.gamePly);

    // 2. Killers, threats and history from earlier searches are forgotten.
    for (int p = -2; p < MAX_PLY; ++p) {
        PlyRecord& r = ply(p);
        r.killer1 = r.killer2 = r.bestMove = r.threatMove = NO_MOVE;
    }
    std::memset(historyCounters, 0, sizeof historyCounters);
    board.updateStage();

    // 3-4. The legal root moves; no choice to make with fewer than two.
    PlyRecord& root = ply(0);
    if (!prepareRootList()) return root.moveCount == 0 ? NO_MOVE : root.bestMove;

    // 5. The opening book; its move must be one of the legal moves.
    if (bookExitPly + 6 >= pos.gamePly && options.useBook && !modes.analyze) {
        const Move bookChoice = listener->bookMove(pos, root.moves, root.orderScores, root.moveCount);
        const int index =
            bookChoice != NO_MOVE && board.isPseudoLegal(bookChoice) ? rootIndexOf(bookChoice) : -1;
        if (index >= 0) {
            bookExitPly = pos.gamePly;
            root.bestMove = root.moves[index];
            listener->bookMoveFound(*this);
            return root.bestMove;
        }
    }

    // 6-7. Pre-sort; an easy move?
    const bool modernProfile = options.profile == SearchProfile::Modern;
    if (modernProfile) prepareModern();
    presortRootMoves();
    const int s0 = root.orderScores[0];
    if (!modernProfile) detectEasyMove();

    // 8-9. The front end may announce the search.
    listener->deepeningStarts(*this);

    // 10. The first move stands until the search finds better.
    root.bestMove = root.moves[0];
    root.pv[0] = root.moves[0];
    root.pvEnd = 1;
    rootScore = s0;
    rootAlpha = s0 - ASPIRATION;
    rootBeta = s0 + ASPIRATION;
    root.endgame = board.castling == 0 && board.isEnding();
    root.lowMaterial = board.isLateEnding();
    root.mateThreat = root.bmThreat = 0;

    // The lines to find: one, or as many as asked for and the root has moves
    // (a limited strength chooses among a few).
    lineCount = std::clamp(options.multiPv, 1, root.moveCount);
    const bool limited = prepareStrength();
    linesDone = 0;
    if (lineCount > 1 && lines.size() < static_cast<size_t>(lineCount))
        lines.resize(static_cast<size_t>(lineCount));

    // 11. Iterative deepening, with the helper threads on the same root (not
    // at a limited strength: the search is short, and its choice its own);
    // 12. the front end may print statistics.
    HelperThreads* const attached = helpers;
    if (limited) helpers = nullptr; // detached for this search only
    if (!isHelper) busyMoves = helpers && helpers->count() > 0 ? &helpers->busyMoves() : nullptr;
    if (helpers) helpers->start(*this);
    if (modernProfile)
        deepenModern();
    else
        deepen();
    if (helpers) {
        helpers->stop();
        adoptHelperResult();
    }
    helpers = attached;
    if (limited) chooseAtStrength();
    listener->finished(*this);
    return root.bestMove;
}

void Search::adoptHelperResult() {
    HelperThreads::Result deeper;
    if (!helpers->deepestResult(completedIteration, deeper)) return;
    PlyRecord& root = ply(0);
    if (rootIndexOf(deeper.pv[0]) < 0) return;
    for (int i = 0; i < deeper.pvEnd; ++i) root.pv[i] = deeper.pv[i];
    root.pvEnd = deeper.pvEnd;
    root.bestMove = deeper.pv[0];
    iteration = completedIteration = deeper.depth;
    rootScore = deeper.score;
    // The adopted line is the one the move comes from: it is reported last.
    rootAlpha = -INFINITE_SCORE;
    rootBeta = INFINITE_SCORE;
    reportLine(rootScore);
}

int64_t Search::reportedElapsedMs() const { return wallClockMs() - reportStartTime; }

void Search::becomeHelper(BusyMoves& busy, int offset, uint32_t interval) {
    isHelper = true;
    busyMoves = &busy;
    helperDepthOffset = offset;
    pollInterval = interval;
}

uint64_t Search::totalNodes() const { return stats.nodes + (helpers ? helpers->nodes() : 0); }
