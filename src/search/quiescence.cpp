// The quiescence search: stand pat on the static evaluation (or a lazy estimate),
// then captures and promotions that do not lose material, all evasions in check,
// and on the first ply also checking moves.
#include "eval/evaluator.h"
#include "search/search.h"
#include "search/selectbest.h"

namespace {

constexpr int LAZY_MARGIN = 50;
constexpr int DROPPED = -10000;

// Exchange values order the list; losing moves are dropped unless in check.
// Non-losing captures and promotions rank above quiet checks of value 0.
void scoreQuiescenceMoves(const Board& board, SearchStats& stats, PlyRecord& r, bool inCheck) {
    for (int i = 0; i < r.moveCount; ++i) {
        const Move m = r.moves[i];
        const int value = board.staticExchange(m);
        if (inCheck) {
            r.orderScores[i] = value;
        } else if (value < 0) {
            r.moves[i] = NO_MOVE;
            r.orderScores[i] = DROPPED;
            ++stats.seePruned;
        } else {
            r.orderScores[i] = (isCapture(m) || isPromotion(m)) ? value + 1 : value;
        }
    }
}

} // namespace

int Search::quiescence(int alpha, int beta, int qdepth) {
    // 1. Node set-up.
    FM_ASSERT(isWindow(alpha, beta));
    FM_ASSERT(pos.searchPly >= 0 && pos.searchPly < MAX_PLY);
    if (stopAtPoll()) return 0;
    const int plyIndex = pos.searchPly;
    PlyRecord& r = currentPly();
    const PlyRecord& parent = ply(plyIndex - 1);
    r.pvEnd = plyIndex;
    r.bestMove = NO_MOVE;
    r.evalInfo[0] = r.evalInfo[1] = r.evalInfo[2] = 0;
    r.evaluated = 0;
    if (stats.selDepth < plyIndex) stats.selDepth = plyIndex;

    // 2. Draws, on the plies that also try checks.
    if (qdepth != 0 && (pos.isRepetition() || top().fifty >= 100)) return 0;

    // 3-4. Stand pat, unless in check.
    const bool inCheck = top().inCheck != 0;
    int best = -INFINITE_SCORE;
    if (!inCheck) {
        const int mb = board.materialBalance();
        const int pb = parent.materialBalance - parent.staticEval;
        r.materialBalance = mb;
        int stand = 0;
        bool standing = false;
        if (board.recognizersApply() && eval.recognize(board, stand)) {
            standing = true;
        } else if (parent.evaluated == 1 && qdepth == 0 && parent.evalInfo[0] == 0 &&
                   (board.pieceMaterial[WHITE] != 0 || board.pieceMaterial[BLACK] != 0)) {
            if (mb + pb - LAZY_MARGIN > beta) {
                stand = mb + pb - LAZY_MARGIN;
                standing = true;
            } else if (mb + pb + LAZY_MARGIN < alpha) {
                stand = mb + pb + LAZY_MARGIN;
                standing = true;
            }
            if (standing) ++stats.lazy;
        }
        if (!standing) {
            stand = eval.evaluate(board);
            r.evalInfo[0] = eval.evalInfo()[0];
            r.evalInfo[1] = eval.evalInfo()[1];
            r.evalInfo[2] = eval.evalInfo()[2];
            r.evaluated = 1;
        }
        r.staticEval = stand;
        best = stand;
        if (stand > alpha) {
            if (stand >= beta) return stand;
            alpha = stand;
        }
    }

    // 5. The end of the ply stack.
    if (plyIndex >= MAX_PLY - 1) return board.materialBalance();

    // 6. Generate.
    r.moveCount = 0;
    if (inCheck) {
        board.generateEvasions(r.moves, r.moveCount);
        if (r.moveCount == 0) return plyIndex - MATE_SCORE;
    } else if (qdepth != 0) {
        board.generateChecksAndCaptures(r.moves, r.moveCount);
    } else {
        board.generateCaptures(r.moves, r.moveCount);
    }

    // 7. Score by exchange value.
    scoreQuiescenceMoves(board, stats, r, inCheck);

    // 8. Search, best first while the selected moves still gain something.
    bool selecting = true;
    NodeResult node;
    node.best = best;
    for (int i = 0; i < r.moveCount; ++i) {
        if (selecting) {
            selectBest(r.moves, r.orderScores, i, r.moveCount);
            if (r.orderScores[i] < 1) selecting = false;
        }
        const Move m = r.moves[i];
        if (m == NO_MOVE || moveCaptured(m) == KING || (!inCheck && board.leavesKingInCheck(m, 0))) continue;

        pos.pushMove(m);
        eval.prefetch(board);
        int extension = 0;
        if (inCheck && pos.searchPly < 2 * iteration && node.movesSearched == 0) {
            if (r.moveCount == 1) {
                extension = 6;
                ++stats.force1Ext;
            } else if (r.moveCount == 2 && r.orderScores[1] <= -100) {
                extension = 3;
                ++stats.force2Ext;
            }
        }
        ++stats.nodes;
        ++stats.qnodes;
        ++node.movesSearched;
        int childDepth = qdepth + extension - 8;
        if (childDepth < 1) childDepth = extension;
        const int score = -quiescence(-beta, -alpha, childDepth);
        pos.popMove();
        if (searchAborted) return 0;

        if (takeScore(r, m, score, alpha, beta, node) == ScoreEffect::CutOff) return score;
    }
    return node.best;
}
