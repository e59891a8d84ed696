// Passed pawns and pawn endings: the dynamic value of each passed pawn (stop
// square, king distances, connected, protected and outside passers, the
// square rule), the race between runaway pawns, king distances in pure pawn
// endings and the candidate passer of a pawn majority.
#include "eval/evalterms.h"

using namespace evalbits;

namespace {

// By the opponent's piece material, 0..32.
inline int outsidePassedBonus(const EvalParams& p, int opponentMaterial) {
    return p.outsidePassedBonus[clampIndex(opponentMaterial, 32)];
}

inline bool occupiedAt(const Board& b, Square s) { return b.squares[s]->piece != NO_PIECE; }

inline bool nothingBetween(uint64_t occupancy, Square a, Square b) {
    return (between(square64(a), square64(b)) & occupancy) == 0;
}

// Square of the most advanced pawn of `colour` on file f (the file must hold one).
inline Square mostAdvancedPawn(const EvalScratch& sc, int colour, int f) {
    return makeSquare(f, mostAdvancedRank(colour, sc.fileRanks(colour, f)));
}

inline Square promotionSquare(int colour, Square pawn) {
    return makeSquare(fileOf(pawn), colour == WHITE ? 7 : 0);
}

// Stop-square adjustment of a passed pawn of `Us` on s, relative rank r.
int blockade(const Board& b, const EvalScratch& sc, const EvalParams& p, int us, Square s, int r) {
    const int push = PAWN_PUSH[us];
    const Square stop = s + push;
    if (!onBoard(stop)) return 0;
    const int penalty = p.passedBlockPenalty[r];
    if (occupiedAt(b, stop)) return penalty;
    if (r == 6) return unsafeForPawn(sc, us, stop) ? penalty / p.passedStopUnsafeDivisor : 0;
    if (r > 6) return 0;
    const Square two = stop + push;
    if (occupiedAt(b, two)) return penalty / p.passedTwoBlockedDivisor;
    if (unsafeForPawn(sc, us, stop)) return penalty / p.passedStopUnsafeDivisor;
    if (unsafeForPawn(sc, us, two)) return penalty / p.passedTwoUnsafeDivisor;
    return 0;
}

// A neighbour file's most advanced pawn stands level with the passer or one
// rank behind it.
bool connectedWith(const EvalScratch& sc, int us, int g, int r) {
    const uint8_t ranks = sc.fileRanks(us, g);
    if (!ranks) return false;
    const int neighbour = relativeRank(us, makeSquare(g, mostAdvancedRank(us, ranks)));
    return neighbour == r || neighbour == r - 1;
}

template <int Us>
void passedPawnsOf(const Board& b, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    constexpr int Them = Us ^ 1;
    const Square enemyKing = b.kingSquare(Them);
    const int enemyMaterial = b.pieceMaterial[Them];
    const uint8_t ownFiles = sc.pawnFiles[Us], enemyFiles = sc.pawnFiles[Them];
    const bool wideSpread = HIGHEST_BIT[ownFiles] > LOWEST_BIT[ownFiles] + 3 && enemyFiles != 0;
    // Both colours visit their files from h to a, so that ties between
    // runaway pawns fall on the same file for either colour.
    for (uint8_t files = st.passedFiles[Us]; files;
         files &= static_cast<uint8_t>(~(1 << HIGHEST_BIT[files]))) {
        const int f = HIGHEST_BIT[files];
        const Square s = mostAdvancedPawn(sc, Us, f);
        const int r = relativeRank(Us, s);
        int bonus = p.passedBonus[r] - blockade(b, sc, p, Us, s, r);

        if (st.ending) {
            if (sc.attackMap[Us][s] & 1) bonus += p.passedKingSupport * r;
            st.acc[Us] += (31 - enemyMaterial) * p.passedEnemyKingDistance * distance(enemyKing, s) / 31;
        }
        const bool neighbourPasser = st.passedFiles[Us] & ADJACENT_FILES[f];
        if (neighbourPasser &&
            ((f > 0 && connectedWith(sc, Us, f - 1, r)) || (f < 7 && connectedWith(sc, Us, f + 1, r))))
            bonus += p.connectedPassedBonus[r];
        else if (sc.attackMap[Us][s] >> 6)
            bonus += p.protectedPassedBonus[r];

        if (wideSpread && (f + 1 < LOWEST_BIT[enemyFiles] || f - 1 > HIGHEST_BIT[enemyFiles]))
            st.acc[Us] += outsidePassedBonus(p, enemyMaterial);

        // Square rule against a bare king.
        if (enemyMaterial == 0) {
            const Square q = promotionSquare(Us, s);
            int moves = 7 - r;
            if (b.side != Us) ++moves;
            if (!nothingBetween(b.occupied, s, q)) ++moves;
            if (r == 1 && !occupiedAt(b, s + PAWN_PUSH[Us]) && !occupiedAt(b, s + 2 * PAWN_PUSH[Us])) --moves;
            if (moves < distance(enemyKing, q) && moves < st.runawayMoves[Us]) {
                st.runawayMoves[Us] = moves;
                st.runawaySquare[Us] = s;
            }
        }
        st.acc[Us] += bonus;
    }
}

// The colour that queens first stops the other pawn when its new queen sees
// the enemy king, or sees the enemy's promotion square while the enemy king
// does not guard it (both racing pawns taken off the board).
bool winsRace(const Board& b, const EvalState& st, int us) {
    const int them = us ^ 1;
    const uint64_t occupancy = b.occupied & ~bitOf(st.runawaySquare[WHITE]) & ~bitOf(st.runawaySquare[BLACK]);
    const Square ourQueen = promotionSquare(us, st.runawaySquare[us]);
    const Square theirQueen = promotionSquare(them, st.runawaySquare[them]);
    const Square enemyKing = b.kingSquare(them);
    if (lineStep(enemyKing - ourQueen) != 0 && nothingBetween(occupancy, ourQueen, enemyKing)) return true;
    return lineStep(theirQueen - ourQueen) != 0 && nothingBetween(occupancy, ourQueen, theirQueen) &&
           !(attackKinds(theirQueen - enemyKing) & ATTACK_KING);
}

} // namespace

void evalPassedPawns(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    passedPawnsOf<WHITE>(board, sc, p, st);
    passedPawnsOf<BLACK>(board, sc, p, st);
}

void evalRunawayRace(const Board& board, const EvalParams& p, EvalState& st) {
    const bool white = st.runawaySquare[WHITE] >= 0, black = st.runawaySquare[BLACK] >= 0;
    if (!white && !black) return;
    st.evalInfo[0] |= 1;
    const int mw = st.runawayMoves[WHITE], mb = st.runawayMoves[BLACK];
    const bool whiteToMove = board.side == WHITE;
    int winner = -1;
    if (!black) {
        winner = WHITE;
    } else if (!white) {
        winner = BLACK;
    } else if ((mw == mb - 1 && whiteToMove) || (mw == mb && !whiteToMove)) {
        // White queens a tempo ahead: it wins only if its queen stops black's pawn.
        if (winsRace(board, st, WHITE)) winner = WHITE;
    } else if ((mb == mw - 1 && !whiteToMove) || (mb == mw && whiteToMove)) {
        if (winsRace(board, st, BLACK)) winner = BLACK;
    } else if (mw != mb) {
        winner = mw < mb ? WHITE : BLACK;
    }
    if (winner >= 0) st.acc[winner] += (p.runawayBase - st.runawayMoves[winner]) * p.runawayStep;
}

// Pure pawn endings: a majority on more files without an enemy passer, and
// the kings' distances to the most advanced pawn of every file.
void evalPawnEnding(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    if (board.pieceMaterial[WHITE] != 0 || board.pieceMaterial[BLACK] != 0) return;
    for (int c = WHITE; c <= BLACK; ++c) {
        const int o = c ^ 1;
        if (board.pawnCount[c] > board.pawnCount[o] &&
            BIT_COUNT[sc.pawnFiles[c]] > BIT_COUNT[sc.pawnFiles[o]] && st.passedFiles[o] == 0) {
            st.acc[c] += p.pawnEndingMajority;
            break;
        }
    }
    for (int c = WHITE; c <= BLACK; ++c) {
        const Square king = board.kingSquare(c);
        const int tempo = board.side == c ? 1 : 0;
        int sum = 0;
        for (int owner = WHITE; owner <= BLACK; ++owner) {
            const int discount = owner == c ? 1 : tempo;
            for (int f = 0; f < 8; ++f) {
                if (sc.fileRanks(owner, f)) sum += distance(king, mostAdvancedPawn(sc, owner, f)) - discount;
            }
        }
        st.acc[c] -= p.pawnEndingKingDistance * sum;
    }
}

// A wing where one side has pawns on more files than the other: its most
// advanced pawn that is not yet passed is a candidate passer when nothing
// stands in front of it or it is already far up.
void evalMajorities(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    constexpr uint8_t QUEEN_SIDE = 0x0F, KING_SIDE = 0xF0;
    for (int c = WHITE; c <= BLACK; ++c) {
        const int o = c ^ 1;
        for (uint8_t wing : {KING_SIDE, QUEEN_SIDE}) {
            const int own = BIT_COUNT[sc.pawnFiles[c] & wing], enemy = BIT_COUNT[sc.pawnFiles[o] & wing];
            if (own <= enemy || enemy == 0) continue;
            int bestFile = -1, bestRank = -1;
            for (int i = 0; i < 4; ++i) {
                const int f = wing == KING_SIDE ? 4 + i : 3 - i;
                if (!sc.fileRanks(c, f) || (st.passedFiles[c] & (1 << f))) continue;
                const int r = relativeRank(c, mostAdvancedPawn(sc, c, f));
                if (r > bestRank) bestFile = f, bestRank = r;
            }
            if (bestFile < 0 || bestRank < 1) continue;
            const int rank = mostAdvancedRank(c, sc.fileRanks(c, bestFile));
            const bool clearAhead = !(sc.fileRanks(o, bestFile) & ranksAhead(c, rank));
            if (clearAhead || bestRank >= 4)
                st.acc[c] += outsidePassedBonus(p, board.pieceMaterial[o]) * p.candidatePasserPercent / 100;
        }
    }
}
