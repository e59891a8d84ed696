// Iterative deepening of the modern profile: aspiration windows that widen on
// failure, the root's principal-variation search with late-move reductions,
// and the time rule that spends more when the best move changes or the score
// drops, within a hard limit.
#include <algorithm>
#include <cstdint>

#include "search/clock.h"
#include "search/helpers.h"
#include "search/modern/state.h"
#include "search/search.h"

void Search::prepareModern() {
    if (!modern) {
        modern = std::make_unique<ModernState>();
        modern->history.clear();
    }
    modern->prepare(modernParams);
    for (ModernPly& p : modern->plies) p = ModernPly{};
    // Histories carry over from the last search, halved: the game has moved on.
    auto halve = [](int16_t& v) { v = static_cast<int16_t>(v / 2); };
    for (auto& side : modern->history.quiet)
        for (auto& from : side)
            for (int16_t& v : from) halve(v);
    for (auto& piece : modern->history.continuation)
        for (auto& to : piece)
            for (auto& piece2 : to)
                for (int16_t& v : piece2) halve(v);
}

void Search::forgetHistory() {
    if (modern) modern->history.clear();
}

int Search::modernRoot(int alpha, int beta, int depth) {
    FM_ASSERT(isWindow(alpha, beta) && depth >= 1);
    PlyRecord& root = ply(0);
    const ModernParams& p = modernParams;
    const int age = nodeAge();
    stats.selDepth = iteration;
    ModernPly& here = modern->at(0);
    here.staticEval = here.rawEval = NO_EVAL;
    if (!top().inCheck) here.staticEval = correctedEvaluation(here.rawEval);
    int best = -INFINITE_SCORE, bound = HASH_UPPER;
    // The moves before rootFirst are the earlier lines'.
    for (int i = rootFirst; i < root.moveCount; ++i) {
        const Move m = root.moves[i];
        rootMoveIndex = i;
        reportProgress(i);
        here.continuation = continuationRow(m);
        pos.pushMove(m);
        const uint64_t nodesBefore = stats.nodes;
        ++stats.nodes;
        const int newDepth = depth - 1;
        int score;
        if (i == rootFirst) {
            score = -modernSearch(-beta, -alpha, newDepth, false);
        } else {
            // Late quiet moves are searched a little shallower first.
            int reduction = 0;
            if (p.useReductions && depth >= p.reductionMinDepth && i - rootFirst >= 3 && !isCapture(m) &&
                !isPromotion(m) && !top().inCheck)
                reduction = std::clamp(modern->reductions[std::min(depth, 63)][std::min(i + 1, 63)] - 1, 0,
                                       newDepth - 1);
            score = -modernSearch(-alpha - 1, -alpha, newDepth - reduction, true);
            if (score > alpha && reduction > 0 && !searchAborted)
                score = -modernSearch(-alpha - 1, -alpha, newDepth, true);
            if (score > alpha && score < beta && !searchAborted)
                score = -modernSearch(-beta, -alpha, newDepth, false);
        }
        pos.popMove();
        if (searchAborted) return 0;

        root.orderScores[i] = subtreeOrderScore(stats.nodes - nodesBefore);
        if (score > best) {
            best = score;
            if (i == rootFirst || score > alpha) {
                root.bestMove = m;
                extendPV(0, m);
                reportLine(score);
            }
        }
        if (i == rootFirst && score <= alpha) return score;
        if (score > alpha) {
            rootScore = score;
            if (score >= beta) {
                if (rootFirst == 0) hashTable.store(nodeKey(), {depth, 0, HASH_LOWER, score, m, 0, age});
                return score;
            }
            alpha = score;
            bound = HASH_EXACT;
        }
    }
    if (bound == HASH_EXACT && rootFirst == 0)
        hashTable.store(nodeKey(), {depth, 0, HASH_EXACT, alpha, root.bestMove, 0, age});
    return best;
}

void Search::deepenModern() {
    const ModernParams& p = modernParams;
    PlyRecord& root = ply(0);
    Move lastBest = root.bestMove;
    int stableIterations = 0;
    int previousScore = rootScore;
    do {
        iteration = listener->nextIteration(*this, iteration + 1);
        if (helpers) helpers->mainIterationStarts(iteration);
        failLowCount = failHighCount = 0;
        int delta = p.aspirationDelta;
        int alpha = -INFINITE_SCORE, beta = INFINITE_SCORE;
        if (p.useAspiration && iteration >= p.aspirationMinDepth) {
            alpha = std::max(rootScore - delta, -INFINITE_SCORE);
            beta = std::min(rootScore + delta, INFINITE_SCORE);
        }
        for (;;) {
            rootAlpha = alpha;
            rootBeta = beta;
            const int score = modernRoot(alpha, beta, iteration);
            if (searchAborted) break;
            const int front = rootIndexOf(root.bestMove);
            if (front >= 0) root.orderScores[front] = FRONT_BONUS;
            sortRootMoves();
            if (score <= alpha) {
                beta = (alpha + beta) / 2;
                alpha = std::max(score - delta, -INFINITE_SCORE);
                ++failLowCount;
            } else if (score >= beta) {
                beta = std::min(score + delta, INFINITE_SCORE);
                ++failHighCount;
            } else {
                break;
            }
            delta += delta / 2;
        }
        if (searchAborted) break;
        if (lineCount > 1) {
            searchOtherLines(iteration * 8);
            if (searchAborted) break;
        }
        reportLines();
        completedIteration = iteration;
        listener->iterationCompleted(*this);
        // A mate found is not known to be the shortest (the search prunes): the
        // deepening goes on, and the clock or the depth limit ends it.
        stableIterations = sameMove(root.bestMove, lastBest) ? stableIterations + 1 : 0;
        lastBest = root.bestMove;
        if (enoughTimeSpent(stableIterations, previousScore - rootScore)) break;
        previousScore = rootScore;
    } while (iteration < depthLimit());
}

// Clock play: time for the next iteration? The soft limit shrinks while the
// best move stays and grows when it changes or the score drops; an iteration
// is not begun when it would likely run past the limit.
bool Search::enoughTimeSpent(int stableIterations, int scoreDrop) const {
    if (time.mode != TimeMode::Clock || modes.analyze || modes.pondering || !modernParams.useTimeManagement)
        return false;
    int percent = stableIterations >= 4 ? 60 : stableIterations >= 2 ? 80 : stableIterations == 0 ? 140 : 100;
    if (scoreDrop > 20) percent += std::min(scoreDrop, 120);
    const int64_t limit = int64_t{time.moveTimeMs} * percent / 100;
    const int64_t elapsed = wallClockMs() - startTime;
    return elapsed >= limit * 55 / 100;
}

// The modern profile's allowance: the clock shared over the moves still to
// play (as if `timeMovesToGo` when nobody says), with most of the increment;
// the hard limit is a few allowances, and never more than a share of the clock.
void Search::allocateModernTime(int plies) {
    const ModernParams& p = modernParams;
    const int64_t clock = usableClockMs();
    int64_t movesLeft = p.timeMovesToGo;
    if (time.movesToGo > 0)
        movesLeft = std::min<int64_t>(time.movesToGo, movesLeft);
    else if (time.movesPerControl > 0)
        movesLeft = std::min<int64_t>(time.movesPerControl - ((plies / 2) % time.movesPerControl), movesLeft);
    movesLeft = std::max<int64_t>(movesLeft, 1);
    int64_t soft = clock / movesLeft + int64_t{time.incrementMs} * p.timeIncrementShare / 100;
    if (modes.ponderSearch) soft /= 3;
    const int64_t hard = std::min(soft * p.timeHardFactor, clock * p.timeHardClockShare / 100);
    soft = std::min(soft, hard);
    time.moveTimeMs = static_cast<int32_t>(std::clamp<int64_t>(soft, 0, INT32_MAX));
    hardLimitMs = std::clamp<int64_t>(hard, 0, INT32_MAX);
}
