// Pseudo-legal move generation in the engine's fixed order: piece lists in list
// order, directions in table order. The order decides the search's move order.
#include <bit>

#include "board/bitboard.h"
#include "board/board.h"

namespace {

// Each piece adds at most 27 moves (a queen; a pawn adds 12, a king 10). The
// generators stop before a piece that could overflow the list, which only
// made-up positions with many pieces can reach.
constexpr int ROOM_PER_PIECE = 28;
inline bool full(int count) { return count > MAX_MOVES - ROOM_PER_PIECE; }

inline Move quiet(Square from, Square to, int piece) { return buildMove(from, to, piece); }
inline Move capture(Square from, Square to, int piece, int captured) {
    return buildMove(from, to, piece, captured, 0, MOVE_CAPTURE);
}
inline Move pawnPush(Square from, Square to) { return buildMove(from, to, PAWN, 0, 0, MOVE_PAWN); }
inline Move doublePush(Square from, Square to) {
    return buildMove(from, to, PAWN, 0, 0, MOVE_PAWN | MOVE_DOUBLE_PUSH);
}
inline Move pawnCapture(Square from, Square to, int captured) {
    return buildMove(from, to, PAWN, captured, 0, MOVE_PAWN | MOVE_CAPTURE);
}
inline Move promotion(Square from, Square to, int captured, int promo) {
    return buildMove(from, to, PAWN, captured, promo,
                     MOVE_PAWN | MOVE_PROMOTION | (captured ? uint32_t{MOVE_CAPTURE} : 0u));
}
inline Move enPassant(Square from, Square to) {
    return buildMove(from, to, PAWN, PAWN, 0, MOVE_PAWN | MOVE_CAPTURE | MOVE_EN_PASSANT);
}

inline int seventhRank(int colour) { return colour == WHITE ? 6 : 1; }
inline int secondRank(int colour) { return colour == WHITE ? 1 : 6; }

// The bitboard rays by the 0x88 step they run along (step + 17).
constexpr std::array<int8_t, 35> RAY_OF_STEP = [] {
    std::array<int8_t, 35> t{};
    for (int r = 0; r < 8; ++r)
        t[bitboard_detail::RAY_STEPS[r][1] * 16 + bitboard_detail::RAY_STEPS[r][0] + 17] = r;
    return t;
}();
static_assert(RAY_OF_STEP[17 + 17] == 2 && RAY_OF_STEP[-15 + 17] == 7);

inline uint64_t piecesOf(const Board& b, int colour) {
    const uint64_t* bits = b.pieceBits[colour];
    return bits[KING] | bits[QUEEN] | bits[ROOK] | bits[BISHOP] | bits[KNIGHT] | bits[PAWN];
}

// `targets` holds the enemy pieces the slider attacks: at most one on each ray,
// the ray's first piece. They are added ray by ray, in table order.
template <typename Rays>
inline void sliderCaptures(const Board& b, Square s, int piece, const Rays& rays, uint64_t targets,
                           Move* moves, int& count) {
    if (targets == 0) return;
    const int s64 = square64(s);
    for (int d : rays) {
        const uint64_t onRay = targets & bitboard_detail::RAYS[RAY_OF_STEP[d + 17]][s64];
        if (onRay == 0) continue;
        const Square t = square0x88(std::countr_zero(onRay));
        moves[count++] = capture(s, t, piece, b.squares[t]->piece);
    }
}

template <typename Rays>
inline void sliderQuiets(const Board& b, Square s, int piece, const Rays& rays, Move* moves, int& count) {
    for (int d : rays) {
        for (Square t = s + d; onBoard(t) && b.squares[t]->piece == NO_PIECE; t += d)
            moves[count++] = quiet(s, t, piece);
    }
}

} // namespace

void Board::generateCaptures(Move* moves, int& count) const {
    FM_ASSERT(moves != nullptr && count >= 0 && count <= MAX_MOVES);
    const int us = side, them = side ^ 1;
    const uint64_t enemies = piecesOf(*this, them);

    // A piece whose target set holds no enemy is passed over; the others are
    // walked in table order, which keeps the order of the moves.
    for (const PieceEntry* e = pieceList[us][PAWN]; e; e = e->next) {
        if (full(count)) return;
        const Square s = e->square;
        const bool seventh = rankOf(s) == seventhRank(us);
        // A pawn's targets are the squares from which an enemy pawn would attack it.
        if (!seventh && !(PAWN_ATTACKERS[them][square64(s)] & enemies)) continue;
        for (int offset : PAWN_CAPTURE[us]) {
            const Square t = s + offset;
            if (!onBoard(t) || squares[t]->colour != them) continue;
            const int captured = squares[t]->piece;
            if (seventh) {
                for (int promo : {QUEEN, KNIGHT, ROOK, BISHOP})
                    moves[count++] = promotion(s, t, captured, promo);
            } else {
                moves[count++] = pawnCapture(s, t, captured);
            }
        }
        if (seventh && squares[s + PAWN_PUSH[us]]->piece == NO_PIECE)
            moves[count++] = promotion(s, s + PAWN_PUSH[us], 0, QUEEN);
    }

    generateEnPassant(moves, count);

    for (const PieceEntry* e = pieceList[us][KNIGHT]; e; e = e->next) {
        if (full(count)) return;
        if (!(KNIGHT_TARGETS[square64(e->square)] & enemies)) continue;
        for (int offset : KNIGHT_OFFSETS) {
            const Square t = e->square + offset;
            if (onBoard(t) && squares[t]->colour == them)
                moves[count++] = capture(e->square, t, KNIGHT, squares[t]->piece);
        }
    }
    for (const PieceEntry* e = pieceList[us][BISHOP]; e; e = e->next) {
        if (full(count)) return;
        const uint64_t targets = bishopAttacks(square64(e->square), occupied) & enemies;
        sliderCaptures(*this, e->square, BISHOP, BISHOP_RAYS, targets, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][ROOK]; e; e = e->next) {
        if (full(count)) return;
        const uint64_t targets = rookAttacks(square64(e->square), occupied) & enemies;
        sliderCaptures(*this, e->square, ROOK, ROOK_RAYS, targets, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][QUEEN]; e; e = e->next) {
        if (full(count)) return;
        const int s64 = square64(e->square);
        const uint64_t targets = (bishopAttacks(s64, occupied) | rookAttacks(s64, occupied)) & enemies;
        sliderCaptures(*this, e->square, QUEEN, QUEEN_RAYS, targets, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][KING]; e; e = e->next) {
        if (full(count)) return;
        if (!(KING_TARGETS[square64(e->square)] & enemies)) continue;
        for (int step : KING_STEPS) {
            const Square t = e->square + step;
            if (onBoard(t) && squares[t]->colour == them)
                moves[count++] = capture(e->square, t, KING, squares[t]->piece);
        }
    }
}

// En-passant captures onto epSquare. The square must be empty and the pawn to be
// taken must stand behind it: a square read from text is not trusted further.
void Board::generateEnPassant(Move* moves, int& count) const {
    if (epSquare == 0) return;
    const int us = side;
    const Square victim = epSquare - PAWN_PUSH[us];
    if (squares[epSquare]->piece != NO_PIECE || !onBoard(victim) || squares[victim]->piece != PAWN ||
        squares[victim]->colour != (us ^ 1))
        return;
    for (int offset : PAWN_CAPTURE[us]) {
        const Square f = epSquare - offset;
        if (onBoard(f) && squares[f]->piece == PAWN && squares[f]->colour == us)
            moves[count++] = enPassant(f, epSquare);
    }
}

void Board::generateQuiet(Move* moves, int& count) const {
    FM_ASSERT(moves != nullptr && count >= 0 && count <= MAX_MOVES);
    const int us = side;

    if (chess960) {
        generateCastles960(moves, count);
    } else if (us == WHITE) {
        if (castlingReady(WHITE_KINGSIDE) && canCastle(E1, G1)) moves[count++] = CASTLE_WHITE_KINGSIDE;
        if (castlingReady(WHITE_QUEENSIDE) && canCastle(E1, C1)) moves[count++] = CASTLE_WHITE_QUEENSIDE;
    } else {
        if (castlingReady(BLACK_KINGSIDE) && canCastle(E8, G8)) moves[count++] = CASTLE_BLACK_KINGSIDE;
        if (castlingReady(BLACK_QUEENSIDE) && canCastle(E8, C8)) moves[count++] = CASTLE_BLACK_QUEENSIDE;
    }

    for (const PieceEntry* e = pieceList[us][KNIGHT]; e; e = e->next) {
        if (full(count)) return;
        for (int offset : KNIGHT_OFFSETS) {
            const Square t = e->square + offset;
            if (onBoard(t) && squares[t]->piece == NO_PIECE) moves[count++] = quiet(e->square, t, KNIGHT);
        }
    }
    for (const PieceEntry* e = pieceList[us][BISHOP]; e; e = e->next) {
        if (full(count)) return;
        sliderQuiets(*this, e->square, BISHOP, BISHOP_RAYS, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][ROOK]; e; e = e->next) {
        if (full(count)) return;
        sliderQuiets(*this, e->square, ROOK, ROOK_RAYS, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][QUEEN]; e; e = e->next) {
        if (full(count)) return;
        sliderQuiets(*this, e->square, QUEEN, QUEEN_RAYS, moves, count);
    }
    for (const PieceEntry* e = pieceList[us][KING]; e; e = e->next) {
        if (full(count)) return;
        for (int step : KING_STEPS) {
            const Square t = e->square + step;
            if (onBoard(t) && squares[t]->piece == NO_PIECE) moves[count++] = quiet(e->square, t, KING);
        }
    }
    const int push = PAWN_PUSH[us];
    for (const PieceEntry* e = pieceList[us][PAWN]; e; e = e->next) {
        if (full(count)) return;
        const Square s = e->square;
        const Square t = s + push;
        if (!onBoard(t) || squares[t]->piece != NO_PIECE) continue;
        if (rankOf(s) == seventhRank(us)) {
            for (int promo : {KNIGHT, ROOK, BISHOP}) moves[count++] = promotion(s, t, 0, promo);
            continue;
        }
        moves[count++] = pawnPush(s, t);
        if (rankOf(s) == secondRank(us) && squares[t + push]->piece == NO_PIECE)
            moves[count++] = doublePush(s, t + push);
    }
}

// King side first, as in standard chess.
void Board::generateCastles960(Move* moves, int& count) const {
    for (bool kingSide : {true, false}) {
        const int right = castlingRight(side, kingSide);
        if (castlingReady960(right) && canCastle960(right)) moves[count++] = castlingMove(right);
    }
}

void Board::generateAll(Move* moves, int& count) const {
    FM_ASSERT(moves != nullptr && count >= 0 && count <= MAX_MOVES);
    generateQuiet(moves, count);
    generateCaptures(moves, count);
}

// Captures (promotions only to a queen) and quiet moves that give check, found
// from the geometry tables without making moves.
void Board::generateChecksAndCaptures(Move* moves, int& count) const {
    FM_ASSERT(moves != nullptr && count >= 0 && count <= MAX_MOVES);
    const int us = side, them = side ^ 1;
    const int push = PAWN_PUSH[us];
    const Square k = kingSquare(them);

    // 1. Pawn pushes onto a square from which the pawn attacks the king.
    for (int offset : PAWN_CAPTURE[us]) {
        const Square t = k - offset;
        const Square f = t - push;
        if (!onBoard(t) || !onBoard(f) || squares[t]->piece != NO_PIECE) continue;
        if (squares[f]->piece == PAWN && squares[f]->colour == us) {
            moves[count++] = pawnPush(f, t);
        } else if (squares[f]->piece == NO_PIECE && rankOf(f) == (us == WHITE ? 2 : 5) &&
                   squares[f - push]->piece == PAWN && squares[f - push]->colour == us) {
            moves[count++] = doublePush(f - push, t);
        }
    }

    // 2. Pawns: captures, queen promotions and pushes that uncover a check.
    // Target sets with no enemy in them spare the square-by-square tests.
    const uint64_t enemies = piecesOf(*this, them);
    const int k64 = square64(k);
    for (const PieceEntry* e = pieceList[us][PAWN]; e; e = e->next) {
        if (full(count)) return;
        const Square s = e->square;
        const bool seventh = rankOf(s) == seventhRank(us);
        if (PAWN_ATTACKERS[them][square64(s)] & enemies) {
            for (int offset : PAWN_CAPTURE[us]) {
                const Square t = s + offset;
                if (!onBoard(t) || squares[t]->colour != them) continue;
                moves[count++] = seventh ? promotion(s, t, squares[t]->piece, QUEEN)
                                         : pawnCapture(s, t, squares[t]->piece);
            }
        }
        if (seventh && squares[s + push]->piece == NO_PIECE)
            moves[count++] = promotion(s, s + push, 0, QUEEN);
        const int d = pinDirection(s, them);
        if (d != 0 && d != -push) {
            const Square t = s + push;
            if (onBoard(t) && squares[t]->piece == NO_PIECE && rankOf(t) != 0 && rankOf(t) != 7) {
                moves[count++] = pawnPush(s, t);
                if (rankOf(s) == secondRank(us) && squares[t + push]->piece == NO_PIECE)
                    moves[count++] = doublePush(s, t + push);
            }
        }
    }

    // 3. En passant.
    generateEnPassant(moves, count);

    // 4. Knights. A knight that does not shield a line to the king and reaches
    // neither an enemy nor an empty square that checks adds nothing.
    const uint64_t knightChecks = KNIGHT_TARGETS[k64] & ~occupied;
    for (const PieceEntry* e = pieceList[us][KNIGHT]; e; e = e->next) {
        if (full(count)) return;
        const Square s = e->square;
        const int disc = pinDirection(s, them);
        if (disc == 0 && !(KNIGHT_TARGETS[square64(s)] & (enemies | knightChecks))) continue;
        for (int offset : KNIGHT_OFFSETS) {
            const Square t = s + offset;
            if (!onBoard(t)) continue;
            if (squares[t]->colour == them)
                moves[count++] = capture(s, t, KNIGHT, squares[t]->piece);
            else if (squares[t]->piece == NO_PIECE && (disc != 0 || (attackKinds(t - k) & ATTACK_KNIGHT)))
                moves[count++] = quiet(s, t, KNIGHT);
        }
    }

    // 5. Bishops, rooks, queens. A quiet move checks when it lands on a line of
    // its kind that is clear to the king; a piece that shields a line to the
    // king checks by any move. Moves are added ray by ray, outwards.
    const uint64_t diagonalChecks = bishopAttacks(k64, occupied),
                   orthogonalChecks = rookAttacks(k64, occupied);
    auto sliders = [&](int piece, const auto& rays) {
        const bool diagonal = piece != ROOK, orthogonal = piece != BISHOP;
        const uint64_t checks = (diagonal ? diagonalChecks : 0) | (orthogonal ? orthogonalChecks : 0);
        for (const PieceEntry* e = pieceList[us][piece]; e; e = e->next) {
            if (full(count)) return false;
            const Square s = e->square;
            const int s64 = square64(s);
            const uint64_t attacks =
                (diagonal ? bishopAttacks(s64, occupied) : 0) | (orthogonal ? rookAttacks(s64, occupied) : 0);
            const uint64_t captures = attacks & enemies;
            uint64_t quiets = attacks & ~occupied;
            if (pinDirection(s, them) == 0) quiets &= checks;
            if ((quiets | captures) == 0) continue;
            for (int d : rays) {
                const int ray = RAY_OF_STEP[d + 17];
                const uint64_t line = bitboard_detail::RAYS[ray][s64];
                for (uint64_t q = quiets & line; q;) {
                    const int t64 = ray < 4 ? std::countr_zero(q) : 63 - std::countl_zero(q);
                    q ^= uint64_t{1} << t64;
                    moves[count++] = quiet(s, square0x88(t64), piece);
                }
                if (const uint64_t c = captures & line) {
                    const Square t = square0x88(std::countr_zero(c));
                    moves[count++] = capture(s, t, piece, squares[t]->piece);
                }
            }
        }
        return true;
    };
    if (!sliders(BISHOP, BISHOP_RAYS) || !sliders(ROOK, ROOK_RAYS) || !sliders(QUEEN, QUEEN_RAYS)) return;

    // 6. The king: captures, and steps off a line it shields.
    if (full(count)) return;
    const Square ks = kingSquare(us);
    const int disc = pinDirection(ks, them);
    for (int step : KING_STEPS) {
        const Square t = ks + step;
        if (!onBoard(t)) continue;
        if (squares[t]->colour == them)
            moves[count++] = capture(ks, t, KING, squares[t]->piece);
        else if (squares[t]->piece == NO_PIECE && disc != 0 && step != disc && step != -disc)
            moves[count++] = quiet(ks, t, KING);
    }
}
