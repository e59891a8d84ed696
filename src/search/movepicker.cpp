// The staged move picker of the main search: hash move, captures by exchange
// value, killers, quiet moves by history and piece-square gain, losing captures.
// In check all evasions come in one batch with fixed priorities.
#include "search/movepicker.h"
#include "search/search.h"
#include "search/selectbest.h"

namespace {

constexpr int32_t PICK_LIST_ORDER = 0;
constexpr int32_t PICK_ALWAYS_SELECT = 1;
constexpr int32_t PICK_SELECT_FIRST_THREE = 2;

constexpr int32_t DROPPED = -10000;

// What a quiet move gains on the piece-square table of its piece.
int pieceSquareGain(const Board& board, Move move) {
    const int piece = movePiece(move);
    if (piece < KING || piece > PAWN) return 0;
    return board.pieceSquareValue(piece, board.side, moveTo(move)) -
           board.pieceSquareValue(piece, board.side, moveFrom(move));
}

inline int historyIndex(Move move) { return square64(moveFrom(move)) + 64 * square64(moveTo(move)); }

// Evasions are scored by a fixed priority: hash move, captures and promotions by
// exchange value, threat, killers, then piece-square gain.
void scoreEvasions(const Position& pos, PlyRecord& r, const PlyRecord& parent, const PlyRecord& twoBack) {
    const bool deepRecord = pos.gamePly >= 1;
    for (int i = 0; i < r.moveCount; ++i) {
        const Move m = r.moves[i];
        int score;
        if (sameMove(m, r.hashMove))
            score = 10000;
        else if (isCapture(m) || isPromotion(m)) {
            score = pos.board.staticExchange(m);
            if (score == 0) score = 95;
        } else if (sameMove(m, parent.threatMove))
            score = 92;
        else if (sameMove(m, r.killer1))
            score = 90;
        else if (deepRecord && sameMove(m, twoBack.killer1))
            score = 85;
        else if (sameMove(m, r.killer2))
            score = 80;
        else if (deepRecord && sameMove(m, twoBack.killer2))
            score = 75;
        else
            score = pieceSquareGain(pos.board, m);
        r.orderScores[i] = score;
    }
}

void setUp(const Position& pos, PlyRecord& r, const PlyRecord& parent, const PlyRecord& twoBack) {
    r.killersTried = 0;
    r.pickMode = PICK_LIST_ORDER;
    r.moveIndex = 0;
    r.deferredStart = -1;
    if (pos.top().inCheck) {
        r.moveCount = 0;
        pos.board.generateEvasions(r.moves, r.moveCount);
        scoreEvasions(pos, r, parent, twoBack);
        r.batchStart = 0;
        r.pickMode = PICK_SELECT_FIRST_THREE;
        r.pickStage = PICK_EVASIONS;
        return;
    }
    if (r.hashMove != NO_MOVE) {
        r.moves[0] = r.hashMove;
        r.orderScores[0] = 10000;
        r.moveCount = 1;
    }
}

// Captures sorted by exchange value; the losing ones are hidden until the end.
void addCaptures(const Board& board, PlyRecord& r) {
    const int start = r.moveCount;
    board.generateCaptures(r.moves, r.moveCount);
    const int end = r.moveCount;
    for (int i = start; i < end; ++i) {
        if (sameMove(r.moves[i], r.hashMove)) {
            r.moves[i] = NO_MOVE;
            r.orderScores[i] = DROPPED;
        } else {
            r.orderScores[i] = board.staticExchange(r.moves[i]);
        }
    }
    r.moveIndex = start;
    r.pickMode = PICK_LIST_ORDER;
    for (int i = start; i < end; ++i) {
        selectBest(r.moves, r.orderScores, i, end);
        if (r.orderScores[i] < 0) {
            r.deferredStart = i;
            r.deferredEnd = end;
            r.moveCount = i;
            break;
        }
    }
}

void addKillers(const Position& pos, PlyRecord& r, const PlyRecord& twoBack) {
    if (r.deferredStart != -1) r.moveCount = r.deferredEnd;
    const int start = r.moveCount;
    const bool deepRecord = pos.gamePly >= 1;
    auto add = [&](Move killer, int32_t score, int32_t bit) {
        if (killer == NO_MOVE || r.moveCount >= MAX_MOVES || !pos.board.isPseudoLegal(killer)) return;
        r.moves[r.moveCount] = killer;
        r.orderScores[r.moveCount] = score;
        ++r.moveCount;
        r.killersTried |= bit;
    };
    add(r.killer1, 5000, 1);
    if (deepRecord) add(twoBack.killer1, 4000, 2);
    if (!deepRecord || !sameMove(r.killer2, twoBack.killer1)) add(r.killer2, 3000, 4);
    if (!sameMove(twoBack.killer2, r.killer1) && !(deepRecord && sameMove(twoBack.killer2, twoBack.killer1)))
        add(twoBack.killer2, 2000, 8);
    r.pickMode = PICK_LIST_ORDER;
    r.moveIndex = start;
}

void addQuietMoves(const Position& pos, const uint32_t* historyCounters, PlyRecord& r,
                   const PlyRecord& parent, const PlyRecord& twoBack) {
    const int start = r.moveCount;
    pos.board.generateQuiet(r.moves, r.moveCount);
    r.batchStart = r.moveIndex = start;
    r.pickMode = PICK_SELECT_FIRST_THREE;
    const bool deepRecord = pos.gamePly >= 1;
    const Square threatTo = moveTo(parent.threatMove);
    for (int i = start; i < r.moveCount; ++i) {
        const Move m = r.moves[i];
        const bool tried = sameMove(m, r.hashMove) || ((r.killersTried & 1) && sameMove(m, r.killer1)) ||
                           (deepRecord && (r.killersTried & 2) && sameMove(m, twoBack.killer1)) ||
                           ((r.killersTried & 4) && sameMove(m, r.killer2)) ||
                           (deepRecord && (r.killersTried & 8) && sameMove(m, twoBack.killer2));
        if (tried) {
            r.moves[i] = NO_MOVE;
            r.orderScores[i] = DROPPED;
            continue;
        }
        int score = static_cast<int>(historyCounters[historyIndex(m)]);
        if (moveTo(m) == threatTo)
            score += 130;
        else if (m & MOVE_CASTLE)
            score += moveTo(m) > moveFrom(m) ? 80 : 50;
        else
            score += pieceSquareGain(pos.board, m);
        r.orderScores[i] = score;
    }
}

} // namespace

int Search::nextMove() {
    PlyRecord& r = currentPly();
    const PlyRecord& parent = ply(pos.searchPly - 1);
    const PlyRecord& twoBack = ply(pos.searchPly - 2);
    // When a stage's moves run out, the next stage's are set up.
    while (r.moveIndex >= r.moveCount) {
        switch (r.pickStage) {
            case PICK_START:
                r.pickStage = PICK_HASH_MOVE;
                setUp(pos, r, parent, twoBack); // in check: every evasion at once
                break;
            case PICK_HASH_MOVE:
                r.pickStage = PICK_CAPTURES;
                addCaptures(board, r);
                break;
            case PICK_CAPTURES:
                r.pickStage = PICK_KILLERS;
                addKillers(pos, r, twoBack);
                break;
            case PICK_KILLERS:
                r.pickStage = PICK_QUIET;
                addQuietMoves(pos, historyCounters, r, parent, twoBack);
                break;
            case PICK_QUIET:
                r.pickStage = PICK_LOSING;
                if (r.deferredStart != -1) {
                    r.moveIndex = r.deferredStart;
                    r.moveCount = r.deferredEnd;
                    r.pickMode = PICK_LIST_ORDER;
                }
                break;
            default:
                return -1; // the losing captures or the evasions are done
        }
    }
    if (r.pickMode == PICK_ALWAYS_SELECT ||
        (r.pickMode == PICK_SELECT_FIRST_THREE && r.moveIndex < r.batchStart + 3)) {
        selectBest(r.moves, r.orderScores, r.moveIndex, r.moveCount);
    }
    return r.moveIndex++;
}
