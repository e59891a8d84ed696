// King safety while enough material remains for an attack: the king-attack
// bonus from the enemy's control of the squares around the king, the pawn
// shield of a king on a wing, and the pawn storm against a king on the other
// wing.
#include <bit>
#include <tuple>

#include "board/bitboard.h"
#include "eval/evalterms.h"

using namespace evalbits;

namespace {

// The last index of the king-attack table.
constexpr int KING_ATTACK_LAST =
    static_cast<int>(std::tuple_size_v<decltype(EvalParams::kingAttackTable)>) - 1;
// The king-attack weight at which the table counts as it stands.
constexpr int KING_ATTACK_UNIT = 120;

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

void evalKingAttack(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        if (!underThreat(board, us)) continue;
        const int them = us ^ 1, push = PAWN_PUSH[us];
        const Square k = board.kingSquare(us);
        int index = p.kingZoneBase[relativeRank(us, k) * 8 + fileOf(k)];
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
        index = clampIndex(index + p.attackerKindsBonus[kindsCode(kinds)], KING_ATTACK_LAST);
        st.evalInfo[us == WHITE ? 2 : 1] = static_cast<uint8_t>(index);
        st.acc[them] += scaleBy(p.kingAttackTable[index], p.weights.kingAttack, KING_ATTACK_UNIT);
    }
}

void evalKingShield(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        if (!underThreat(board, us)) continue;
        const int kingFile = fileOf(board.kingSquare(us));
        int value = p.kingShieldCentre;
        if (kingFile <= 2 || kingFile >= 5) {
            const int corner = kingFile <= 2 ? 0 : 7, step = kingFile <= 2 ? 1 : -1;
            const int c = shieldDigit(sc, us, corner), m = shieldDigit(sc, us, corner + step),
                      k = shieldDigit(sc, us, corner + 2 * step);
            const int t = (p.kingShield[c + 4 * m + 16 * k] - p.kingShieldOffset) * p.kingShieldFactor;
            value = kingFile == 2 || kingFile == 5 ? (t + p.kingShieldCentre) / 2 : t;
        }
        st.acc[us] += (value * p.kingShieldScale[clampIndex(board.pieceMaterial[us ^ 1], 31)]) >> 5;
    }
}

// Own pawns advanced against an enemy king on the other wing: the relative
// ranks of the most advanced own pawn on the king's file and its neighbours.
void evalPawnStorm(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    const int whiteFile = fileOf(board.kingSquare(WHITE)), blackFile = fileOf(board.kingSquare(BLACK));
    if (whiteFile - blackFile <= 2 && blackFile - whiteFile <= 2) return;
    for (int us = WHITE; us <= BLACK; ++us) {
        const int target = us == WHITE ? blackFile : whiteFile;
        int sum = 0;
        for (int f = target - 1; f <= target + 1; ++f) {
            const uint8_t ranks = sc.fileRanks(us, f);
            if (ranks) sum += relativeRank(us, makeSquare(0, mostAdvancedRank(us, ranks)));
        }
        st.acc[us] += p.pawnStormStep * (sum - p.pawnStormBase);
    }
}
