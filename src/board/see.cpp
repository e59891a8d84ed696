// Static exchange evaluation. Each colour's attackers of the to-square are
// summarised in one byte; the exchange that follows is one table lookup.
#include "board/see.h"

#include <bit>
#include <mutex>

#include "board/bitboard.h"
#include "board/board.h"

std::array<int8_t, 256> cheapestValue;
std::array<uint8_t, 256> withoutCheapest;
int8_t swapTable[6][256][256];

namespace {

// Cheapest kind of a set byte, tested pawns, minors, rooks, queen, king.
void cheapestOf(int set, int& value, int& unit) {
    if (set >= 64)
        value = 1, unit = 64;
    else if (set >= 16)
        value = 3, unit = 16;
    else if (set >= 4)
        value = 5, unit = 4;
    else if (set >= 2)
        value = 9, unit = 2;
    else if (set == 1)
        value = 99, unit = 1;
    else
        value = 0, unit = 0;
}

// The exchange that follows once `piece` stands on the square: the defenders
// capture first, then the sides alternate with their cheapest kind until the
// side to capture has nothing left. The running sum is the first capturer's
// loss; `low` bounds it from the defenders' captures, `high` from the
// attackers' recaptures.
int exchangeLoss(int piece, int defenders, int attackers) {
    if (defenders == 0) return 0;
    if (attackers == 0) return EXCHANGE_VALUE[piece];
    int sum = 0, low = 10000, high = 0;
    int onSquare = EXCHANGE_VALUE[piece];
    bool defendersToCapture = true;
    for (;;) {
        if (defendersToCapture) {
            if (defenders == 0) break;
            sum += onSquare;
            if (sum < low) low = sum;
            onSquare = cheapestValue[defenders];
            defenders = withoutCheapest[defenders];
        } else {
            if (attackers == 0) break;
            sum -= onSquare;
            if (sum > high) high = sum;
            onSquare = cheapestValue[attackers];
            attackers = withoutCheapest[attackers];
        }
        defendersToCapture = !defendersToCapture;
    }
    if (defendersToCapture)
        low = sum > low ? sum : low;
    else
        high = sum > high ? sum : high;
    return high < low ? high : low;
}

// Entries are signed bytes. Only exchanges in which kings are taken leave that
// range; they keep their sign at the nearest representable value.
int8_t toByte(int value) { return static_cast<int8_t>(value > 127 ? 127 : value < -128 ? -128 : value); }

void fillSwapTable() {
    for (int set = 0; set < 256; ++set) {
        int value, unit;
        cheapestOf(set, value, unit);
        cheapestValue[set] = static_cast<int8_t>(value);
        withoutCheapest[set] = static_cast<uint8_t>(set - unit);
    }
    for (int piece = KING; piece <= PAWN; ++piece) {
        for (int d = 0; d < 256; ++d) {
            for (int a = 0; a < 256; ++a) swapTable[piece - 1][d][a] = toByte(exchangeLoss(piece, d, a));
        }
    }
}

} // namespace

// The tables depend on constants only, so a second call (a reloaded
// falkmere.ini re-initialises the evaluation) finds them built.
void buildSwapTable() {
    static std::once_flag built;
    std::call_once(built, fillSwapTable);
}

namespace {

// Attacker-set byte of one colour on t. Sliders look through pieces that
// join the same exchange behind them: a bishop through bishops and through
// its own pawn that attacks t, a rook through rooks, a queen through queens,
// through rooks on a rank or file, bishops on a diagonal and its own pawn
// that attacks t. The lines through t pick out the sliders that can reach it;
// a slider does when nothing but such pieces stands between.
uint8_t attackerSet(const Board& board, int colour, Square t) {
    const uint64_t* own = board.pieceBits[colour];
    const int t64 = square64(t);
    uint8_t set = 0;
    auto addEach = [&](uint64_t pieces, int unit) {
        for (; pieces; pieces &= pieces - 1) set = static_cast<uint8_t>(set + unit);
    };
    const uint64_t pawns = PAWN_ATTACKERS[colour][t64] & own[PAWN]; // own pawns that attack t
    addEach(pawns, 64);
    addEach(KNIGHT_TARGETS[t64] & own[KNIGHT], 16);
    // A slider reaches t when it is among t's own attacks through the board
    // without the pieces it looks through.
    const uint64_t bishops = board.pieceBits[WHITE][BISHOP] | board.pieceBits[BLACK][BISHOP];
    const uint64_t rooks = board.pieceBits[WHITE][ROOK] | board.pieceBits[BLACK][ROOK];
    const uint64_t queens = board.pieceBits[WHITE][QUEEN] | board.pieceBits[BLACK][QUEEN];
    const uint64_t diagonal = DIAGONAL_LINES[t64], orthogonal = ORTHOGONAL_LINES[t64];
    const uint64_t occupied = board.occupied;
    if (diagonal & own[BISHOP]) addEach(bishopAttacks(t64, occupied & ~(bishops | pawns)) & own[BISHOP], 16);
    if (orthogonal & own[ROOK]) addEach(rookAttacks(t64, occupied & ~rooks) & own[ROOK], 4);
    if (diagonal & own[QUEEN])
        addEach(bishopAttacks(t64, occupied & ~(queens | bishops | pawns)) & own[QUEEN], 2);
    if (orthogonal & own[QUEEN]) addEach(rookAttacks(t64, occupied & ~(queens | rooks)) & own[QUEEN], 2);
    if (KING_TARGETS[t64] & own[KING]) set += 1;
    return set;
}

// The exchange on the to-square, compiled in two versions (see BIT_COUNTING):
// the attacker sets count pieces bit by bit.
BIT_COUNTING int exchangeGain(const Board& board, Move move) {
    // A castle's square is the king's castled one (a Chess960 castle's to-square is its rook's).
    const Square t = (move & MOVE_CASTLE) ? castledKingSquare(move) : moveTo(move);
    const int piece = movePiece(move);
    FM_ASSERT(onBoard(t) && piece >= KING && piece <= PAWN);
    const uint8_t defenders = attackerSet(board, board.side ^ 1, t);
    int gain = EXCHANGE_VALUE[moveCaptured(move)];
    // With no defender there is no exchange: the table row of an empty defender set is all zero.
    if (defenders != 0) {
        uint8_t attackers = attackerSet(board, board.side, t);
        if (piece != PAWN || isCapture(move))
            attackers = static_cast<uint8_t>(attackers - ATTACKER_UNIT[piece]);
        gain -= swapTable[piece - 1][defenders][attackers];
    }
    if (isPromotion(move) && defenders == 0) gain += EXCHANGE_VALUE[movePromotion(move)];
    return gain * 100;
}

} // namespace

// Expected gain in centipawns for the side to move making `move`: the
// captured value less what the exchange on the to-square takes back. A
// promotion that nobody can answer also gains the new piece.
int Board::staticExchange(Move move) const {
    FM_ASSERT(isWellFormed(move));
    return exchangeGain(*this, move);
}
