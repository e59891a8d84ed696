// King safety while enough material remains for an attack: the king-attack
// bonus from the enemy's control of the squares around the king, the pawn
// shield of a king on a wing, and the pawn storm against a king on the other
// wing.
#include <bit>

#include "board/bitboard.h"
#include "eval/evalterms.h"
#include "eval/weights.h"

using namespace evalbits;

namespace {

// Base of the king-attack index by the king's square (white's view, rank 1 first).
// clang-format off
constexpr int KING_ZONE_BASE[8][8] = {
    {2, 0, 0, 0, 0, 0, 0, 2},
    {2, 1, 1, 1, 1, 1, 1, 2},
    {4, 3, 3, 3, 3, 3, 3, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4}};
// clang-format on

// By the kinds of attacker present: 16 king, 8 queen, 4 rook, 2 minor, 1 pawn.
constexpr int ATTACKER_KINDS_BONUS[32] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 2, 2, 2, 3, 3, 3,
                                          0, 0, 0, 0, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};

constexpr int KING_ATTACK_LAST = 39;
constexpr int KING_ATTACK_TABLE[KING_ATTACK_LAST + 1] = {
    0,   2,   3,   6,   12,  18,  25,  37,  50,  75,  100, 125, 150, 175, 200, 225, 250, 275, 300, 325,
    350, 375, 400, 425, 450, 475, 500, 525, 550, 575, 600, 600, 600, 600, 600, 600, 600, 600, 600, 600};

// By the shield digits c + 4m + 16k of the corner, middle and centre-side
// files; one line per k, four groups of m, c running within a group.
// clang-format off
constexpr int SHIELD_TABLE[64] = {
    0, 12,  7,  4,   12, 24, 19, 16,    5, 15, 10, 10,    3, 10, 10, 10,
    7, 10,  9,  9,   19, 31, 28, 23,   12, 24, 20, 17,    9, 17, 17, 17,
    4, 10,  9,  9,   16, 28, 23, 17,   14, 19, 15, 15,    9, 15, 15, 15,
    2,  9,  8,  8,   12, 26, 24, 18,   10, 16, 16, 16,    9,  9,  8,  8};
// clang-format on

// By the enemy's piece material, 0..31.
constexpr int SHIELD_SCALE[32] = {0,  0,  0,  0,  0,  0,  0,  0,  8,  16, 16, 16, 24, 24, 28, 28,
                                  28, 28, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32};

// The attacker kinds present in an OR of attack bytes, as a 5-bit code.
int kindsCode(uint8_t kinds) {
    return (kinds & 0x01 ? 16 : 0) | (kinds & 0x02 ? 8 : 0) | (kinds & 0x0C ? 4 : 0) |
           (kinds & 0x30 ? 2 : 0) | (kinds & 0xC0 ? 1 : 0);
}

// The king of `us` can be attacked: the enemy has a queen and more than a lone queen.
bool underThreat(const Board& b, int us) {
    const int them = us ^ 1;
    return b.pieceCount[them][QUEEN] > 0 && b.pieceMaterial[them] != 9;
}

// Shield digit of a file: the relative rank of the rearmost own pawn when it
// stands on the second to fourth rank, else 0.
int shieldDigit(const EvalScratch& sc, int us, int f) {
    const uint8_t ranks = sc.fileRanks(us, f);
    const int digit = us == WHITE ? LOWEST_BIT[ranks] : 7 - HIGHEST_BIT[ranks];
    return digit < 0 || digit >= 4 ? 0 : digit;
}

} // namespace

void evalKingAttack(const Board& board, const EvalScratch& sc, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        if (!underThreat(board, us)) continue;
        const int them = us ^ 1, push = PAWN_PUSH[us];
        const Square k = board.kingSquare(us);
        int index = KING_ZONE_BASE[relativeRank(us, k)][fileOf(k)];
        uint8_t kinds = 0;
        for (int d : {-1, 0, 1}) {
            if (onBoard(k + 2 * push + d)) kinds |= sc.attackMap[them][k + 2 * push + d];
        }
        // The neighbours the enemy attacks.
        for (uint64_t b = KING_TARGETS[square64(k)] & sc.attacked[them]; b; b &= b - 1) {
            const Square n = square0x88(std::countr_zero(b));
            kinds |= sc.attackMap[them][n];
            ++index;
            const int d = n - k;
            const bool inFront = d == push - 1 || d == push || d == push + 1;
            if (inFront && board.squares[n]->colour != us) ++index;
            if (sc.attackMap[us][n] == 1) ++index;
        }
        index = clampIndex(index + ATTACKER_KINDS_BONUS[kindsCode(kinds)], KING_ATTACK_LAST);
        st.evalInfo[us == WHITE ? 2 : 1] = static_cast<uint8_t>(index);
        st.acc[them] += scaleBy(KING_ATTACK_TABLE[index], evalWeights.kingAttack, 120);
    }
}

void evalKingShield(const Board& board, const EvalScratch& sc, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        if (!underThreat(board, us)) continue;
        const int kingFile = fileOf(board.kingSquare(us));
        int value = -30;
        if (kingFile <= 2 || kingFile >= 5) {
            const int corner = kingFile <= 2 ? 0 : 7, step = kingFile <= 2 ? 1 : -1;
            const int c = shieldDigit(sc, us, corner), m = shieldDigit(sc, us, corner + step),
                      k = shieldDigit(sc, us, corner + 2 * step);
            const int t = (SHIELD_TABLE[c + 4 * m + 16 * k] - 20) * 3;
            value = kingFile == 2 || kingFile == 5 ? (t - 30) / 2 : t;
        }
        st.acc[us] += (value * SHIELD_SCALE[clampIndex(board.pieceMaterial[us ^ 1], 31)]) >> 5;
    }
}

// Own pawns advanced against an enemy king on the other wing: the relative
// ranks of the most advanced own pawn on the king's file and its neighbours.
void evalPawnStorm(const Board& board, const EvalScratch& sc, EvalState& st) {
    const int whiteFile = fileOf(board.kingSquare(WHITE)), blackFile = fileOf(board.kingSquare(BLACK));
    if (whiteFile - blackFile <= 2 && blackFile - whiteFile <= 2) return;
    for (int us = WHITE; us <= BLACK; ++us) {
        const int target = us == WHITE ? blackFile : whiteFile;
        int sum = 0;
        for (int f = target - 1; f <= target + 1; ++f) {
            const uint8_t ranks = sc.fileRanks(us, f);
            if (ranks) sum += relativeRank(us, makeSquare(0, mostAdvancedRank(us, ranks)));
        }
        st.acc[us] += 5 * (sum - 6);
    }
}
