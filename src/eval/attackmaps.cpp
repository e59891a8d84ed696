// Attack maps and mobility: from the bitboards, the attack bytes and pawn masks
// that every later term reads; over the piece lists, each piece's mobility
// (empty squares it attacks) and its adjustment by own pawn count.
#include <array>

#include "board/bitboard.h"

#include "eval/evalterms.h"

namespace {

// Attack bytes of one colour as eight bit planes: plane i holds bit i of every
// square's byte. Adding a set of squares at a unit of 2^Low ripples a carry up
// from plane Low; a carry out of plane 7 is dropped, as the byte sums drop it.
struct AttackPlanes {
    std::array<uint64_t, 8> plane{};

    template <int Low> void add(uint64_t squares) {
        for (int i = Low; i < 8; ++i) {
            const uint64_t carry = plane[i] & squares;
            plane[i] ^= squares;
            squares = carry;
        }
    }
    // The squares whose byte is not zero: every square the colour attacks.
    uint64_t any() const {
        return plane[0] | plane[1] | plane[2] | plane[3] | plane[4] | plane[5] | plane[6] | plane[7];
    }
    void writeTo(uint8_t* map) const;
};

// One step of a block transpose over the eight words: for each pair (j, j +
// distance) the blocks that the mask leaves out of w[j] (shifted down by
// `shift`) change places with the blocks the mask keeps in w[j + distance].
inline void exchangeBlocks(std::array<uint64_t, 8>& w, int distance, int shift, uint64_t lowMask) {
    for (int j = 0; j < 8; ++j) {
        if (j & distance) continue;
        const uint64_t t = ((w[j] >> shift) ^ w[j + distance]) & lowMask;
        w[j + distance] ^= t;
        w[j] ^= t << shift;
    }
}

// Transposes the 8 x 8 matrix of bits whose element (i, j) is bit 8i + j.
uint64_t transposeBits(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x ^= t ^ (t << 28);
    return x;
}

// Within each byte lane, bit j of word i changes places with bit i of word j:
// word f then holds, in byte r, the attack byte of the square on rank r and
// file f. Transposing the bytes of the eight words then gives word r the
// attack bytes of rank r, file f in byte f.
void AttackPlanes::writeTo(uint8_t* map) const {
    std::array<uint64_t, 8> w = plane;
    exchangeBlocks(w, 4, 4, 0x0F0F0F0F0F0F0F0FULL);
    exchangeBlocks(w, 2, 2, 0x3333333333333333ULL);
    exchangeBlocks(w, 1, 1, 0x5555555555555555ULL);
    exchangeBlocks(w, 4, 32, 0x00000000FFFFFFFFULL);
    exchangeBlocks(w, 2, 16, 0x0000FFFF0000FFFFULL);
    exchangeBlocks(w, 1, 8, 0x00FF00FF00FF00FFULL);
    for (int r = 0; r < 8; ++r) {
        for (int f = 0; f < 8; ++f) map[r * 16 + f] = static_cast<uint8_t>(w[r] >> (8 * f));
    }
}

// The maps of `board`, compiled in two versions (see BIT_COUNTING).
BIT_COUNTING int buildMaps(const Board& board, EvalScratch& sc, const EvalParams& p) {
    // The planes write every on-board byte of the maps; the off-board ones stay
    // zero from the evaluator's construction, as nothing writes them.
    int mobility[2] = {0, 0}, adjust[2] = {0, 0};
    const uint64_t occupied = board.occupied, empty = ~occupied;

    for (int c = WHITE; c <= BLACK; ++c) {
        AttackPlanes planes;
        // Pawn masks: byte r of the pawn bitboard is rank r's files, byte f of
        // its transpose file f's ranks.
        const uint64_t pawns = board.pieceBits[c][PAWN], pawnsByFile = transposeBits(pawns);
        uint64_t files = pawns | (pawns >> 32);
        files |= files >> 16;
        sc.pawnFiles[c] = static_cast<uint8_t>(files | (files >> 8));
        for (int i = 0; i < 8; ++i) {
            sc.pawnRankFiles[c][i] = static_cast<uint8_t>(pawns >> (8 * i));
            sc.fileRanks(c, i) = static_cast<uint8_t>(pawnsByFile >> (8 * i));
        }
        // A pawn on its last rank (set up from text) attacks nothing on the board.
        const uint64_t towardsA = pawns & ~FILE_A_BITS, towardsH = pawns & ~FILE_H_BITS;
        planes.add<6>(c == WHITE ? towardsA << 7 : towardsA >> 9);
        planes.add<6>(c == WHITE ? towardsH << 9 : towardsH >> 7);

        const int ownPawns = clampIndex(board.pawnCount[c], 8);
        for (const PieceEntry* e = board.pieceList[c][KNIGHT]; e; e = e->next) {
            const uint64_t targets = KNIGHT_TARGETS[square64(e->square)];
            planes.add<4>(targets);
            mobility[c] += p.knightMobility[countBits(targets & empty)];
            adjust[c] += p.knightPawnAdjust[ownPawns];
        }
        for (const PieceEntry* e = board.pieceList[c][BISHOP]; e; e = e->next) {
            const uint64_t targets = bishopAttacks(square64(e->square), occupied);
            planes.add<4>(targets);
            mobility[c] += p.bishopMobility[countBits(targets & empty)];
            adjust[c] += p.bishopPawnAdjust[ownPawns];
        }
        for (const PieceEntry* e = board.pieceList[c][ROOK]; e; e = e->next) {
            const uint64_t targets = rookAttacks(square64(e->square), occupied);
            planes.add<2>(targets);
            mobility[c] += p.rookMobility[countBits(targets & empty)];
            adjust[c] += p.rookPawnAdjust[ownPawns];
        }
        for (const PieceEntry* e = board.pieceList[c][QUEEN]; e; e = e->next) {
            const int s = square64(e->square);
            const uint64_t targets = bishopAttacks(s, occupied) | rookAttacks(s, occupied);
            planes.add<1>(targets);
            mobility[c] += p.queenMobility[countBits(targets & empty)];
        }
        planes.add<0>(KING_TARGETS[square64(board.kingSquare(c))]);
        sc.attacked[c] = planes.any();
        planes.writeTo(sc.attackMap[c]);
    }
    for (int c = WHITE; c <= BLACK; ++c) {
        sc.mobility[c] = adjust[c] + scaleBy(mobility[c], p.weights.pieceMobility, 100);
    }
    return sc.mobility[board.side] - sc.mobility[board.side ^ 1];
}

} // namespace

int Evaluator::buildAttackMaps(const Board& board) { return buildMaps(board, scratch_, *params_); }
