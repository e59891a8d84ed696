// Attack, check and legality tests. They read the mailbox, the piece lists and
// the geometry tables and never change the position.
#include <bit>

#include "board/bitboard.h"
#include "board/board.h"

namespace {

inline int absolute(int x) { return x < 0 ? -x : x; }
inline Square enPassantVictim(Square from, Square to) { return to > from ? to - 16 : to + 16; }

// Whether a piece of `colour` attacks the square (64-numbered) when the sliders
// see the given occupancy. Leapers by the squares they would stand on, sliders
// by the attacks from the square itself.
inline bool attackedThrough(const Board& b, int colour, int s64, uint64_t occupancy) {
    const uint64_t* own = b.pieceBits[colour];
    if (PAWN_ATTACKERS[colour][s64] & own[PAWN]) return true;
    if (KNIGHT_TARGETS[s64] & own[KNIGHT]) return true;
    if (bishopAttacks(s64, occupancy) & (own[BISHOP] | own[QUEEN])) return true;
    if (rookAttacks(s64, occupancy) & (own[ROOK] | own[QUEEN])) return true;
    return (KING_TARGETS[s64] & own[KING]) != 0;
}

// The occupancy once a Chess960 castle is made.
inline uint64_t occupancyAfterCastle(const Board& b, Move move) {
    return (b.occupied & ~bitOf(moveFrom(move)) & ~bitOf(moveTo(move))) | bitOf(castledKingSquare(move)) |
           bitOf(castledRookSquare(move));
}

} // namespace

Square Board::walk(Square s, int d) const {
    for (s += d; onBoard(s); s += d) {
        if (squares[s]->piece != NO_PIECE) return s;
    }
    return -1;
}

// The piece on `attacker` attacks `king` along its line (sliders) or by a step.
bool Board::hitsKing(Square attacker, Square king) const {
    return (PIECE_BIT[squares[attacker]->piece] & attackKinds(attacker - king)) != 0;
}

int Board::isAttacked(int colour, Square s) const {
    FM_ASSERT(isColour(colour)); // any square: off-board ones count as attacked
    if (!onBoard(s)) return 1;
    return attackedThrough(*this, colour, square64(s), occupied) ? 1 : 0;
}

// Whether the piece on `from` could capture on `to`, by geometry and a clear
// path only (pins are not considered).
int Board::canReach(Square from, Square to) const {
    FM_ASSERT(isSquare(from) && isSquare(to));
    const PieceEntry* e = squares[from];
    if (e->piece == PAWN) {
        int d = (to - from) - PAWN_PUSH[e->colour];
        return d == 1 || d == -1;
    }
    if (!(PIECE_BIT[e->piece] & attackKinds(to - from))) return 0;
    if (e->piece == KING || e->piece == KNIGHT) return 1;
    return pathClear(from, to) ? 1 : 0;
}

// Direction from the king of `colour` to s when the piece on s alone shields
// that king from an enemy slider on the same line; 0 otherwise.
int Board::pinDirection(Square s, int colour) const {
    FM_ASSERT(isSquare(s) && isColour(colour));
    const Square k = kingSquare(colour);
    const int d = lineStep(s - k);
    if (d == 0 || !pathClear(s, k)) return 0;
    const Square f = walk(s, d);
    if (f < 0 || squares[f]->colour != (colour ^ 1)) return 0;
    return hitsKing(f, k) ? d : 0;
}

// The right is held and its king and rook stand on their home squares. Rights
// read from text are kept as written, so the pieces are checked here.
bool Board::castlingReady(int right) const {
    if (!(castling & right)) return false;
    const int colour = right <= WHITE_QUEENSIDE ? WHITE : BLACK;
    const Square king = colour == WHITE ? E1 : E8;
    const Square rook = (right == WHITE_KINGSIDE)    ? H1
                        : (right == WHITE_QUEENSIDE) ? A1
                        : (right == BLACK_KINGSIDE)  ? H8
                                                     : A8;
    return squares[king]->piece == KING && squares[king]->colour == colour && squares[rook]->piece == ROOK &&
           squares[rook]->colour == colour;
}

int Board::canCastle(Square kingFrom, Square kingTo) const {
    FM_ASSERT(isSquare(kingFrom) && isSquare(kingTo));
    const int them = side ^ 1;
    const Square pass = kingTo > kingFrom ? kingTo - 1 : kingTo + 1;
    if (kingTo < kingFrom && squares[kingTo - 1]->piece != NO_PIECE) return 0;
    if (squares[kingTo]->piece != NO_PIECE || squares[pass]->piece != NO_PIECE) return 0;
    if (isAttacked(them, kingFrom) || isAttacked(them, kingTo) || isAttacked(them, pass)) return 0;
    return 1;
}

bool Board::castlingReady960(int right) const {
    if (!(castling & right)) return false;
    const int index = castlingIndex(right), colour = index / 2;
    const PieceEntry* king = squares[castlingKingFrom[colour]];
    const PieceEntry* rook = squares[castlingRookFrom[index]];
    return king->piece == KING && king->colour == colour && rook->piece == ROOK && rook->colour == colour;
}

// The king and rook cross only empty squares (or each other's), the king is
// not in check and crosses and lands on no attacked square. The king's castled
// square is tested again once the rook has left its start: a rook or queen on
// the back rank beyond the rook (a1 with the rook on b1 and the king going to
// c1) attacks it then.
bool Board::canCastle960(int right) const {
    const int index = castlingIndex(right), them = (index / 2) ^ 1;
    if (occupied & castlingEmpty[index]) return false;
    for (uint64_t path = castlingKingPath[index]; path; path &= path - 1) {
        if (attackedThrough(*this, them, std::countr_zero(path), occupied)) return false;
    }
    const Move castle = castlingMove(right);
    const uint64_t* enemy = pieceBits[them];
    return (rookAttacks(square64(castledKingSquare(castle)), occupancyAfterCastle(*this, castle)) &
            (enemy[ROOK] | enemy[QUEEN])) == 0;
}

int Board::castleLeavesKingInCheck(Move move, int made) const {
    const int colour = rankOf(moveFrom(move)) == 0 ? WHITE : BLACK;
    const uint64_t occupancy = made ? occupied : occupancyAfterCastle(*this, move);
    return attackedThrough(*this, colour ^ 1, square64(castledKingSquare(move)), occupancy) ? 1 : 0;
}

// Works before the move is made (made = 0; only while the mover is not in
// check) and after it (made = 1).
int Board::leavesKingInCheck(Move move, int made) const {
    FM_ASSERT(isWellFormed(move) && (made == 0 || made == 1));
    const Square from = moveFrom(move), to = moveTo(move);
    const int c = squares[made ? to : from]->colour;
    if (movePiece(move) == KING) {
        if ((move & MOVE_CASTLE) && chess960) return castleLeavesKingInCheck(move, made);
        return isAttacked(c ^ 1, to);
    }

    const Square k = kingSquare(c);
    const int d = lineStep(from - k);
    if (d != 0 && absolute(d) != absolute(lineStep(to - from)) && pathClear(from, k)) {
        const Square f = walk(from, d);
        if (f >= 0 && squares[f]->colour == (c ^ 1) && hitsKing(f, k)) return 1;
    }

    if (move & MOVE_EN_PASSANT) {
        // Both pawns leave the line through the victim's square: the from-square
        // counts as empty in both modes, and the victim's square too.
        const Square v = enPassantVictim(from, to);
        const int dv = lineStep(v - k);
        if (dv == 0 || absolute(dv) == 16) return 0;
        const uint64_t occupancy = occupied & ~bitOf(from) & ~bitOf(v);
        if (between(square64(k), square64(v)) & occupancy) return 0;
        for (Square s = v + dv; onBoard(s); s += dv) {
            if (s == from || squares[s]->piece == NO_PIECE) continue;
            return squares[s]->colour == (c ^ 1) && hitsKing(s, k) ? 1 : 0;
        }
    }
    return 0;
}

// Called right after the board made the move, before the side to move changes.
int Board::givesCheck(Move move) const {
    FM_ASSERT(isWellFormed(move));
    // A Chess960 castle can check with the rook, or uncover a check along the
    // back rank from either of its two start squares.
    if ((move & MOVE_CASTLE) && chess960)
        return pieceList[side ^ 1][KING] && isAttacked(side, kingSquare(side ^ 1)) ? 1 : 0;
    const Square from = moveFrom(move), to = moveTo(move);
    const int c = squares[to]->colour;
    if (pieceList[c ^ 1][KING] == nullptr) return 0; // the king was just taken (illegal positions only)
    const Square k = kingSquare(c ^ 1);
    const int p = (move & MOVE_PROMOTION) ? movePromotion(move) : squares[to]->piece;

    if (p == PAWN) {
        if (k - to == PAWN_CAPTURE[c][0] || k - to == PAWN_CAPTURE[c][1]) return 1;
    } else if (PIECE_BIT[p] & attackKinds(to - k)) {
        if (p == KING || p == KNIGHT || pathClear(k, to)) return 1;
    }

    const int t = lineStep(from - k);
    if (t != 0 && absolute(t) != absolute(lineStep(to - from)) && pathClear(k, from)) {
        const Square f = walk(from, t);
        if (f >= 0 && squares[f]->colour == c && hitsKing(f, k)) return 1;
    }

    if (move & MOVE_CASTLE) {
        const Square rook = to > from ? to - 1 : to + 1;
        return (attackKinds(rook - k) & ATTACK_ROOK) && pathClear(rook, k) ? 1 : 0;
    }
    if (move & MOVE_EN_PASSANT) {
        const Square v = enPassantVictim(from, to);
        const int tv = lineStep(v - k);
        if (tv != 0 && absolute(tv) != 16 && pathClear(v, k)) {
            const Square f = walk(v, tv);
            if (f >= 0 && squares[f]->colour == c && hitsKing(f, k)) return 1;
        }
    }
    return 0;
}

// Whether a move word from outside the generators (hash table, killers, book,
// input) fits the position. Besides the geometric tests, the word's flags must
// agree with the move it describes, since making a move trusts every field.
int Board::isPseudoLegal(Move move) const {
    if (move == NO_MOVE || (move >> 31) != 0) return 0;
    const Square from = moveFrom(move), to = moveTo(move);
    if (!onBoard(from) || !onBoard(to) || from == to) return 0;
    const int piece = movePiece(move);
    const PieceEntry* mover = squares[from];
    if (piece == NO_PIECE || mover->piece != piece || mover->colour != side) return 0;
    const PieceEntry* target = squares[to];
    const int them = side ^ 1;

    // Flags that only a pawn move may carry, and what a pawn move must carry.
    if (piece == PAWN) {
        if (!(move & MOVE_PAWN) || (move & MOVE_CASTLE)) return 0;
        const bool lastRank = rankOf(to) == (side == WHITE ? 7 : 0);
        if (lastRank != ((move & MOVE_PROMOTION) != 0)) return 0;
        const int promo = movePromotion(move);
        if (lastRank ? (promo < QUEEN || promo > KNIGHT) : promo != 0) return 0;
        if (((move & MOVE_DOUBLE_PUSH) != 0) != (to - from == 2 * PAWN_PUSH[side])) return 0;
    } else {
        if (move & (MOVE_PAWN | MOVE_PROMOTION | MOVE_DOUBLE_PUSH | MOVE_EN_PASSANT)) return 0;
        if (movePromotion(move) != 0) return 0;
        if ((move & MOVE_CASTLE) && chess960) {
            const int right = castlingRight(side, to > from);
            return move == castlingMove(right) && castlingReady960(right) && canCastle960(right) ? 1 : 0;
        }
        const bool castleShape = piece == KING && absolute(to - from) == 2;
        if (castleShape != ((move & MOVE_CASTLE) != 0)) return 0;
    }

    if (move & MOVE_CAPTURE) {
        if (move & MOVE_CASTLE) return 0;
        if (piece == PAWN && to != from + PAWN_CAPTURE[side][0] && to != from + PAWN_CAPTURE[side][1])
            return 0;
        if (move & MOVE_EN_PASSANT) {
            const Square v = enPassantVictim(from, to);
            return to == epSquare && target->piece == NO_PIECE && moveCaptured(move) == PAWN &&
                           squares[v]->piece == PAWN && squares[v]->colour == them
                       ? 1
                       : 0;
        }
        if (target->colour != them || target->piece != moveCaptured(move)) return 0;
        if (piece == PAWN) return 1;
        if (!(PIECE_BIT[piece] & attackKinds(to - from))) return 0;
        if (piece == KING || piece == KNIGHT) return 1;
        return pathClear(from, to) ? 1 : 0;
    }

    if (move & MOVE_EN_PASSANT) return 0;
    if (target->piece != NO_PIECE || moveCaptured(move) != 0) return 0;
    if (piece == PAWN) {
        if (to == from + PAWN_PUSH[side]) return 1;
        const bool fromSecondRank = rankOf(from) == (side == WHITE ? 1 : 6);
        return fromSecondRank && to == from + 2 * PAWN_PUSH[side] &&
                       squares[from + PAWN_PUSH[side]]->piece == NO_PIECE
                   ? 1
                   : 0;
    }
    if (move & MOVE_CASTLE) {
        const bool known =
            (side == WHITE && move == CASTLE_WHITE_KINGSIDE && castlingReady(WHITE_KINGSIDE)) ||
            (side == WHITE && move == CASTLE_WHITE_QUEENSIDE && castlingReady(WHITE_QUEENSIDE)) ||
            (side == BLACK && move == CASTLE_BLACK_KINGSIDE && castlingReady(BLACK_KINGSIDE)) ||
            (side == BLACK && move == CASTLE_BLACK_QUEENSIDE && castlingReady(BLACK_QUEENSIDE));
        return known ? canCastle(from, to) : 0;
    }
    if (!(PIECE_BIT[piece] & attackKinds(to - from))) return 0;
    if (piece == KING || piece == KNIGHT) return 1;
    return pathClear(from, to) ? 1 : 0;
}

bool Board::givesCheckBeforeMove(Move move) const {
    FM_ASSERT(isWellFormed(move) && !(move & (MOVE_EN_PASSANT | MOVE_PROMOTION | MOVE_CASTLE)));
    const Square from = moveFrom(move), to = moveTo(move);
    const int them = side ^ 1;
    const Square k = kingSquare(them);
    // Uncovered: the piece leaves the line on which it shielded the king from a slider.
    const int shielded = pinDirection(from, them);
    if (shielded != 0 && absolute(lineStep(to - from)) != absolute(shielded)) return true;
    // Direct: the piece attacks the king from its new square, its old one empty.
    const int piece = squares[from]->piece;
    if (piece == PAWN) return k - to == PAWN_CAPTURE[side][0] || k - to == PAWN_CAPTURE[side][1];
    if (piece == KING || !(PIECE_BIT[piece] & attackKinds(to - k))) return false;
    if (piece == KNIGHT) return true;
    return (between(square64(k), square64(to)) & occupied & ~(uint64_t{1} << square64(from))) == 0;
}
