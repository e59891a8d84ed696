// Replies to check. Unlike the other generators this one produces only legal
// moves: king steps to unattacked squares, blocks and captures of the checker
// by unpinned pieces, and nothing but king moves in double check.
#include "board/board.h"

namespace {

inline Move quiet(Square from, Square to, int piece) { return buildMove(from, to, piece); }
inline Move capture(Square from, Square to, int piece, int captured) {
    return buildMove(from, to, piece, captured, 0, MOVE_CAPTURE);
}
inline Move pawnMove(Square from, Square to, int captured, int promo, uint32_t extra = 0) {
    uint32_t flags = MOVE_PAWN | extra;
    if (captured) flags |= MOVE_CAPTURE;
    if (promo) flags |= MOVE_PROMOTION;
    return buildMove(from, to, PAWN, captured, promo, flags);
}

constexpr int PROMOTIONS[4] = {QUEEN, KNIGHT, ROOK, BISHOP};

inline bool lastRank(Square s) { return rankOf(s) == 0 || rankOf(s) == 7; }

} // namespace

void Board::generateEvasions(Move* moves, int& count) const {
    FM_ASSERT(moves != nullptr && count >= 0 && count <= MAX_MOVES);
    const int us = side, them = side ^ 1;
    const int push = PAWN_PUSH[us];
    const Square k = kingSquare(us);

    // 1. Find the checkers, stopping at two.
    int checkers = 0;
    Square checker = 0;
    int checkDirection[2] = {0, 0};
    for (int offset : PAWN_CAPTURE[them]) {
        const Square f = k - offset;
        if (onBoard(f) && squares[f]->piece == PAWN && squares[f]->colour == them) {
            checker = f;
            ++checkers;
        }
    }
    for (const PieceEntry* e = pieceList[them][KNIGHT]; e && checkers < 2; e = e->next) {
        if (attackKinds(k - e->square) & ATTACK_KNIGHT) {
            checker = e->square;
            ++checkers;
        }
    }
    for (int piece : {BISHOP, ROOK, QUEEN}) {
        for (const PieceEntry* e = pieceList[them][piece]; e && checkers < 2; e = e->next) {
            const int d = lineStep(k - e->square);
            if (d == 0 || !(attackKinds(d) & PIECE_BIT[piece]) || walk(e->square, d) != k) continue;
            checkDirection[checkers] = d;
            checker = e->square;
            ++checkers;
        }
    }

    // 2. King steps, never straight away from a checking slider.
    for (int step : KING_STEPS) {
        const Square t = k + step;
        if (!onBoard(t) || step == checkDirection[0] || step == checkDirection[1]) continue;
        const PieceEntry* target = squares[t];
        if (target->colour == us || isAttacked(them, t)) continue;
        moves[count++] = target->piece == NO_PIECE ? quiet(k, t, KING) : capture(k, t, KING, target->piece);
    }

    // 3. In double check only the king can move.
    if (checkers != 1) return;

    const bool sliderCheck = squares[checker]->piece >= QUEEN && squares[checker]->piece <= BISHOP;
    const int outward = sliderCheck ? lineStep(checker - k) : 0;

    // 4. Pawn blocks, from the king outwards.
    if (sliderCheck) {
        for (Square b = k + outward; b != checker; b += outward) {
            const Square f = b - push;
            if (!onBoard(f)) continue;
            if (squares[f]->piece == PAWN && squares[f]->colour == us) {
                if (pinDirection(f, us) != 0) continue;
                if (lastRank(b)) {
                    for (int promo : PROMOTIONS) moves[count++] = pawnMove(f, b, 0, promo);
                } else {
                    moves[count++] = pawnMove(f, b, 0, 0);
                }
            } else if (squares[f]->piece == NO_PIECE && rankOf(f) == (us == WHITE ? 2 : 5)) {
                const Square start = f - push;
                if (squares[start]->piece == PAWN && squares[start]->colour == us &&
                    pinDirection(start, us) == 0)
                    moves[count++] = pawnMove(start, b, 0, 0, MOVE_DOUBLE_PUSH);
            }
        }
    }

    // 5. Pawn captures of the checker.
    const int checkerPiece = squares[checker]->piece;
    for (int offset : PAWN_CAPTURE[us]) {
        const Square f = checker - offset;
        if (!onBoard(f) || squares[f]->piece != PAWN || squares[f]->colour != us || pinDirection(f, us) != 0)
            continue;
        if (lastRank(checker)) {
            for (int promo : PROMOTIONS) moves[count++] = pawnMove(f, checker, checkerPiece, promo);
        } else {
            moves[count++] = pawnMove(f, checker, checkerPiece, 0);
        }
    }

    // 6. En passant: takes a checking pawn, or blocks on the en-passant square.
    if (epSquare != 0 && squares[epSquare]->piece == NO_PIECE) {
        const Square v = epSquare - push;
        if (onBoard(v) && squares[v]->piece == PAWN && squares[v]->colour == them) {
            for (int offset : PAWN_CAPTURE[us]) {
                const Square f = epSquare - offset;
                if (!onBoard(f) || squares[f]->piece != PAWN || squares[f]->colour != us) continue;
                if (pinDirection(v, us) != 0 || pinDirection(f, us) != 0) continue;
                const int toKing = lineStep(epSquare - k);
                const bool blocks = toKing != 0 && toKing == -lineStep(epSquare - checker);
                if (v == checker || blocks) moves[count++] = pawnMove(f, epSquare, PAWN, 0, MOVE_EN_PASSANT);
            }
        }
    }

    // 7. Pieces: blocks from the king outwards, then the capture of the checker.
    for (int piece : {KNIGHT, BISHOP, ROOK, QUEEN}) {
        const uint8_t ownBit = PIECE_BIT[piece];
        for (const PieceEntry* e = pieceList[us][piece]; e; e = e->next) {
            const Square s = e->square;
            // A pinned piece has no move here; whether it is pinned is asked
            // only once it has one.
            int pinned = -1;
            auto reaches = [&](Square target) {
                if (!(attackKinds(s - target) & ownBit)) return false;
                if (piece != KNIGHT && !pathClear(s, target)) return false;
                if (pinned < 0) pinned = pinDirection(s, us) != 0;
                return pinned == 0;
            };
            if (sliderCheck) {
                for (Square b = k + outward; b != checker; b += outward) {
                    if (reaches(b)) moves[count++] = quiet(s, b, piece);
                }
            }
            if (reaches(checker)) moves[count++] = capture(s, checker, piece, checkerPiece);
        }
    }
}
