// The search driver: root list, book, time, iterative deepening inside an
// aspiration window, and the statistics after the search.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "egtb/tablebases.h"
#include "eval/evalcache.h"
#include "eval/pawncache.h"
#include "eval/weights.h"
#include "search/score.h"
#include "shell/engine.h"
#include "shell/platform.h"

namespace {

constexpr int ASPIRATION = 50;
constexpr int32_t FRONT_BONUS = 900000000;

int32_t withFrontBonus(int32_t score) {
    const int64_t raised = int64_t{score} + FRONT_BONUS;
    return raised > INT32_MAX ? INT32_MAX : static_cast<int32_t>(raised);
}

double percent(uint32_t part, uint32_t whole) { return whole == 0 ? 0.0 : part * 100.0 / whole; }

// The widening of the window after the n-th failure (n from 0).
int widened(int score, int failures, int direction) {
    if (failures == 0) return score + 200 * direction;
    if (failures == 1) return score + 400 * direction;
    return INFINITE_SCORE * direction;
}

} // namespace

void Engine::sortRootMoves() {
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

void Engine::printStatistics() {
    int64_t elapsed = wallClockMs() - startTime;
    if (elapsed <= 1) elapsed = 1;
    const uint64_t nps = uint64_t{stats.nodes} * 1000 / static_cast<uint64_t>(elapsed);
    const double seconds = elapsed / 1000.0;
    if (xboardMode) {
        std::printf("kibitz depth = %d score = %.2f time = %.2f nps = %llu\n", iteration - 1,
                    rootScore / 100.0, seconds, static_cast<unsigned long long>(nps));
        std::fflush(stdout);
    }
    print("nodes=%u <%.1f%% quisnodes> time=%.2f NPS=%llu\n", stats.nodes,
          stats.qnodes * 100.0 / (stats.nodes > 0 ? stats.nodes : 1), seconds,
          static_cast<unsigned long long>(nps));
    print("TTh=%u TTp=%u <%.1f%%> pTTh=%u pTTp=%u <%.1f%%>\n", hashTable.hits, hashTable.probes,
          percent(hashTable.hits, hashTable.probes), pawnHashTable.hits, pawnHashTable.probes,
          percent(pawnHashTable.hits, pawnHashTable.probes));
    print("egtbh=%u egtbp=%u <%.1f%%> evalh=%u evalp=%u <%.1f%%>\n", tablebaseStats.hits,
          tablebaseStats.probes, percent(tablebaseStats.hits, tablebaseStats.probes), evalCache.hits,
          evalCache.probes, percent(evalCache.hits, evalCache.probes));
    print("lazy=%u see=%u \n", stats.lazy, stats.seePruned);
    print("check=%u threat=%u force1=%u force2=%u\n", stats.checkExt, stats.threatExt, stats.force1Ext,
          stats.force2Ext);
    print("recap=%u pushext=%u bm=%u reductions=%u\n", stats.recapExt, stats.pushExt, stats.bmExt,
          stats.reductions);
    print("nulltried=%u <%.1f%%> ordering=%.2f%%\n", stats.nullTried,
          stats.nullCutoffs * 100.0 / (stats.nullTried > 0 ? stats.nullTried : 1),
          stats.firstMoveCutoffs * 100.0 / (stats.cutoffs > 0 ? stats.cutoffs : 1));
}

// The clock stopped the search while the score was falling: the more it fell,
// the more time the move gets, and a fall of 30 or more searches the
// interrupted depth again. Any fall is worth remembering in the learning store.
void Engine::extendAfterScoreDrop() {
    if (lastScore > rootScore) {
        const int drop = lastScore - rootScore;
        const int factor = drop >= 250   ? 8
                           : drop >= 150 ? 7
                           : drop >= 90  ? 6
                           : drop >= 50  ? 4
                           : drop >= 30  ? 2
                                         : 1;
        const int64_t extended = int64_t{moveTimeMs} * factor;
        moveTimeMs = extended > INT32_MAX ? INT32_MAX : static_cast<int32_t>(extended);
        if (drop >= 30) {
            searchAborted = stopRequested = clockStopped = false;
            --iteration;
        }
        if (useLearn) learnPosition();
    }
    lastScore = rootScore;
}

Move Engine::think() {
    // A position without both kings cannot be searched; nor can a game record
    // without room for a full line of search above it.
    searchPly = 0;
    if (!board.hasBothKings() || gamePly > MAX_GAME_PLY) return NO_MOVE;

    // 1. Clocks, counters and flags.
    rootScore = 0;
    iteration = 0;
    startTime = wallClockMs();
    startCpuTime = cpuClockMs();
    stats = SearchStats{};
    stopRequested = searchAborted = clockStopped = false;
    tablebaseStats.hits = tablebaseStats.probes = 0;
    pawnHashTable.hits = pawnHashTable.probes = 0;
    evalCache.hits = evalCache.probes = 0;
    rootMoveCount = rootMoveIndex = 0;
    allocateTime(gamePly);

    // 2. Killers, threats and history from earlier searches are forgotten.
    for (int p = -2; p < MAX_PLY; ++p) {
        PlyRecord& r = ply(p);
        r.killer1 = r.killer2 = r.bestMove = r.threatMove = NO_MOVE;
    }
    std::memset(historyCounters, 0, sizeof historyCounters);
    board.updateStage();

    // 3. The legal root moves.
    PlyRecord& root = ply(0);
    Move generated[MAX_MOVES];
    int generatedCount = 0;
    generateMoves(generated, generatedCount);
    root.moveCount = 0;
    for (int i = 0; i < generatedCount; ++i) {
        const Move m = generated[i];
        if (moveCaptured(m) == KING) continue;
        pushMove(m);
        const bool legal = !board.leavesKingInCheck(m, 1);
        popMove();
        if (!legal) continue;
        root.moves[root.moveCount] = m;
        root.orderScores[root.moveCount] = 0;
        ++root.moveCount;
    }
    rootMoveCount = root.moveCount;

    // 4. No choice to make.
    if (root.moveCount == 0) return NO_MOVE;
    if (root.moveCount == 1 && !pondering && !analyzeMode) {
        root.bestMove = root.moves[0];
        return root.moves[0];
    }

    // 5. The opening book; its move must be one of the legal moves.
    if (bookExitPly + 6 >= gamePly && useBook && !analyzeMode) {
        const Move book = bookMove();
        const int index = book != NO_MOVE && board.isPseudoLegal(book) ? rootIndexOf(book) : -1;
        if (index >= 0) {
            bookExitPly = gamePly;
            if (postMode != 0 && xboardMode && !analyzeMode && !pondering && !ponderSearch && !quietSearch) {
                std::printf("kibitz bookmove\n");
                std::fflush(stdout);
            }
            root.bestMove = root.moves[index];
            return root.bestMove;
        }
    }

    // 6. Pre-sort by a quiescence search of each move (checks included).
    for (int i = 0; i < root.moveCount; ++i) {
        pushMove(root.moves[i]);
        root.orderScores[i] = -quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
        popMove();
    }
    sortRootMoves();
    const int s0 = root.orderScores[0];

    // 7. One move far ahead of the rest: a plain recapture, or a small gain.
    easyMove = false;
    if (root.moveCount >= 2) {
        const int pawn = pieceValue[PAWN];
        const Move first = root.moves[0];
        const Move last = gamePly >= 1 ? history[gamePly - 1].move : NO_MOVE;
        const bool recapture = last != NO_MOVE && moveTo(first) == moveTo(last) &&
                               pieceValue[moveCaptured(first)] == pieceValue[moveCaptured(last)];
        if (s0 > root.orderScores[1] + 2 * pawn && (recapture || s0 <= pawn)) {
            easyMove = true;
            if (!quietSearch) print("easy move\n");
        }
    }

    // 8-9. Headers.
    if (!quietSearch) {
        if (timeMode != 2 && postMode != 0 && !analyzeMode && !ponderSearch)
            print("stime=%.2f\n", moveTimeMs / 1000.0);
        if (postMode == 1) print(" depth         nodes   score    time  pv\n");
    }

    // 10. The first move stands until the search finds better.
    root.bestMove = root.moves[0];
    root.pv[0] = root.moves[0];
    root.pvEnd = 1;
    rootScore = s0;
    rootAlpha = s0 - ASPIRATION;
    rootBeta = s0 + ASPIRATION;
    root.endgame = board.castling == 0 && board.pieceMaterial[WHITE] < 15 && board.pieceMaterial[BLACK] < 15;
    root.lowMaterial = board.pieceMaterial[WHITE] < 10 && board.pieceMaterial[BLACK] < 10;
    root.mateThreat = root.bmThreat = 0;

    // 11. Iterative deepening.
    do {
        ++iteration;
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
        if (!searchAborted) {
            if (score >= MATE_SCORE - iteration || score <= -(MATE_SCORE - iteration)) break;
            const int front = rootIndexOf(root.bestMove);
            if (front >= 0) root.orderScores[front] = FRONT_BONUS;
            sortRootMoves();
            rootAlpha = rootScore - ASPIRATION;
            rootBeta = rootScore + ASPIRATION;
        } else if (clockStopped && timeMode == 0 && !analyzeMode && !pondering && !ponderSearch) {
            extendAfterScoreDrop();
        }
    } while (!searchAborted && iteration < depthLimit);

    // 12. Statistics.
    if (postMode != 0 && !analyzeMode && !pondering && !ponderSearch && !quietSearch) printStatistics();
    return root.bestMove;
}
