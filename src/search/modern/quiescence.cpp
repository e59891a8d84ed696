// The quiescence search of the modern profile: stand pat on the static
// evaluation, then captures and queen promotions that do not lose material
// and can still reach alpha (on the first ply also quiet checks that lose
// nothing); every evasion when in check.
#include <algorithm>

#include "board/see.h"
#include "eval/evaluator.h"
#include "search/modern/picker.h"
#include "search/modern/state.h"
#include "search/search.h"

int Search::modernQuiescence(int alpha, int beta, bool withChecks) {
    FM_ASSERT(isWindow(alpha, beta));
    FM_ASSERT(pos.searchPly > 0 && pos.searchPly < MAX_PLY);
    const ModernParams& p = modernParams;
    const bool pvNode = beta - alpha > 1;
    const int plyIndex = pos.searchPly;
    PlyRecord& r = currentPly();

    // 1. Node set-up, input and clock, draws, the end of the ply stack.
    r.bestMove = NO_MOVE;
    r.pvEnd = plyIndex;
    if (stopAtPoll()) return 0;
    if (stats.selDepth < plyIndex) stats.selDepth = plyIndex;
    if (pos.isRepetition() || top().fifty >= 100) return 0;
    const bool inCheck = top().inCheck != 0;
    if (plyIndex >= MAX_PLY - 1) return inCheck ? 0 : staticEvaluation();

    // 2. The transposition table.
    const TableEntry tt = hashTable.lookup(nodeKey(), plyIndex);
    if (!pvNode && tt.found &&
        (tt.bound == HASH_EXACT || (tt.bound == HASH_LOWER && tt.score >= beta) ||
         (tt.bound == HASH_UPPER && tt.score <= alpha)))
        return tt.score;

    // 3. Stand pat, unless in check.
    int best = -INFINITE_SCORE, stand = 0;
    if (!inCheck) {
        int rawEval = 0;
        stand = best = correctedEvaluation(rawEval);
        if (stand >= beta) return stand;
        alpha = std::max(alpha, stand);
    }

    // 4. The moves.
    const int16_t(*rows[2])[64] = {nullptr, nullptr};
    const Move ttMove = tt.found ? tt.move : NO_MOVE;
    const auto kind = withChecks ? ModernPicker::Kind::QuiescenceWithChecks : ModernPicker::Kind::Quiescence;
    ModernPicker picker(pos, r, modern->history, kind, ttMove, NO_MOVE, NO_MOVE, NO_MOVE, rows);
    const int originalAlpha = alpha;
    int legalMoves = 0;
    Move bestMove = NO_MOVE;
    for (Move m; (m = picker.next(false)) != NO_MOVE;) {
        if (moveCaptured(m) == KING) continue;
        if (!inCheck) {
            if (board.leavesKingInCheck(m, 0)) continue;
            if (p.useQuiescenceExchange && board.staticExchange(m) < 0) continue;
            if (p.useDeltaPruning && isCapture(m) && !isPromotion(m) &&
                stand + 100 * EXCHANGE_VALUE[moveCaptured(m)] + p.deltaMargin < alpha)
                continue;
        }
        modern->at(plyIndex).continuation = continuationRow(m);
        pos.pushMove(m);
        hashTable.prefetch(keyLow(board.key));
        eval.prefetch(board);
        ++legalMoves;
        ++stats.nodes;
        ++stats.qnodes;
        const int score = -modernQuiescence(-beta, -alpha);
        pos.popMove();
        if (searchAborted) return 0;
        if (score > best) {
            best = score;
            if (score > alpha) {
                bestMove = r.bestMove = m;
                if (pvNode && score < beta) extendPV(plyIndex, m);
                if (score >= beta) break;
                alpha = score;
            }
        }
    }
    if (inCheck && legalMoves == 0) return -(MATE_SCORE - plyIndex);

    const int bound = best >= beta ? HASH_LOWER : best > originalAlpha ? HASH_EXACT : HASH_UPPER;
    if (storesInTable()) hashTable.store(nodeKey(), {0, plyIndex, bound, best, bestMove, 0, nodeAge()});
    return best;
}
