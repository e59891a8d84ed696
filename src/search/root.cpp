// The root search: principal-variation search over the root list, with the node
// count of every root move kept as its ordering score for the next iteration.
#include <cstdint>

#include "search/depth.h"
#include "search/search.h"

int Search::rootIndexOf(Move move) const {
    const PlyRecord& root = ply(0);
    for (int i = 0; i < root.moveCount; ++i) {
        if (sameMove(root.moves[i], move)) return i;
    }
    return -1;
}

int Search::rootSearch(int alpha, int beta, int depth) {
    FM_ASSERT(isWindow(alpha, beta) && depth >= 0);
    // 1. Set-up.
    PlyRecord& root = ply(0);
    const int age = (pos.gamePly >> 1) & 15;
    stats.selDepth = iteration;
    int best = -INFINITE_SCORE;
    int bound = HASH_UPPER;

    // 2. A stored result of enough depth ends the iteration at once. Its move
    // must be one of the legal root moves.
    const TableProbe probe = hashTable.probe(nodeKey(), {wholePlies(depth), 0, alpha, beta, 2});
    const int hashScore = probe.score, probeResult = probe.result;
    const Move hashMove = probe.move;
    root.hashMove = NO_MOVE;
    // The stored result is the first line's: the later lines search.
    if (hashMove != NO_MOVE && board.isPseudoLegal(hashMove)) {
        const int index = rootIndexOf(hashMove);
        if (index >= 0) {
            root.hashMove = root.moves[index];
            if (probeResult >= HASH_EXACT && rootFirst == 0) {
                root.bestMove = root.hashMove;
                if (probeResult == HASH_EXACT) {
                    root.pv[0] = root.hashMove;
                    root.pvEnd = 1;
                }
                rootScore = hashScore;
                reportLine(hashScore);
                return hashScore;
            }
        }
    }

    // 3. Every root move in list order (but the earlier lines').
    for (int i = rootFirst; i < root.moveCount; ++i) {
        const Move m = root.moves[i];
        rootMoveIndex = i;
        reportProgress(i);
        pos.pushMove(m);
        computeExtension(m, i);
        const uint64_t nodesBefore = stats.nodes;
        ++stats.nodes;
        const int d = depth - ONE_PLY + currentPly().extension;
        int score;
        if (i == rootFirst) {
            score = -search(-beta, -alpha, d, true);
        } else {
            score = -search(-alpha - 1, -alpha, d, true);
            if (score > alpha && score < beta && !searchAborted) score = -search(-beta, -alpha, d, true);
        }
        pos.popMove();
        if (searchAborted) return 0;

        root.orderScores[i] = subtreeOrderScore(stats.nodes - nodesBefore);

        if (score > best) {
            best = score;
            root.bestMove = m;
            extendPV(0, m);
            reportLine(score);
        }
        if (i == rootFirst && score <= alpha) return score;
        if (i == rootFirst || score > alpha) {
            rootScore = score;
            if (score >= beta) {
                if (rootFirst == 0)
                    hashTable.store(nodeKey(), {wholePlies(depth), 0, HASH_LOWER, score, m, 0, age});
                return score;
            }
            alpha = score;
            bound = HASH_EXACT;
        }
    }

    // 4. An exact result is stored for the next search of this position (a
    // later line's is not the position's).
    if (bound == HASH_EXACT && rootFirst == 0)
        hashTable.store(nodeKey(), {wholePlies(depth), 0, HASH_EXACT, alpha, root.bestMove, 0, age});
    return best;
}
