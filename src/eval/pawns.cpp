// Pawn structure: rook pawns, doubled, isolated, backward and side-by-side
// pawns, and the files of passed pawns. The result depends on the pawns alone,
// so it is kept in the pawn cache under the pawn key.
#include "eval/evalterms.h"

using namespace evalbits;

namespace {

// Number of pawns among the attackers in an attack byte.
inline int pawnAttackers(uint8_t attacks) { return attacks >> 6; }

// The structure terms of one colour's pawns, in list order, and its passed files.
template <int Us>
int pawnStructureOf(const Board& b, const EvalScratch& sc, const EvalParams& p, uint8_t& passed) {
    constexpr int Them = Us ^ 1;
    constexpr int Push = PAWN_PUSH[Us];
    // More enemy pawns than own pawns attack the square.
    auto enemyPawnsRule = [&sc](Square s) {
        return pawnAttackers(sc.attackMap[Them][s]) > pawnAttackers(sc.attackMap[Us][s]);
    };
    auto holdsPawn = [&b](Square s) { return onBoard(s) && b.squares[s]->piece == PAWN; };
    int score = 0;
    passed = 0;
    for (const PieceEntry* e = b.pieceList[Us][PAWN]; e; e = e->next) {
        const Square s = e->square;
        const int f = fileOf(s), rank = rankOf(s), r = relativeRank(Us, s);
        const uint8_t adjacent = ADJACENT_FILES[f];
        const uint8_t ahead = ranksAhead(Us, rank);
        const uint8_t enemyOnFileAhead = sc.fileRanks(Them, f) & ahead;

        if (f == 0 || f == 7) score -= p.rookPawnPenalty;
        if (sc.fileRanks(Us, f) & ranksBehind(Us, rank)) {
            score -= p.doubledPenalty[f];
            if (enemyOnFileAhead) score -= p.doubledOpposedPenalty;
        }
        if (sc.pawnRankFiles[Us][rank] & adjacent) {
            score += p.sideBySideBonus;
        } else if (!(sc.pawnFiles[Us] & adjacent)) {
            score -= p.isolatedPenalty[f];
            if (!enemyOnFileAhead) score -= p.isolatedOpenPenalty;
        } else {
            // Backward: nothing on an adjacent file one rank behind, and no pawn
            // two ranks behind on an adjacent file that can step up beside it.
            const int behind1 = rank - Push / 16, behind2 = rank - 2 * (Push / 16);
            bool backward = !(behind1 >= 0 && behind1 < 8 && (sc.pawnRankFiles[Us][behind1] & adjacent));
            if (backward && behind2 >= 0 && behind2 < 8) {
                for (int g : {f - 1, f + 1}) {
                    if (g < 0 || g > 7 || !(sc.pawnRankFiles[Us][behind2] & (1 << g))) continue;
                    const Square front = makeSquare(g, behind1);
                    if (!holdsPawn(front) && !enemyPawnsRule(front)) backward = false;
                }
            }
            const Square stop = s + Push;
            if (backward && onBoard(stop)) {
                if (holdsPawn(stop)) {
                    score -= p.backwardPenalty[f];
                } else if (enemyPawnsRule(stop)) {
                    const Square two = stop + Push;
                    const bool canDoubleStep = r == 1 && !holdsPawn(two) && !enemyPawnsRule(two);
                    if (!canDoubleStep) {
                        score -= p.backwardPenalty[f];
                        if (!enemyOnFileAhead) score -= p.backwardOpenPenalty;
                    }
                }
            }
        }
        const uint8_t enemyFiles =
            sc.fileRanks(Them, f - 1) | sc.fileRanks(Them, f) | sc.fileRanks(Them, f + 1);
        if (!(enemyFiles & ahead)) passed |= static_cast<uint8_t>(1 << f);
    }
    return score;
}

} // namespace

int Evaluator::evalPawnStructure(const Board& board, uint8_t passedFiles[2]) {
    const int score = pawnStructureOf<WHITE>(board, scratch_, *params_, passedFiles[WHITE]) -
                      pawnStructureOf<BLACK>(board, scratch_, *params_, passedFiles[BLACK]);
    const PawnCacheData data{static_cast<int16_t>(score), {passedFiles[0], passedFiles[1]}, {0, 0, 0, 0}};
    caches_.pawn.store(static_cast<uint32_t>(board.pawnKey), static_cast<uint32_t>(board.pawnKey >> 32),
                       data);
    return board.side == WHITE ? score : -score;
}
