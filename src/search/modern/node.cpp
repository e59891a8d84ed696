// The alpha-beta node of the modern profile: principal-variation search in
// whole plies with the pruning, reductions and extensions of current engines,
// each behind its switch in ModernParams. Laid out in numbered steps.
#include <algorithm>

#include "board/see.h"
#include "egtb/tablebases.h"
#include "eval/evaluator.h"
#include "search/depth.h"
#include "search/modern/picker.h"
#include "search/modern/state.h"
#include "search/search.h"

namespace {

inline bool isQuiet(Move m) { return !isCapture(m) && !isPromotion(m); }

// A table score that bounds the search's score from the side the window needs.
inline bool tableCuts(const TableEntry& tt, int alpha, int beta) {
    return tt.bound == HASH_EXACT || (tt.bound == HASH_LOWER && tt.score >= beta) ||
           (tt.bound == HASH_UPPER && tt.score <= alpha);
}

inline bool isMateScore(int score) { return score >= MATE_THRESHOLD || score <= -MATE_THRESHOLD; }

} // namespace

int Search::staticEvaluation() {
    int score = 0;
    if (board.recognizersApply() && eval.recognize(board, score)) return score;
    return eval.evaluate(board);
}

// The correction entry of the opponent's last move, or null after a null
// move, at the start of a game or with the switch off.
int32_t* Search::moveCorrectionEntry() {
    if (!modernParams.useMoveCorrection || pos.gamePly < 1) return nullptr;
    const Move last = pos.history[pos.gamePly - 1].move;
    if (last == NO_MOVE) return nullptr;
    return &modern->history.moveCorrection[board.side][colouredPiece(board.side ^ 1, movePiece(last))]
                                          [square64(moveTo(last))];
}

// The static evaluation moved by the correction histories of its pawn
// structure and of the last move; `rawEval` receives the evaluation before
// the correction, or NO_EVAL when a recognizer scored the position (that
// score stays as it is).
int Search::correctedEvaluation(int& rawEval) {
    int score = 0;
    rawEval = NO_EVAL;
    if (board.recognizersApply() && eval.recognize(board, score)) return score;
    score = rawEval = eval.evaluate(board);
    if (!modernParams.useCorrectionHistory || isMateScore(score)) return score;
    int correction = correctionEntry(modern->history, board.side, board.pawnKey);
    if (const int32_t* entry = moveCorrectionEntry())
        correction += *entry * modernParams.moveCorrectionPercent / 100;
    return std::clamp(score + correction / CORRECTION_GRAIN, -MATE_THRESHOLD + 1, MATE_THRESHOLD - 1);
}

// After a search of a node not in check whose best move was quiet (a capture
// changes the evaluation for reasons that are not the evaluation's error):
// the correction of its pawn structure moves towards the search's score less
// the evaluation, and that of the last move towards what the first leaves,
// when the bound says on which side the true score lies.
void Search::rememberEvaluationError(int depth, int best, int bound) {
    const ModernParams& p = modernParams;
    const ModernPly& here = modern->at(pos.searchPly);
    if (!p.useCorrectionHistory || here.rawEval == NO_EVAL || isMateScore(best)) return;
    if ((bound == HASH_LOWER && best <= here.staticEval) || (bound == HASH_UPPER && best >= here.staticEval))
        return;
    const int error = std::clamp(best - here.rawEval, -2 * p.correctionLimit, 2 * p.correctionLimit);
    const int weight = std::min(depth + 1, p.correctionWeightMax);
    int32_t& pawnEntry = correctionEntry(modern->history, board.side, board.pawnKey);
    const int residual = error - pawnEntry / CORRECTION_GRAIN;
    updateCorrection(pawnEntry, error, weight, p.correctionLimit);
    if (int32_t* entry = moveCorrectionEntry()) updateCorrection(*entry, residual, weight, p.correctionLimit);
}

// The continuation-history row of a move about to be played by the side to move.
int16_t (*Search::continuationRow(Move m))[64] {
    return modern->history.continuation[colouredPiece(board.side, movePiece(m))][square64(moveTo(m))];
}

int Search::modernSearch(int alpha, int beta, int depth, bool cutNode) {
    // 1. The horizon.
    if (depth <= 0) return modernQuiescence(alpha, beta, modernParams.useQuiescenceChecks);
    FM_ASSERT(isWindow(alpha, beta));
    FM_ASSERT(pos.searchPly > 0 && pos.searchPly < MAX_PLY);
    const ModernParams& p = modernParams;
    const bool pvNode = beta - alpha > 1;
    const int plyIndex = pos.searchPly;
    PlyRecord& r = currentPly();
    ModernPly& here = modern->at(plyIndex);
    const Move excluded = here.excluded;

    // 2. Node set-up, input and clock.
    r.bestMove = NO_MOVE;
    r.pvEnd = plyIndex;
    if (plyIndex + 2 < MAX_PLY) ply(plyIndex + 2).killer1 = ply(plyIndex + 2).killer2 = NO_MOVE;
    if (stopAtPoll()) return 0;
    if (stats.selDepth < plyIndex) stats.selDepth = plyIndex;
    const bool inCheck = top().inCheck != 0;

    // 3. Draws, the end of the ply stack, and mate distance.
    if (pos.isRepetition() || top().fifty >= 100) return 0;
    if (plyIndex >= MAX_PLY - 1) return inCheck ? 0 : staticEvaluation();
    alpha = std::max(alpha, plyIndex - MATE_SCORE);
    beta = std::min(beta, MATE_SCORE - plyIndex - 1);
    if (alpha >= beta) return alpha;

    // 4. The transposition table: outside the principal variation a stored
    // bound that decides the window ends the node.
    const TableEntry tt = excluded ? TableEntry{} : hashTable.lookup(nodeKey(), plyIndex);
    const Move ttMove = tt.found && tt.move != NO_MOVE && board.isPseudoLegal(tt.move) ? tt.move : NO_MOVE;
    if (!pvNode && tt.found && tt.depth >= depth && tableCuts(tt, alpha, beta)) {
        if (ttMove != NO_MOVE && isQuiet(ttMove) && tt.score >= beta)
            rememberQuietCutoff(r, ttMove, depth, nullptr, 0);
        return tt.score;
    }

    // 5. Endgame tablebases, near the root or right after a capture or promotion.
    int tablebaseScore = 0;
    if (!excluded && tablebaseKnows(depth * ONE_PLY, plyIndex, tablebaseScore)) return tablebaseScore;

    // 6. The static evaluation, sharpened by a stored bound.
    int nodeEval = NO_EVAL;
    if (inCheck) {
        here.staticEval = here.rawEval = NO_EVAL;
    } else if (excluded) {
        nodeEval = here.staticEval;
    } else {
        nodeEval = here.staticEval = correctedEvaluation(here.rawEval);
        if (tt.found && !isMateScore(tt.score) &&
            (tt.bound == HASH_EXACT || (tt.bound == HASH_LOWER && tt.score > nodeEval) ||
             (tt.bound == HASH_UPPER && tt.score < nodeEval)))
            nodeEval = tt.score;
    }
    const bool improving = isImproving(plyIndex);

    // 7-9. Pruning before any move: razoring, reverse futility, null move.
    if (!inCheck && !pvNode && !excluded) {
        int score = 0;
        if (prunedBeforeMoves(alpha, beta, depth, nodeEval, improving, cutNode, score)) return score;
    }

    // 10. Internal iterative reduction: no table move, a shallower search.
    if (p.useIterativeReduction && ttMove == NO_MOVE && depth >= p.iterativeReductionDepth &&
        (pvNode || cutNode))
        --depth;

    // 11. Singular extension: the table move beats every other move by a margin.
    int singularExtension = 0;
    if (p.useSingularExtension && !excluded && ttMove != NO_MOVE && depth >= p.singularDepth &&
        tt.bound != HASH_UPPER && tt.depth >= depth - 3 && !isMateScore(tt.score)) {
        const int singularBeta = tt.score - p.singularMarginPerDepth * depth;
        here.excluded = ttMove;
        const int score = modernSearch(singularBeta - 1, singularBeta, (depth - 1) / 2, cutNode);
        here.excluded = NO_MOVE;
        if (searchAborted) return 0;
        if (score < singularBeta)
            singularExtension = 1;
        else if (singularBeta >= beta)
            return singularBeta; // several moves beat beta: a cut-off whichever is best
    }

    // 12-14. The moves.
    return modernMoves(r, alpha, beta, depth, cutNode, nodeEval, improving, ttMove, singularExtension);
}

bool Search::isImproving(int plyIndex) {
    const ModernPly& here = modern->at(plyIndex);
    if (here.staticEval == NO_EVAL) return false;
    const int twoBack = modern->at(plyIndex - 2).staticEval;
    if (twoBack != NO_EVAL) return here.staticEval > twoBack;
    const int fourBack = plyIndex >= 4 ? modern->at(plyIndex - 4).staticEval : NO_EVAL;
    return fourBack == NO_EVAL || here.staticEval > fourBack;
}

bool Search::prunedBeforeMoves(int alpha, int beta, int depth, int nodeEval, bool improving, bool cutNode,
                               int& score) {
    const ModernParams& p = modernParams;
    // 7. Razoring: far below alpha, only captures can save the node.
    if (p.useRazoring && depth <= p.razorDepth && nodeEval + p.razorMargin * depth < alpha) {
        score = modernQuiescence(alpha - 1, alpha);
        if (searchAborted || score < alpha) return true;
    }
    // 8. Reverse futility: far above beta, the node fails high.
    if (p.useReverseFutility && depth <= p.reverseFutilityDepth && nodeEval < MATE_THRESHOLD &&
        nodeEval - p.reverseFutilityMargin * (depth - (improving ? 1 : 0)) >= beta) {
        score = nodeEval;
        return true;
    }
    // 9. Null move: the side to move passes and is still at beta.
    const bool afterNullMove = pos.gamePly >= 1 && pos.history[pos.gamePly - 1].move == NO_MOVE;
    if (p.useNullMove && depth >= p.nullMinDepth && nodeEval >= beta && !afterNullMove &&
        board.pieceMaterial[board.side] != 0 && beta > -MATE_THRESHOLD) {
        const int reduction = p.nullBaseReduction + depth / p.nullDepthDivisor +
                              std::min((nodeEval - beta) / p.nullEvalDivisor, p.nullEvalReductionMax);
        modern->at(pos.searchPly).continuation = nullptr;
        pos.pushNullMove();
        hashTable.prefetch(keyLow(board.key));
        ++stats.nullTried;
        const int nullScore = -modernSearch(-beta, -beta + 1, depth - reduction, !cutNode);
        pos.popNullMove();
        if (searchAborted) {
            score = 0;
            return true;
        }
        if (nullScore >= beta) {
            ++stats.nullCutoffs;
            score = nullScore >= MATE_THRESHOLD ? beta : nullScore;
            return true;
        }
    }
    return false;
}

// Pruning of one move at low depth, before it is made: late quiet moves,
// quiet moves that cannot raise the evaluation to alpha, and moves that lose
// too much material. Quiet checks are kept from the first two (a check may
// mate where no evaluation reaches alpha); with `exchangePruningSparesChecks`
// so are captures that give check, however much they lose. `history` is the
// quiet move's history score. Sets `skipQuiets` when every later quiet move
// would be pruned too.
bool Search::prunedMove(Move m, int depth, int nodeEval, bool improving, int alpha, int quietsTried,
                        int history, bool& skipQuiets) {
    const ModernParams& p = modernParams;
    if (isQuiet(m)) {
        if (!(m & MOVE_CASTLE) && board.givesCheckBeforeMove(m)) {
            return p.useExchangePruning && depth <= p.exchangePruningDepth &&
                   board.staticExchange(m) < -std::max(1, p.exchangeQuietMargin * depth * depth / 4);
        }
        const int lateLimit = (p.lateMoveBase + depth * depth) / (improving ? 1 : 2);
        if (p.useLateMovePruning && depth <= p.lateMoveDepth && quietsTried >= lateLimit) {
            skipQuiets = true;
            return true;
        }
        if (p.useFutility && nodeEval != NO_EVAL && depth <= p.futilityDepth &&
            nodeEval + p.futilityBase + p.futilityPerDepth * depth <= alpha) {
            skipQuiets = true;
            return true;
        }
        if (p.useHistoryPruning && depth <= p.historyPruningDepth &&
            history < -p.historyPruningMargin * depth)
            return true;
        if (p.useExchangePruning && depth <= p.exchangePruningDepth &&
            board.staticExchange(m) < -std::max(1, p.exchangeQuietMargin * depth * depth / 4))
            return true;
    } else if (p.useExchangePruning && depth <= p.exchangePruningDepth &&
               board.staticExchange(m) < -p.exchangeCaptureMargin * depth) {
        // A capture that gives check may be a sacrifice that mates; it is kept.
        return !(p.exchangePruningSparesChecks && !(m & (MOVE_EN_PASSANT | MOVE_PROMOTION)) &&
                 board.givesCheckBeforeMove(m));
    }
    return false;
}

int Search::modernMoves(PlyRecord& r, int alpha, int beta, int depth, bool cutNode, int nodeEval,
                        bool improving, Move ttMove, int singularExtension) {
    const ModernParams& p = modernParams;
    const bool pvNode = beta - alpha > 1;
    const int plyIndex = pos.searchPly;
    const bool inCheck = top().inCheck != 0;
    ModernPly& here = modern->at(plyIndex);
    const Move excluded = here.excluded;
    HistoryTables& h = modern->history;
    const int us = board.side;

    // The counter move answers the opponent's last move; the continuation rows
    // are those of the moves one and two plies back.
    const Move previous = pos.gamePly >= 1 ? pos.history[pos.gamePly - 1].move : NO_MOVE;
    const Move counter =
        p.useCounterMoves && previous != NO_MOVE
            ? h.counter[colouredPiece(us ^ 1, movePiece(previous))][square64(moveTo(previous))]
            : NO_MOVE;
    const int16_t(*rows[2])[64] = {nullptr, nullptr};
    if (p.useContinuationHistory) {
        rows[0] = modern->at(plyIndex - 1).continuation;
        rows[1] = modern->at(plyIndex - 2).continuation;
    }
    ModernPicker picker(pos, r, h, ModernPicker::Kind::Main, ttMove, r.killer1, r.killer2, counter, rows);
    const bool tableMoveCaptures = ttMove != NO_MOVE && !isQuiet(ttMove);

    int best = -INFINITE_SCORE, bound = HASH_UPPER, legalMoves = 0;
    Move bestMove = NO_MOVE;
    Move quiets[64], captures[32];
    int quietCount = 0, captureCount = 0;
    bool skipQuiets = false;
    for (Move m; (m = picker.next(skipQuiets)) != NO_MOVE;) {
        if (sameMove(m, excluded) || moveCaptured(m) == KING) continue;
        if (!inCheck && board.leavesKingInCheck(m, 0)) continue;
        const bool quiet = isQuiet(m);
        const int history = quiet ? quietHistory(m, rows) : 0;

        // 12. Pruning at low depth, once a move has been searched and no mate is near.
        if (legalMoves > 0 && best > -MATE_THRESHOLD &&
            prunedMove(m, depth, inCheck ? NO_EVAL : nodeEval, improving, alpha, quietCount, history,
                       skipQuiets))
            continue;

        // 13. Extensions: the singular table move, and checks that lose nothing.
        const int exchange = p.useCheckExtension ? board.staticExchange(m) : 0;
        here.continuation = continuationRow(m);
        pos.pushMove(m);
        hashTable.prefetch(keyLow(board.key));
        eval.prefetch(board);
        ++legalMoves;
        ++stats.nodes;
        int extension = sameMove(m, ttMove) ? singularExtension : 0;
        if (extension == 0 && p.useCheckExtension && top().inCheck && exchange >= 0 &&
            plyIndex < 2 * iteration) {
            extension = 1;
            ++stats.checkExt;
        }
        const int newDepth = depth - 1 + extension;

        // 14. Late-move reductions, then the principal-variation search.
        int score = 0;
        if (p.useReductions && depth >= p.reductionMinDepth && legalMoves > 1 + (pvNode ? 1 : 0) &&
            (quiet || picker.inBadCaptures())) {
            int reduction = modern->reductions[std::min(depth, 63)][std::min(legalMoves, 63)];
            if (pvNode) --reduction;
            if (!improving) ++reduction;
            if (cutNode) ++reduction;
            if (top().inCheck) --reduction;
            if (quiet) {
                if (sameMove(m, r.killer1) || sameMove(m, r.killer2) || sameMove(m, counter)) --reduction;
                if (p.reduceMoreAfterTableCapture && tableMoveCaptures) ++reduction;
                reduction -= history / p.reductionHistoryDivisor;
            }
            reduction = std::clamp(reduction, 0, newDepth - 1);
            if (reduction > 0) ++stats.reductions;
            score = -modernSearch(-alpha - 1, -alpha, newDepth - reduction, true);
            if (score > alpha && reduction > 0 && !searchAborted)
                score = -modernSearch(-alpha - 1, -alpha, newDepth, !cutNode);
        } else if (!pvNode || legalMoves > 1) {
            score = -modernSearch(-alpha - 1, -alpha, newDepth, !cutNode);
        }
        if (pvNode && (legalMoves == 1 || (score > alpha && score < beta)) && !searchAborted)
            score = -modernSearch(-beta, -alpha, newDepth, false);
        pos.popMove();
        if (searchAborted) return 0;

        if (score > best) {
            best = score;
            r.bestMove = m;
            if (score > alpha) {
                bestMove = m;
                if (pvNode && score < beta) extendPV(plyIndex, m);
                if (score >= beta) {
                    if (legalMoves == 1) ++stats.firstMoveCutoffs;
                    ++stats.cutoffs;
                    break;
                }
                alpha = score;
                bound = HASH_EXACT;
            }
        }
        if (!sameMove(m, bestMove)) {
            if (quiet && quietCount < 64) quiets[quietCount++] = m;
            if (!quiet && captureCount < 32) captures[captureCount++] = m;
        }
    }

    // No legal move: mate or stalemate (or, in a singular search, nothing beside the table move).
    if (legalMoves == 0) return excluded ? alpha : inCheck ? -(MATE_SCORE - plyIndex) : 0;

    // The move that cut off is remembered, the moves tried before it are not.
    if (best >= beta) {
        if (isQuiet(bestMove))
            rememberQuietCutoff(r, bestMove, depth, quiets, quietCount);
        else
            rememberCapture(bestMove, depth, true);
        for (int i = 0; i < captureCount; ++i) rememberCapture(captures[i], depth, false);
        bound = HASH_LOWER;
    }
    if (!excluded && !inCheck && (bestMove == NO_MOVE || isQuiet(bestMove)))
        rememberEvaluationError(depth, best, bound);
    if (!excluded && storesInTable())
        hashTable.store(nodeKey(), {depth, plyIndex, bound, best, bestMove != NO_MOVE ? bestMove : r.bestMove,
                                    0, nodeAge()});
    return best;
}

int Search::quietHistory(Move m, const int16_t (*const rows[2])[64]) const {
    const int us = board.side;
    const int piece = colouredPiece(us, movePiece(m)), to = square64(moveTo(m));
    int score = modern->history.quiet[us][square64(moveFrom(m))][to];
    for (int i = 0; i < 2; ++i)
        if (rows[i]) score += rows[i][piece][to];
    return score;
}

int Search::historyBonus(int depth) const {
    return std::min(depth * depth * 16 + depth * 32, modernParams.historyBonusMax);
}

void Search::rememberQuietCutoff(PlyRecord& r, Move best, int depth, const Move* tried, int triedCount) {
    const ModernParams& p = modernParams;
    HistoryTables& h = modern->history;
    const int us = board.side, plyIndex = pos.searchPly;
    const int bonus = historyBonus(depth);
    auto update = [&](Move m, int amount) {
        const int piece = colouredPiece(us, movePiece(m)), to = square64(moveTo(m));
        updateHistory(h.quiet[us][square64(moveFrom(m))][to], amount, p.historyLimit);
        if (!p.useContinuationHistory) return;
        for (int back = 1; back <= 2; ++back) {
            int16_t(*row)[64] = modern->at(plyIndex - back).continuation;
            if (row) updateHistory(row[piece][to], amount, p.historyLimit);
        }
    };
    update(best, bonus);
    for (int i = 0; i < triedCount; ++i) update(tried[i], -bonus);
    if (!sameMove(best, r.killer1)) {
        r.killer2 = r.killer1;
        r.killer1 = best;
    }
    const Move previous = pos.gamePly >= 1 ? pos.history[pos.gamePly - 1].move : NO_MOVE;
    if (p.useCounterMoves && previous != NO_MOVE)
        h.counter[colouredPiece(us ^ 1, movePiece(previous))][square64(moveTo(previous))] = best;
}

void Search::rememberCapture(Move m, int depth, bool good) {
    const int bonus = historyBonus(depth);
    const int victim = isCapture(m) ? moveCaptured(m) : 0;
    updateHistory(
        modern->history.capture[colouredPiece(board.side, movePiece(m))][square64(moveTo(m))][victim],
        good ? bonus : -bonus, modernParams.historyLimit);
}
