// Piece terms: the bishop pair, bishops and knights trapped on the rim,
// outposts of knights and bishops, knights against pawns spread wide in the
// ending, rooks on open files, on the seventh rank and with passed pawns, and
// queens on the seventh rank.
#include "eval/evalterms.h"

using namespace evalbits;

namespace {

inline bool isPiece(const Board& b, Square s, int piece, int colour) {
    return b.squares[s]->piece == piece && b.squares[s]->colour == colour;
}

inline bool nothingBetween(const Board& b, Square a, Square c) {
    return (between(square64(a), square64(c)) & b.occupied) == 0;
}

// Taking what stands on s would lose material for `capturer`.
inline bool losingCapture(const Board& b, const EvalScratch& sc, Square s, int capturer) {
    return swapValue(b.squares[s]->piece, sc.attackMap[capturer][s], sc.attackMap[capturer ^ 1][s]) < 0;
}

// A bishop in the corner of the seventh rank behind an enemy pawn that it
// cannot take safely.
bool bishopTrapped(const Board& b, const EvalScratch& sc, int us, Square bishop, Square pawn) {
    return isPiece(b, bishop, BISHOP, us) && isPiece(b, pawn, PAWN, us ^ 1) && losingCapture(b, sc, pawn, us);
}

// A knight on the rim whose two escape squares are both occupied and unsafe.
bool knightTrapped(const Board& b, const EvalScratch& sc, int us, Square knight, Square escape1,
                   Square escape2) {
    return isPiece(b, knight, KNIGHT, us) && losingCapture(b, sc, escape1, us) &&
           losingCapture(b, sc, escape2, us);
}

// Outpost bonus of a knight or bishop of `us` on s.
int outpost(const EvalScratch& sc, const EvalParams& p, int us, Square s) {
    const int value = p.outpostBonus[relativeRank(us, s) * 8 + fileOf(s)];
    if (value == 0) return 0;
    const int them = us ^ 1, f = fileOf(s), rank = rankOf(s);
    const uint8_t ahead = ranksAhead(us, rank);
    // Supporting pawns stand on the rank behind; a piece on its own first rank has none.
    const int behind = rank - PAWN_PUSH[us] / 16;
    const uint8_t supporters =
        behind >= 0 && behind < 8 ? sc.pawnRankFiles[us][behind] & ADJACENT_FILES[f] : 0;
    int bonus = 0;
    if (!((sc.fileRanks(them, f - 1) | sc.fileRanks(them, f + 1)) & ahead)) bonus += value;
    if ((sc.fileRanks(us, f) | sc.fileRanks(them, f)) & ahead) {
        if (supporters) bonus += value;
    } else {
        bonus += value * BIT_COUNT[supporters];
    }
    return bonus;
}

// Rook or queen on the seventh rank with the enemy king on the eighth; a
// second heavy piece there that sees the last one recorded earns more.
int seventhRank(const Board& b, EvalState& st, int us, Square s, int base, int doubled) {
    if (relativeRank(us, s) != 6 || relativeRank(us, b.kingSquare(us ^ 1)) != 7) return 0;
    int bonus = base;
    if (st.seventhRankPiece[us] >= 0 && nothingBetween(b, st.seventhRankPiece[us], s)) bonus += doubled;
    st.seventhRankPiece[us] = s;
    return bonus;
}

} // namespace

void evalBishopPair(const Board& board, const EvalParams& p, EvalState& st) {
    const int pawns = clampIndex(board.pawnCount[WHITE] + board.pawnCount[BLACK], 16);
    for (int c = WHITE; c <= BLACK; ++c) {
        if (board.pieceCount[c][BISHOP] >= 2) st.acc[c] += p.bishopPairBonus[pawns];
    }
}

void evalTrappedPieces(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    const Board& b = board;
    if (bishopTrapped(b, sc, WHITE, A7, B6)) st.acc[WHITE] -= p.trappedBishopPenalty;
    if (bishopTrapped(b, sc, WHITE, H7, G6)) st.acc[WHITE] -= p.trappedBishopPenalty;
    if (bishopTrapped(b, sc, BLACK, A2, B3)) st.acc[BLACK] -= p.trappedBishopPenalty;
    if (bishopTrapped(b, sc, BLACK, H2, G3)) st.acc[BLACK] -= p.trappedBishopPenalty;
    if (knightTrapped(b, sc, WHITE, A7, B5, C6)) st.acc[WHITE] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, WHITE, H7, G5, F6)) st.acc[WHITE] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, WHITE, A8, B6, C7)) st.acc[WHITE] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, WHITE, H8, G6, F7)) st.acc[WHITE] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, BLACK, A2, B4, C3)) st.acc[BLACK] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, BLACK, H2, G4, F3)) st.acc[BLACK] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, BLACK, A1, B3, C2)) st.acc[BLACK] -= p.trappedKnightPenalty;
    if (knightTrapped(b, sc, BLACK, H1, G3, F2)) st.acc[BLACK] -= p.trappedKnightPenalty;
}

void evalOutposts(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    for (int piece : {KNIGHT, BISHOP}) {
        for (int c = WHITE; c <= BLACK; ++c) {
            for (const PieceEntry* e = board.pieceList[c][piece]; e; e = e->next)
                st.acc[c] += outpost(sc, p, c, e->square);
        }
    }
}

// Knights are worth less the wider the pawns of both colours spread.
void evalKnightsInEnding(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    if (!st.ending) return;
    const uint8_t files = sc.pawnFiles[WHITE] | sc.pawnFiles[BLACK];
    const int span = files ? HIGHEST_BIT[files] - LOWEST_BIT[files] : 0;
    for (int c = WHITE; c <= BLACK; ++c) {
        const int k = board.pieceMaterial[c] == 3 ? p.knightSpreadLone
                      : st.lateEnding             ? p.knightSpreadLateEnding
                                                  : p.knightSpreadEnding;
        st.acc[c] -= k * span * board.pieceCount[c][KNIGHT];
    }
}

void evalRooks(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        const int them = us ^ 1;
        uint8_t rookFiles = 0;
        for (const PieceEntry* e = board.pieceList[us][ROOK]; e; e = e->next) {
            const Square s = e->square;
            const int f = fileOf(s);
            const uint8_t bit = static_cast<uint8_t>(1 << f);
            int bonus = 0;
            if (!(sc.pawnFiles[us] & bit)) {
                if (!(sc.pawnFiles[them] & bit))
                    bonus += (rookFiles & bit) ? p.rookOpenFileDoubled : p.rookOpenFile;
                else
                    bonus += p.rookHalfOpenFile;
            }
            rookFiles |= bit;
            bonus += seventhRank(board, st, us, s, p.rookSeventh, p.rookSeventhDoubled);
            // Passed pawns of either colour on the rook's file, with nothing in between.
            for (int owner : {us, them}) {
                if (!(st.passedFiles[owner] & bit)) continue;
                const Square pawn = makeSquare(f, mostAdvancedRank(owner, sc.fileRanks(owner, f)));
                if (!nothingBetween(board, s, pawn)) continue;
                const bool behindOrInPath = relativeRank(us, s) < relativeRank(us, pawn);
                if (owner == us)
                    bonus += behindOrInPath ? p.rookBehindOwnPasser : p.rookAheadOfOwnPasser;
                else
                    bonus += behindOrInPath ? p.rookInEnemyPasserPath : p.rookBehindEnemyPasser;
            }
            st.acc[us] += bonus;
        }
    }
}

// Pieces the opponent attacks with something cheaper, or attacks while
// nothing defends them: the attack bytes hold pawns in bits 6-7, knights and
// bishops in bits 4-5 and rooks in bits 2-3. Only the worst threat to a piece
// counts.
void evalThreats(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st) {
    constexpr uint8_t PAWNS = 0xC0, MINORS = 0x30, ROOKS = 0x0C;
    for (int us = WHITE; us <= BLACK; ++us) {
        const uint8_t* enemy = sc.attackMap[us ^ 1];
        const uint8_t* own = sc.attackMap[us];
        for (int piece = QUEEN; piece <= KNIGHT; ++piece) {
            for (const PieceEntry* e = board.pieceList[us][piece]; e; e = e->next) {
                const uint8_t attackers = enemy[e->square];
                if (attackers == 0) continue;
                if (attackers & PAWNS)
                    st.acc[us] -= p.threatByPawn;
                else if ((attackers & MINORS) && (piece == QUEEN || piece == ROOK))
                    st.acc[us] -= p.threatByMinor;
                else if ((attackers & ROOKS) && piece == QUEEN)
                    st.acc[us] -= p.threatByRook;
                else if (own[e->square] == 0)
                    st.acc[us] -= p.hangingPiece;
            }
        }
    }
}

void evalQueens(const Board& board, const EvalParams& p, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        for (const PieceEntry* e = board.pieceList[us][QUEEN]; e; e = e->next)
            st.acc[us] += seventhRank(board, st, us, e->square, p.queenSeventh, p.queenSeventhDoubled);
    }
}
