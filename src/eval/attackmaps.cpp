// Attack maps and mobility: one pass over the piece lists fills the attack
// bytes and pawn masks that every later term reads, and sums each piece's
// mobility (empty squares it attacks) and its adjustment by own pawn count.
#include <cstring>

#include "eval/evalterms.h"
#include "eval/weights.h"

namespace {

// Mobility by the number of empty squares attacked. The rook and queen tables
// end one short of the largest reachable counts (14 and 27); they continue by
// their own step.
constexpr int KNIGHT_MOBILITY[9] = {-16, -12, -8, -4, 0, 4, 8, 12, 16};
constexpr int BISHOP_MOBILITY[15] = {-30, -25, -20, -15, -10, -5, 0, 5, 10, 15, 20, 25, 30, 35, 40};
constexpr int ROOK_MOBILITY[15] = {-18, -15, -12, -9, -6, -3, 0, 3, 6, 9, 12, 15, 18, 21, 24};
constexpr int QUEEN_MOBILITY[28] = {-18, -16, -14, -12, -10, -8, -6, -4, -2, 0,  1,  2,  3,  4,
                                    5,   6,   7,   8,   9,   10, 11, 12, 13, 14, 15, 16, 17, 18};

// Material adjustment by the number of own pawns (0..8).
constexpr int KNIGHT_PAWN_ADJUST[9] = {-15, -12, -9, -6, -3, 0, 3, 6, 9};
constexpr int BISHOP_PAWN_ADJUST[9] = {15, 12, 9, 6, 3, 0, -3, -6, -9};
constexpr int ROOK_PAWN_ADJUST[9] = {25, 20, 15, 10, 5, 0, -5, -10, -15};

constexpr int DIAGONALS[4] = {17, -17, 15, -15};
constexpr int ORTHOGONALS[4] = {16, -16, 1, -1};

} // namespace

int Board::buildAttackMaps() {
    EvalScratch& sc = scratch;
    std::memset(sc.attackMap, 0, sizeof sc.attackMap);
    std::memset(sc.pawnRankFiles, 0, sizeof sc.pawnRankFiles);
    std::memset(sc.pawnFileRanks, 0, sizeof sc.pawnFileRanks);
    sc.pawnFiles[WHITE] = sc.pawnFiles[BLACK] = 0;
    int mobility[2] = {0, 0}, adjust[2] = {0, 0};

    // A slider's ray: every square up to and including the first piece is
    // attacked; the empty ones count for mobility.
    auto ray = [this](uint8_t* map, Square s, int d, int unit, int& count) {
        for (Square t = s + d; onBoard(t); t += d) {
            map[t] = static_cast<uint8_t>(map[t] + unit);
            if (squares[t]->piece != NO_PIECE) break;
            ++count;
        }
    };

    for (int c = WHITE; c <= BLACK; ++c) {
        uint8_t* map = sc.attackMap[c];
        for (const PieceEntry* e = pieceList[c][PAWN]; e; e = e->next) {
            const Square s = e->square;
            const int f = fileOf(s), r = rankOf(s);
            for (int offset : PAWN_CAPTURE[c]) {
                // Only a pawn on its last rank (set up from text) attacks off the array.
                if (onBoard(s + offset)) map[s + offset] = static_cast<uint8_t>(map[s + offset] + 64);
            }
            sc.pawnFiles[c] |= static_cast<uint8_t>(1 << f);
            sc.pawnRankFiles[c][r] |= static_cast<uint8_t>(1 << f);
            sc.fileRanks(c, f) |= static_cast<uint8_t>(1 << r);
        }
        const int ownPawns = clampIndex(pawnCount[c], 8);
        for (const PieceEntry* e = pieceList[c][KNIGHT]; e; e = e->next) {
            int count = 0;
            for (int offset : KNIGHT_OFFSETS) {
                const Square t = e->square + offset;
                if (!onBoard(t)) continue;
                map[t] = static_cast<uint8_t>(map[t] + 16);
                if (squares[t]->piece == NO_PIECE) ++count;
            }
            mobility[c] += KNIGHT_MOBILITY[count];
            adjust[c] += KNIGHT_PAWN_ADJUST[ownPawns];
        }
        for (const PieceEntry* e = pieceList[c][BISHOP]; e; e = e->next) {
            int count = 0;
            for (int d : DIAGONALS) ray(map, e->square, d, 16, count);
            mobility[c] += BISHOP_MOBILITY[count];
            adjust[c] += BISHOP_PAWN_ADJUST[ownPawns];
        }
        for (const PieceEntry* e = pieceList[c][ROOK]; e; e = e->next) {
            int count = 0;
            for (int d : ORTHOGONALS) ray(map, e->square, d, 4, count);
            mobility[c] += ROOK_MOBILITY[count];
            adjust[c] += ROOK_PAWN_ADJUST[ownPawns];
        }
        for (const PieceEntry* e = pieceList[c][QUEEN]; e; e = e->next) {
            int count = 0;
            for (int d : DIAGONALS) ray(map, e->square, d, 2, count);
            for (int d : ORTHOGONALS) ray(map, e->square, d, 2, count);
            mobility[c] += QUEEN_MOBILITY[count];
        }
    }
    for (int c = WHITE; c <= BLACK; ++c) {
        const Square k = kingSquare(c);
        for (int d : KING_STEPS) {
            if (onBoard(k + d)) sc.attackMap[c][k + d] = static_cast<uint8_t>(sc.attackMap[c][k + d] + 1);
        }
    }
    for (int c = WHITE; c <= BLACK; ++c) {
        sc.mobility[c] = adjust[c] + scaleBy(mobility[c], evalWeights.pieceMobility, 100);
    }
    return sc.mobility[side] - sc.mobility[side ^ 1];
}
