// The principal-variation alpha-beta search below the root. Depths are in
// eighths of a ply; the search is fail-soft. The node is laid out in numbered
// steps, each a function of its own below.
#include "egtb/tablebases.h"
#include "eval/evaluator.h"
#include "search/busymoves.h"
#include "search/depth.h"
#include "search/movepicker.h"
#include "search/search.h"

namespace {

// A move put off by a node of a multi-core search: its place in the node's
// list and the picker's stage when it came.
struct PutOffMove {
    int16_t index;
    int16_t stage;
};

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
    FM_ASSERT(isWindow(alpha, beta));
    FM_ASSERT(pos.searchPly >= 0 && pos.searchPly < MAX_PLY);
    const int plyIndex = pos.searchPly;
    PlyRecord& r = currentPly();

    // 1. Node set-up.
    setUpNode(r, plyIndex);

    // 2. Input and clock, every POLL_INTERVAL nodes.
    if (stopAtPoll()) return 0;

    // 3. The horizon.
    if (depth < 1) return quiescence(alpha, beta, ONE_PLY);

    // 4. Null-move reduction.
    const int nullReduction = nullMoveReduction(depth);

    // 5. Draws by repetition and by the fifty-move rule.
    if (pos.isRepetition() || top().fifty >= 100) return 0;

    // 6. The end of the ply stack.
    if (plyIndex >= MAX_PLY - 1) return board.materialBalance();

    // 7. Transposition table.
    const TableProbe probe =
        hashTable.probe(nodeKey(), {wholePlies(depth), plyIndex, alpha, beta, nullReduction});
    r.mateThreat |= probe.threat;
    if (tableCutsOff(r, probe, plyIndex)) return probe.score;

    // 8. Endgame tablebases, near the root or right after a capture or promotion.
    int tablebaseScore = 0;
    if (tablebaseKnows(depth, plyIndex, tablebaseScore)) return tablebaseScore;

    // 9. Null move, with mate-threat and repeated-threat detection.
    const bool nullPermitted = !r.mateThreat && probe.result != HASH_AVOID_NULL && nullAllowed;
    int nullScore = 0;
    if (nullPermitted && nullMoveEndsNode(r, alpha, beta, depth, nullReduction, nullScore)) return nullScore;

    // 10. Internal iterative deepening when no move is known.
    if (r.hashMove == NO_MOVE && nullPermitted && depth >= 3 * ONE_PLY) {
        deepenForAMove(r, alpha, beta, depth);
        if (searchAborted) return 0;
    }

    // 11. Else the threat found one ply up, when it can be played here.
    const Move parentThreat = ply(plyIndex - 1).threatMove;
    if (r.hashMove == NO_MOVE && parentThreat != NO_MOVE && board.isPseudoLegal(parentThreat))
        r.hashMove = parentThreat;

    // 12-14. The moves, a beta cut-off, or the node's result.
    return searchNodeMoves(r, alpha, beta, depth);
}

void Search::setUpNode(PlyRecord& r, int plyIndex) {
    r.hashMove = r.bestMove = NO_MOVE;
    r.mateThreat = r.bmThreat = 0;
    r.pvEnd = plyIndex;
    r.endgame = board.castling == 0 && board.isEnding();
    r.lowMaterial = board.isLateEnding();
}

int Search::nullMoveReduction(int depth) const {
    const bool fewPieces = board.pieceMaterial[WHITE] < 9 && board.pieceMaterial[BLACK] < 9;
    return depth > (fewPieces ? 64 : 48) ? 3 : 2;
}

// A stored result cuts off only with a move that fits the position (an entry
// without one, or a key collision, gives nothing); otherwise its move is the
// one to try first.
bool Search::tableCutsOff(PlyRecord& r, const TableProbe& probe, int plyIndex) {
    Move hashMove = probe.move;
    if (hashMove != NO_MOVE) {
        if (!board.isPseudoLegal(hashMove)) {
            hashMove = NO_MOVE;
        } else if (probe.result >= HASH_EXACT) {
            r.bestMove = hashMove;
            if (probe.result == HASH_EXACT) {
                r.pv[plyIndex] = hashMove;
                r.pvEnd = plyIndex + 1;
            }
            return true;
        }
    }
    r.hashMove = hashMove;
    return false;
}

bool Search::tablebaseKnows(int depth, int plyIndex, int& score) {
    if (!options.useTablebases || board.pieceTotal > tablebaseMenAvailable() || plyIndex > iteration)
        return false;
    const Move previous = pos.gamePly >= 1 ? pos.history[pos.gamePly - 1].move : NO_MOVE;
    if (plyIndex >= 3 && !isCapture(previous) && !isPromotion(previous)) return false;
    if (!probeTablebases(board, plyIndex, score)) return false;
    hashTable.store(nodeKey(), {wholePlies(depth), plyIndex, HASH_EXACT, score, NO_MOVE, 0, nodeAge()});
    return true;
}

// The side to move passes: a score still at beta cuts off (true, with the
// score; also true with 0 when the search was stopped meanwhile). Otherwise
// the reply that refuted the pass is the node's threat; a mate found against
// the pass, or a large loss that repeats the threat of two plies ago, is
// noted for the extensions.
bool Search::nullMoveEndsNode(PlyRecord& r, int alpha, int beta, int depth, int nullReduction, int& score) {
    const int plyIndex = pos.searchPly;
    if (top().inCheck || board.pieceMaterial[board.side] == 0) return false;
    pos.pushNullMove();
    hashTable.prefetch(keyLow(board.key));
    currentPly().extension = 0;
    score = -search(-beta, -beta + 1, depth - ONE_PLY * nullReduction - ONE_PLY, false);
    pos.popNullMove();
    ++stats.nullTried;
    if (searchAborted) {
        score = 0;
        return true;
    }
    if (score >= beta) {
        ++stats.nullCutoffs;
        hashTable.store(nodeKey(),
                        {wholePlies(depth), plyIndex, HASH_LOWER, score, NO_MOVE, r.mateThreat, nodeAge()});
        return true;
    }
    const Move childBest = ply(plyIndex + 1).bestMove;
    if (childBest != NO_MOVE) r.threatMove = childBest;
    if (score == plyIndex - (MATE_SCORE - 2)) {
        r.mateThreat = 1;
    } else if (score <= alpha - 300 && depth < 3 * ONE_PLY && childBest != NO_MOVE) {
        if (repeatsThreat(pos, r, ply(plyIndex - 2), plyIndex)) r.bmThreat = 1;
    }
    return false;
}

// A search two plies shallower finds the move to try first; the threat flags
// found so far stay.
void Search::deepenForAMove(PlyRecord& r, int alpha, int beta, int depth) {
    const int32_t mateThreat = r.mateThreat, bmThreat = r.bmThreat;
    search(alpha, beta, depth - 2 * ONE_PLY, true);
    if (searchAborted) return;
    r.hashMove = r.bestMove;
    if (mateThreat) r.mateThreat = 1;
    if (bmThreat) r.bmThreat = 1;
}

// 12. Every legal move in the picker's order. In a multi-core search a move
// that another thread is searching is put off until this node's other moves
// are done (never the first).
int Search::searchNodeMoves(PlyRecord& r, int alpha, int beta, int depth) {
    const int plyIndex = pos.searchPly;
    const bool inCheck = top().inCheck != 0;
    NodeResult node;
    r.moveCount = r.moveIndex = r.pickStage = 0;
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
        if (shared && !resuming && node.movesSearched > 0 && shared->isBusy(busyKey)) {
            putOff[putOffCount++] = {static_cast<int16_t>(i), static_cast<int16_t>(stage)};
            continue;
        }
        if (shared) shared->enter(busyKey);
        const int score = searchMove(m, quietPickedLate(stage, i), alpha, beta, depth, node);
        if (shared) shared->leave(busyKey);
        if (searchAborted) return 0;

        switch (takeScore(r, m, score, alpha, beta, node)) {
            case ScoreEffect::CutOff:
                cutOff(r, m, score, depth); // 14.
                return score;
            case ScoreEffect::Raised:
                node.bound = HASH_EXACT;
                break;
            case ScoreEffect::None:
                break;
        }
    }

    // 13. Mate, stalemate, or the best score found.
    if (node.legalMoves == 0) return inCheck ? -(MATE_SCORE - plyIndex) : 0;
    hashTable.store(
        nodeKey(), {wholePlies(depth), plyIndex, node.bound, node.best, r.bestMove, r.mateThreat, nodeAge()});
    return node.best;
}

// A quiet move after the first two of the list: the late moves that the
// one-ply reduction may shorten.
bool Search::quietPickedLate(int stage, int index) { return stage == PICK_QUIET && index >= 2; }

// One move: made, extended or reduced, searched with a null window once a
// move has raised alpha (again with the full window when it beats alpha), and
// taken back.
int Search::searchMove(Move m, bool lateQuiet, int alpha, int beta, int depth, NodeResult& node) {
    const bool inCheck = top().inCheck != 0;
    const bool parentInCheck = pos.gamePly >= 1 && pos.history[pos.gamePly - 1].inCheck;
    pos.pushMove(m);
    eval.prefetch(board);
    ++node.legalMoves;
    computeExtension(m, node.movesSearched);
    const int childExtension = currentPly().extension;
    int reduction = 0;
    if (options.useReductions && depth >= 25 && childExtension == 0 && !inCheck && !parentInCheck &&
        lateQuiet) {
        reduction = ONE_PLY;
        ++stats.reductions;
    }
    ++stats.nodes;
    ++node.movesSearched;
    const int d = depth - ONE_PLY + childExtension;
    // The child probes the table unless it goes straight into the quiescence search.
    if (d - reduction >= 1) hashTable.prefetch(keyLow(board.key));
    int score;
    if (node.bound != HASH_EXACT) {
        score = -search(-beta, -alpha, d - reduction, true);
        if (reduction > 0 && score > alpha && !searchAborted) score = -search(-beta, -alpha, d, true);
    } else if (reduction > 0) {
        score = -search(-alpha - 1, -alpha, d - reduction, true);
        if (score > alpha && !searchAborted) score = -search(-beta, -alpha, d, true);
    } else {
        score = -search(-alpha - 1, -alpha, d, true);
        if (score > alpha && score < beta && !searchAborted) score = -search(-beta, -alpha, d, true);
    }
    pos.popMove();
    return score;
}

// 14. A quiet move that cut off is remembered by the history and the
// killers; the result goes into the table as a lower bound.
void Search::cutOff(PlyRecord& r, Move m, int score, int depth) {
    if (!isCapture(m) && !isPromotion(m)) {
        ++historyCounters[square64(moveFrom(m)) + 64 * square64(moveTo(m))];
        if (!sameMove(m, r.killer1)) {
            r.killer2 = r.killer1;
            r.killer1 = m;
        }
    }
    hashTable.store(nodeKey(),
                    {wholePlies(depth), pos.searchPly, HASH_LOWER, score, m, r.mateThreat, nodeAge()});
}
