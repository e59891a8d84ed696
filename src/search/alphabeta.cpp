// The principal-variation alpha-beta search below the root. Depths are in
// eighths of a ply; the search is fail-soft.
#include "egtb/tablebases.h"
#include "eval/evaluator.h"
#include "search/busymoves.h"
#include "search/score.h"
#include "search/search.h"

namespace {

constexpr int ONE_PLY = 8;

// A move put off by a node of a multi-core search: its place in the node's
// list and the picker's stage when it came.
struct PutOffMove {
    int16_t index;
    int16_t stage;
};

inline uint32_t keyLow(uint64_t key) { return static_cast<uint32_t>(key); }
inline uint32_t keyHigh(uint64_t key) { return static_cast<uint32_t>(key >> 32); }

// Botvinnik-Markoff: the null move reveals the same threat as two plies ago,
// or a threat that follows the piece which ran from the earlier one.
bool repeatsThreat(const Position& pos, const PlyRecord& node, const PlyRecord& twoBack, int plyIndex) {
    const Square threatTo = moveTo(node.threatMove);
    if (plyIndex >= 2) {
        const Move playedTwoBack = pos.history[pos.gamePly - 2].move;
        if (moveFrom(playedTwoBack) == moveTo(twoBack.threatMove)) return threatTo == moveTo(playedTwoBack);
    }
    return threatTo == moveTo(twoBack.threatMove);
}

} // namespace

int Search::search(int alpha, int beta, int depth, bool nullAllowed) {
    // 1. Node set-up.
    FM_ASSERT(isWindow(alpha, beta));
    FM_ASSERT(pos.searchPly >= 0 && pos.searchPly < MAX_PLY);
    const int plyIndex = pos.searchPly;
    PlyRecord& r = currentPly();
    const int side = board.side;
    const int age = ((pos.gamePly - pos.searchPly) >> 1) & 15;
    r.hashMove = r.bestMove = NO_MOVE;
    r.mateThreat = r.bmThreat = 0;
    r.pvEnd = plyIndex;
    int best = -INFINITE_SCORE;
    int bound = HASH_UPPER;
    int movesSearched = 0;
    int legalMoves = 0;
    const int mb = board.pstScore[side] - board.pstScore[side ^ 1];
    r.endgame = board.castling == 0 && board.pieceMaterial[WHITE] < 15 && board.pieceMaterial[BLACK] < 15;
    r.lowMaterial = board.pieceMaterial[WHITE] < 10 && board.pieceMaterial[BLACK] < 10;

    // 2. Input and clock, every POLL_INTERVAL nodes.
    if (stopAtPoll()) return 0;

    // 3. The horizon.
    if (depth < 1) return quiescence(alpha, beta, ONE_PLY);

    // 4. Null-move reduction.
    const bool fewPieces = board.pieceMaterial[WHITE] < 9 && board.pieceMaterial[BLACK] < 9;
    const int nullReduction = depth > (fewPieces ? 64 : 48) ? 3 : 2;

    // 5. Draws by repetition and by the fifty-move rule.
    if (pos.isRepetition() || top().fifty >= 100) return 0;

    // 6. The end of the ply stack.
    if (plyIndex >= MAX_PLY - 1) return mb;

    // 7. Transposition table.
    int hashScore = 0;
    Move hashMove = NO_MOVE;
    const int probeResult =
        hashTable.probe(side, keyLow(board.key), keyHigh(board.key), depth / ONE_PLY, plyIndex, alpha, beta,
                        nullReduction, hashScore, hashMove, r.mateThreat);
    if (hashMove != NO_MOVE) {
        if (!board.isPseudoLegal(hashMove)) {
            hashMove = NO_MOVE;
        } else if (probeResult >= HASH_EXACT) {
            r.bestMove = hashMove;
            if (probeResult == HASH_EXACT) {
                r.pv[plyIndex] = hashMove;
                r.pvEnd = plyIndex + 1;
            }
            return hashScore;
        }
    }
    r.hashMove = hashMove;

    // 8. Endgame tablebases, near the root or right after a capture or promotion.
    if (options.useTablebases && board.pieceTotal <= tablebaseMenAvailable() && plyIndex <= iteration) {
        const Move previous = pos.gamePly >= 1 ? pos.history[pos.gamePly - 1].move : NO_MOVE;
        if (plyIndex < 3 || isCapture(previous) || isPromotion(previous)) {
            int tablebaseScore = 0;
            if (probeTablebases(board, plyIndex, tablebaseScore)) {
                hashTable.store(side, keyLow(board.key), keyHigh(board.key), depth / ONE_PLY, plyIndex,
                                HASH_EXACT, tablebaseScore, NO_MOVE, 0, age);
                return tablebaseScore;
            }
        }
    }

    // 9. Null move, with mate-threat and repeated-threat detection.
    const HistoryRecord& here = top();
    const bool nullPermitted = !r.mateThreat && probeResult != HASH_AVOID_NULL && nullAllowed;
    if (nullPermitted && !here.inCheck && board.pieceMaterial[side] != 0) {
        pos.pushNullMove();
        hashTable.prefetch(keyLow(board.key));
        currentPly().extension = 0;
        const int score = -search(-beta, -beta + 1, depth - ONE_PLY * nullReduction - ONE_PLY, false);
        pos.popNullMove();
        ++stats.nullTried;
        if (searchAborted) return 0;
        if (score >= beta) {
            ++stats.nullCutoffs;
            hashTable.store(side, keyLow(board.key), keyHigh(board.key), depth / ONE_PLY, plyIndex,
                            HASH_LOWER, score, NO_MOVE, r.mateThreat, age);
            return score;
        }
        const Move childBest = ply(plyIndex + 1).bestMove;
        if (childBest != NO_MOVE) r.threatMove = childBest;
        if (score == plyIndex - (MATE_SCORE - 2)) {
            r.mateThreat = 1;
        } else if (score <= alpha - 300 && depth < 24 && childBest != NO_MOVE) {
            if (repeatsThreat(pos, r, ply(plyIndex - 2), plyIndex)) r.bmThreat = 1;
        }
    }

    // 10. Internal iterative deepening when no move is known.
    if (r.hashMove == NO_MOVE && nullPermitted && depth >= 3 * ONE_PLY) {
        const int32_t mateThreat = r.mateThreat, bmThreat = r.bmThreat;
        search(alpha, beta, depth - 2 * ONE_PLY, true);
        if (searchAborted) return 0;
        r.hashMove = r.bestMove;
        if (mateThreat) r.mateThreat = 1;
        if (bmThreat) r.bmThreat = 1;
    }

    // 11. Else the threat found one ply up, when it can be played here.
    const Move parentThreat = ply(plyIndex - 1).threatMove;
    if (r.hashMove == NO_MOVE && parentThreat != NO_MOVE && board.isPseudoLegal(parentThreat))
        r.hashMove = parentThreat;

    // 12. The moves.
    const bool inCheck = here.inCheck != 0;
    const bool parentInCheck = pos.gamePly >= 1 && pos.history[pos.gamePly - 1].inCheck;
    r.moveCount = r.moveIndex = r.pickStage = 0;
    // In a multi-core search, a move that another thread is searching is put
    // off until this node's other moves are done (never the first).
    BusyMoves* const shared = depth >= BusyMoves::MIN_DEPTH ? busyMoves : nullptr;
    PutOffMove putOff[MAX_MOVES];
    int putOffCount = 0;
    int resumed = 0;
    for (;;) {
        int i = nextMove();
        int stage = r.pickStage;
        const bool resuming = i == -1;
        if (resuming) {
            if (resumed == putOffCount) break;
            i = putOff[resumed].index;
            stage = putOff[resumed].stage;
            ++resumed;
        }
        const Move m = r.moves[i];
        if (!resuming &&
            (m == NO_MOVE || moveCaptured(m) == KING || (!inCheck && board.leavesKingInCheck(m, 0))))
            continue;
        const uint64_t busyKey = shared ? BusyMoves::keyOf(board.key, m) : 0;
        if (shared && !resuming && movesSearched > 0 && shared->isBusy(busyKey)) {
            putOff[putOffCount++] = {static_cast<int16_t>(i), static_cast<int16_t>(stage)};
            continue;
        }
        if (shared) shared->enter(busyKey);

        pos.pushMove(m);
        eval.prefetch(board);
        ++legalMoves;
        computeExtension(m, movesSearched);
        const int childExtension = currentPly().extension;
        int reduction = 0;
        if (options.useReductions && depth >= 25 && childExtension == 0 && !inCheck && !parentInCheck &&
            stage == 4 && i >= 2) {
            reduction = ONE_PLY;
            ++stats.reductions;
        }
        ++stats.nodes;
        ++movesSearched;
        const int d = depth - ONE_PLY + childExtension;
        // The child probes the table unless it goes straight into the quiescence search.
        if (d - reduction >= 1) hashTable.prefetch(keyLow(board.key));
        int score;
        if (bound != HASH_EXACT) {
            if (reduction > 0) {
                score = -search(-beta, -alpha, d - reduction, true);
                if (score > alpha && !searchAborted) score = -search(-beta, -alpha, d, true);
            } else {
                score = -search(-beta, -alpha, d, true);
            }
        } else if (reduction > 0) {
            score = -search(-alpha - 1, -alpha, d - reduction, true);
            if (score > alpha && !searchAborted) score = -search(-beta, -alpha, d, true);
        } else {
            score = -search(-alpha - 1, -alpha, d, true);
            if (score > alpha && score < beta && !searchAborted) score = -search(-beta, -alpha, d, true);
        }
        pos.popMove();
        if (shared) shared->leave(busyKey);
        if (searchAborted) return 0;

        if (score > best) {
            best = score;
            r.bestMove = m;
            if (score > alpha && score < beta) {
                extendPV(plyIndex, m);
            }
        }
        if (score > alpha) {
            if (score >= beta) {
                // 14. Beta cut-off.
                if (movesSearched == 1) ++stats.firstMoveCutoffs;
                ++stats.cutoffs;
                if (!isCapture(m) && !isPromotion(m)) {
                    ++historyCounters[square64(moveFrom(m)) + 64 * square64(moveTo(m))];
                    if (!sameMove(m, r.killer1)) {
                        r.killer2 = r.killer1;
                        r.killer1 = m;
                    }
                }
                hashTable.store(side, keyLow(board.key), keyHigh(board.key), depth / ONE_PLY, plyIndex,
                                HASH_LOWER, score, m, r.mateThreat, age);
                return score;
            }
            alpha = score;
            bound = HASH_EXACT;
        }
    }

    // 13. Mate, stalemate, or the best score found.
    if (legalMoves == 0) return inCheck ? -(MATE_SCORE - plyIndex) : 0;
    hashTable.store(side, keyLow(board.key), keyHigh(board.key), depth / ONE_PLY, plyIndex, bound, best,
                    r.bestMove, r.mateThreat, age);
    return best;
}
