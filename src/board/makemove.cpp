// Making and unmaking moves on the board: square slots, piece lists, counters,
// occupancy, piece-square sums and (forward only) both keys. Side to move,
// castling rights, en-passant square and the fifty-move counter belong to the
// game record, which also restores the keys on the way back.
#include "board/board.h"
#include "board/keys.h"
#include "board/pst.h"

namespace {

// Rook squares of a standard castling move: king side h -> f, queen side a -> d.
inline Square standardRookFrom(Square kingFrom, Square kingTo) {
    return kingTo > kingFrom ? kingTo + 1 : kingTo - 2;
}
inline Square standardRookTo(Square kingFrom, Square kingTo) {
    return kingTo > kingFrom ? kingTo - 1 : kingTo + 1;
}

// The pawn taken en passant stands behind the to-square.
inline Square enPassantVictim(Square from, Square to) { return to > from ? to - 16 : to + 16; }

} // namespace

void Board::makeMove(Move move) {
    const Square from = moveFrom(move), to = moveTo(move);
    const int piece = movePiece(move);
    const int us = side, them = side ^ 1;
    FM_ASSERT(onBoard(from) && onBoard(to) && piece >= KING && piece <= PAWN);

    swapSlots(from, to);
    occupied ^= bitOf(from) | bitOf(to);
    pieceBits[us][piece] ^= bitOf(from) | bitOf(to);
    const uint64_t moveKey = pieceKey(to, piece, us) ^ pieceKey(from, piece, us);
    key ^= moveKey;
    if (piece == PAWN) pawnKey ^= moveKey;
    pstScore[us] += pieceSquareValue(piece, us, to) - pieceSquareValue(piece, us, from);

    if (move & MOVE_CAPTURE) {
        const int captured = moveCaptured(move);
        PieceEntry* victim;
        if (move & MOVE_EN_PASSANT) {
            const Square v = enPassantVictim(from, to);
            occupied ^= bitOf(v);
            pieceBits[them][PAWN] ^= bitOf(v);
            key ^= pieceKey(v, PAWN, them);
            pawnKey ^= pieceKey(v, PAWN, them);
            pstScore[them] -= pieceSquareValue(PAWN, them, v);
            victim = squares[v];
        } else {
            occupied ^= bitOf(to);
            pieceBits[them][captured] ^= bitOf(to);
            key ^= pieceKey(to, captured, them);
            if (captured == PAWN) pawnKey ^= pieceKey(to, PAWN, them);
            pstScore[them] -= pieceSquareValue(captured, them, to);
            victim = squares[from];
        }
        FM_ASSERT(victim->piece == captured && victim->colour == them);
        removePiece(victim);
        victim->piece = NO_PIECE;
        victim->colour = NEUTRAL;
        --pieceTotal;
        if (captured == PAWN)
            --pawnCount[them];
        else
            pieceMaterial[them] -= MATERIAL_UNITS[captured];
        if (--pieceCount[them][captured] == 0) pieceTypes[them] ^= PIECE_TYPE_BIT[captured];
    }

    if (move & MOVE_CASTLE) {
        castled[us] = to > from ? 1 : 2;
        if (chess960) {
            finishCastle960(move);
            return;
        }
        const Square rookFrom = standardRookFrom(from, to), rookTo = standardRookTo(from, to);
        swapSlots(rookTo, rookFrom);
        occupied ^= bitOf(rookTo) | bitOf(rookFrom);
        pieceBits[us][ROOK] ^= bitOf(rookTo) | bitOf(rookFrom);
        key ^= pieceKey(rookTo, ROOK, us) ^ pieceKey(rookFrom, ROOK, us);
        pstScore[us] += pieceSquareValue(ROOK, us, rookTo) - pieceSquareValue(ROOK, us, rookFrom);
        return;
    }

    if (move & MOVE_PROMOTION) {
        const int promo = movePromotion(move);
        PieceEntry* e = squares[to];
        removePiece(e);
        e->piece = promo;
        e->colour = us;
        insertPiece(e);
        pieceBits[us][PAWN] ^= bitOf(to);
        pieceBits[us][promo] ^= bitOf(to);
        key ^= pieceKey(to, PAWN, us) ^ pieceKey(to, promo, us);
        pawnKey ^= pieceKey(to, PAWN, us);
        --pawnCount[us];
        pieceMaterial[us] += MATERIAL_UNITS[promo];
        --pieceCount[us][PAWN];
        ++pieceCount[us][promo];
        if (pieceCount[us][PAWN] == 0) pieceTypes[us] ^= PIECE_TYPE_BIT[PAWN];
        pieceTypes[us] |= PIECE_TYPE_BIT[promo];
        pstScore[us] += pieceSquareValue(promo, us, to) - pieceSquareValue(PAWN, us, to);
    }
}

void Board::unmakeMove(Move move) {
    const Square from = moveFrom(move), to = moveTo(move);
    const int piece = movePiece(move);
    const int us = side, them = side ^ 1;

    if (move & MOVE_PROMOTION) {
        const int promo = movePromotion(move);
        PieceEntry* e = squares[to];
        removePiece(e);
        e->piece = PAWN;
        insertPiece(e);
        pieceBits[us][promo] ^= bitOf(to);
        pieceBits[us][PAWN] ^= bitOf(to);
        ++pawnCount[us];
        pieceMaterial[us] -= MATERIAL_UNITS[promo];
        ++pieceCount[us][PAWN];
        if (--pieceCount[us][promo] == 0) pieceTypes[us] ^= PIECE_TYPE_BIT[promo];
        pieceTypes[us] |= PIECE_TYPE_BIT[PAWN];
        pstScore[us] += pieceSquareValue(PAWN, us, to) - pieceSquareValue(promo, us, to);
    } else if (move & MOVE_CASTLE) {
        castled[us] = 0;
        if (chess960) {
            undoCastle960(move);
        } else {
            const Square rookFrom = standardRookFrom(from, to), rookTo = standardRookTo(from, to);
            swapSlots(rookTo, rookFrom);
            occupied ^= bitOf(rookTo) | bitOf(rookFrom);
            pieceBits[us][ROOK] ^= bitOf(rookTo) | bitOf(rookFrom);
            pstScore[us] += pieceSquareValue(ROOK, us, rookFrom) - pieceSquareValue(ROOK, us, rookTo);
        }
    }

    swapSlots(from, to);
    occupied ^= bitOf(from) | bitOf(to);
    pieceBits[us][piece] ^= bitOf(from) | bitOf(to);
    pstScore[us] += pieceSquareValue(piece, us, from) - pieceSquareValue(piece, us, to);

    if (move & MOVE_CAPTURE) {
        const int captured = moveCaptured(move);
        PieceEntry* victim;
        ++pieceTotal;
        if (move & MOVE_EN_PASSANT) {
            const Square v = enPassantVictim(from, to);
            occupied ^= bitOf(v);
            pieceBits[them][PAWN] ^= bitOf(v);
            pstScore[them] += pieceSquareValue(PAWN, them, v);
            victim = squares[v];
        } else {
            occupied ^= bitOf(to);
            pieceBits[them][captured] ^= bitOf(to);
            pstScore[them] += pieceSquareValue(captured, them, to);
            victim = squares[to];
        }
        victim->piece = captured;
        victim->colour = them;
        insertPiece(victim);
        if (captured == PAWN)
            ++pawnCount[them];
        else
            pieceMaterial[them] += MATERIAL_UNITS[captured];
        ++pieceCount[them][captured];
        pieceTypes[them] |= PIECE_TYPE_BIT[captured];
    }
}

// A Chess960 castle is written as the king taking its own rook, so the common
// step of makeMove has swapped the two: the king stands on the rook's start,
// the rook on the king's, and both squares are clear in `occupied`. The king
// then goes to its castled square (the rook comes along to the rook's start
// when the king does not move), and the rook from wherever it is to its own.
// The squares in between are empty or are these two, so each swap moves one
// piece onto an empty slot or onto itself.
void Board::finishCastle960(Move move) {
    const int us = side;
    const Square kingFrom = moveFrom(move), rookFrom = moveTo(move);
    const Square kingTo = castledKingSquare(move), rookTo = castledRookSquare(move);
    const Square rookAt = kingTo == kingFrom ? rookFrom : kingFrom;
    swapSlots(rookFrom, kingTo);
    swapSlots(rookAt, rookTo);
    occupied |= bitOf(kingTo) | bitOf(rookTo);
    pieceBits[us][KING] ^= bitOf(rookFrom) ^ bitOf(kingTo);
    pieceBits[us][ROOK] ^= bitOf(rookFrom) ^ bitOf(rookTo);
    key ^= pieceKey(rookFrom, KING, us) ^ pieceKey(kingTo, KING, us) ^ pieceKey(rookFrom, ROOK, us) ^
           pieceKey(rookTo, ROOK, us);
    pstScore[us] += pieceSquareValue(KING, us, kingTo) - pieceSquareValue(KING, us, rookFrom) +
                    pieceSquareValue(ROOK, us, rookTo) - pieceSquareValue(ROOK, us, rookFrom);
}

// The swaps of finishCastle960 in reverse order, which leaves the king on the
// rook's start and the rook on the king's for the common step of unmakeMove.
void Board::undoCastle960(Move move) {
    const int us = side;
    const Square kingFrom = moveFrom(move), rookFrom = moveTo(move);
    const Square kingTo = castledKingSquare(move), rookTo = castledRookSquare(move);
    const Square rookAt = kingTo == kingFrom ? rookFrom : kingFrom;
    swapSlots(rookAt, rookTo);
    swapSlots(rookFrom, kingTo);
    occupied &= ~(bitOf(kingTo) | bitOf(rookTo));
    pieceBits[us][KING] ^= bitOf(rookFrom) ^ bitOf(kingTo);
    pieceBits[us][ROOK] ^= bitOf(rookFrom) ^ bitOf(rookTo);
    pstScore[us] += pieceSquareValue(KING, us, rookFrom) - pieceSquareValue(KING, us, kingTo) +
                    pieceSquareValue(ROOK, us, rookFrom) - pieceSquareValue(ROOK, us, rookTo);
}
