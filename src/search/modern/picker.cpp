#include "search/modern/picker.h"

#include "board/see.h"

namespace {

// Victims by piece code, for the most-valuable-victim order.
constexpr int VICTIM_ORDER[7] = {0, 0, 9, 5, 3, 3, 1};
constexpr int TABLE_MOVE_SCORE = 1 << 30;
constexpr int CAPTURE_IN_CHECK_BONUS = 1 << 24;

inline bool isTactical(Move m) { return isCapture(m) || (isPromotion(m) && movePromotion(m) == QUEEN); }

} // namespace

ModernPicker::ModernPicker(const Position& position, PlyRecord& record, const HistoryTables& tables, Kind k,
                           Move table, Move k1, Move k2, Move counterMove, const int16_t (*const rows[2])[64])
    : pos(position), board(position.board), r(record), history(tables), continuation{rows[0], rows[1]},
      kind(k), tableMove(table), killer1(k1), killer2(k2), counter(counterMove) {
    const bool inCheck = pos.top().inCheck != 0;
    stage = inCheck ? Stage::GenerateEvasions : Stage::TableMove;
    if (tableMove != NO_MOVE && !board.isPseudoLegal(tableMove)) tableMove = NO_MOVE;
    if (!inCheck && kind != Kind::Main && tableMove != NO_MOVE && !isTactical(tableMove)) tableMove = NO_MOVE;
    if (!inCheck && tableMove == NO_MOVE) stage = Stage::GenerateCaptures;
}

void ModernPicker::scoreCaptures(int from, int to) {
    const int us = board.side;
    for (int i = from; i < to; ++i) {
        const Move m = r.moves[i];
        const int victim = isCapture(m) ? moveCaptured(m) : 0;
        const int gain = VICTIM_ORDER[victim] + (isPromotion(m) ? VICTIM_ORDER[movePromotion(m)] : 0);
        r.orderScores[i] = gain * 4096 - VICTIM_ORDER[movePiece(m)] +
                           history.capture[colouredPiece(us, movePiece(m))][square64(moveTo(m))][victim];
    }
}

void ModernPicker::scoreQuiets(int from, int to) {
    const int us = board.side;
    for (int i = from; i < to; ++i) {
        const Move m = r.moves[i];
        const int piece = colouredPiece(us, movePiece(m));
        const int target = square64(moveTo(m));
        int score = history.quiet[us][square64(moveFrom(m))][target];
        for (const auto* row : continuation)
            if (row) score += row[piece][target];
        r.orderScores[i] = score;
    }
}

void ModernPicker::scoreEvasions(int from, int to) {
    for (int i = from; i < to; ++i) {
        const Move m = r.moves[i];
        if (sameMove(m, tableMove)) {
            r.orderScores[i] = TABLE_MOVE_SCORE;
        } else if (isTactical(m)) {
            const int victim = isCapture(m) ? moveCaptured(m) : 0;
            r.orderScores[i] =
                CAPTURE_IN_CHECK_BONUS + VICTIM_ORDER[victim] * 64 - VICTIM_ORDER[movePiece(m)];
        } else {
            scoreQuiets(i, i + 1);
        }
    }
}

Move ModernPicker::selectNext() {
    int best = index;
    for (int i = index + 1; i < end; ++i)
        if (r.orderScores[i] > r.orderScores[best]) best = i;
    const Move m = r.moves[best];
    const int32_t s = r.orderScores[best];
    r.moves[best] = r.moves[index];
    r.orderScores[best] = r.orderScores[index];
    r.moves[index] = m;
    r.orderScores[index] = s;
    return r.moves[index++];
}

bool ModernPicker::handedOut(Move m) const {
    return sameMove(m, tableMove) || sameMove(m, killer1) || sameMove(m, killer2) || sameMove(m, counter);
}

bool ModernPicker::playableQuiet(Move m) const {
    return m != NO_MOVE && !sameMove(m, tableMove) && !isTactical(m) && board.isPseudoLegal(m);
}

Move ModernPicker::next(bool skipQuiets) {
    for (;;) {
        switch (stage) {
            case Stage::TableMove:
                stage = Stage::GenerateCaptures;
                return tableMove;

            case Stage::GenerateCaptures:
                r.moveCount = 0;
                board.generateCaptures(r.moves, r.moveCount);
                index = 0;
                end = r.moveCount;
                scoreCaptures(0, end);
                stage = Stage::GoodCaptures;
                break;

            case Stage::GoodCaptures:
                while (index < end) {
                    const Move m = selectNext();
                    if (sameMove(m, tableMove)) continue;
                    // A capture that loses material waits for the end (in the
                    // quiescence search it is left to the caller's test).
                    if (kind == Kind::Main && board.staticExchange(m) < 0) {
                        bad[badCount++] = m;
                        continue;
                    }
                    return m;
                }
                if (kind != Kind::Main) {
                    stage = kind == Kind::QuiescenceWithChecks ? Stage::GenerateQuietChecks : Stage::Done;
                    break;
                }
                stage = Stage::Killer1;
                break;

            case Stage::Killer1:
                stage = Stage::Killer2;
                if (!skipQuiets && playableQuiet(killer1)) return killer1;
                break;

            case Stage::Killer2:
                stage = Stage::Counter;
                if (!skipQuiets && !sameMove(killer2, killer1) && playableQuiet(killer2)) return killer2;
                break;

            case Stage::Counter:
                stage = Stage::GenerateQuiets;
                if (!skipQuiets && !sameMove(counter, killer1) && !sameMove(counter, killer2) &&
                    playableQuiet(counter))
                    return counter;
                break;

            case Stage::GenerateQuiets:
                stage = Stage::Quiets;
                if (skipQuiets) {
                    stage = Stage::BadCaptures;
                    break;
                }
                index = r.moveCount;
                board.generateQuiet(r.moves, r.moveCount);
                end = r.moveCount;
                scoreQuiets(index, end);
                break;

            case Stage::Quiets:
                while (!skipQuiets && index < end) {
                    const Move m = selectNext();
                    if (handedOut(m)) continue;
                    return m;
                }
                stage = Stage::BadCaptures;
                break;

            case Stage::BadCaptures:
                if (badIndex < badCount) return bad[badIndex++];
                stage = Stage::Done;
                break;

            case Stage::GenerateQuietChecks:
                index = r.moveCount;
                board.generateQuiet(r.moves, r.moveCount);
                end = r.moveCount;
                stage = Stage::QuietChecks;
                break;

            case Stage::QuietChecks:
                while (index < end) {
                    const Move m = r.moves[index++];
                    if (!(m & (MOVE_CASTLE | MOVE_PROMOTION)) && board.givesCheckBeforeMove(m)) return m;
                }
                stage = Stage::Done;
                break;

            case Stage::GenerateEvasions:
                r.moveCount = 0;
                board.generateEvasions(r.moves, r.moveCount);
                index = 0;
                end = r.moveCount;
                scoreEvasions(0, end);
                stage = Stage::Evasions;
                break;

            case Stage::Evasions:
                if (index < end) return selectNext();
                stage = Stage::Done;
                break;

            case Stage::Done:
                return NO_MOVE;
        }
    }
}
