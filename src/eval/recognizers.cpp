// Endgame recognizers: small functions for one kind of material that know
// the outcome well enough to score it, or decline. Material kinds are the
// Board's piece-type masks (queen 1, rook 2, bishop 4, knight 8, pawn 16). Each
// recognizer measures the result for its strong side; the score is negated
// when the weak side is to move.
#include <array>
#include <cstdint>

#include "eval/evalterms.h"

namespace {

// Writes a side-to-move score and returns 1, or declines with 0.
using Recognizer = int (*)(const Board& board, const EvalParams& params, int& score);

constexpr int Q = 1, R = 2, B = 4, N = 8, P = 16;

// Distance of a square from the centre, 0 in the middle to 4 on the rim (rank 1 first).
// clang-format off
constexpr int EDGE_TABLE[8][8] = {
    {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 3, 2, 2, 3, 4, 4},
    {4, 3, 2, 1, 1, 2, 3, 4},
    {4, 2, 1, 0, 0, 1, 2, 4},
    {4, 2, 1, 0, 0, 1, 2, 4},
    {4, 3, 2, 1, 1, 2, 3, 4},
    {4, 4, 3, 2, 2, 3, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4}};
// clang-format on

inline int edge(Square s) { return EDGE_TABLE[rankOf(s)][fileOf(s)]; }
inline int absolute(int x) { return x < 0 ? -x : x; }
// 7 in the light corners a8 and h1, 0 on the a1-h8 diagonal.
inline int lightCorner(Square s) { return absolute(fileOf(s) - rankOf(s)); }
// 7 in the dark corners a1 and h8, 0 on the a8-h1 diagonal.
inline int darkCorner(Square s) { return absolute(fileOf(s) + rankOf(s) - 7); }
// 1 for light squares (h1), 0 for dark ones (a1).
inline int squareColour(Square s) { return (fileOf(s) + rankOf(s)) & 1; }

inline int answer(const Board& b, int strong, int value, int& score) {
    score = b.side == strong ? value : -value;
    return 1;
}

inline int kingDistance(const Board& b) { return distance(b.kingSquare(WHITE), b.kingSquare(BLACK)); }

inline Square promotionSquare(int colour, Square pawn) {
    return makeSquare(fileOf(pawn), colour == WHITE ? 7 : 0);
}

// The side whose kind mask holds `kind` (and the other's does not).
inline int sideWith(const Board& b, int kind) { return (b.pieceTypes[WHITE] & kind) ? WHITE : BLACK; }

// Most advanced pawn of a colour, and whether all its pawns share one file.
Square mostAdvancedPawn(const Board& b, int colour) {
    Square best = b.pieceList[colour][PAWN]->square;
    for (const PieceEntry* e = b.pieceList[colour][PAWN]; e; e = e->next) {
        if (relativeRank(colour, e->square) > relativeRank(colour, best)) best = e->square;
    }
    return best;
}

Square rearmostPawn(const Board& b, int colour) {
    Square best = b.pieceList[colour][PAWN]->square;
    for (const PieceEntry* e = b.pieceList[colour][PAWN]; e; e = e->next) {
        if (relativeRank(colour, e->square) < relativeRank(colour, best)) best = e->square;
    }
    return best;
}

bool pawnsOnOneFile(const Board& b, int colour) {
    const int f = fileOf(b.pieceList[colour][PAWN]->square);
    for (const PieceEntry* e = b.pieceList[colour][PAWN]; e; e = e->next) {
        if (fileOf(e->square) != f) return false;
    }
    return true;
}

// Pawnless material: a large edge drives the weak king to the rim, a small
// one keeps part of the piece-square difference, equality is a draw.
int recognizeMaterial(const Board& b, const EvalParams& p, int& score) {
    int d = b.pieceMaterial[WHITE] - b.pieceMaterial[BLACK];
    const int strong = d >= 0 ? WHITE : BLACK, weak = strong ^ 1;
    d = absolute(d);
    const int s = b.pstScore[strong] - b.pstScore[weak];
    int value = 0;
    if (d >= 3) {
        value = (p.mateEdgeBase - edge(b.kingSquare(weak))) * p.mateEdgeStep -
                p.mateKingDistance * kingDistance(b) + s;
        if (d == 3) value = value * p.minorEdgePercent / 100;
        if (b.pieceMaterial[weak] == 0) value += p.bareKingBonus;
    } else if (d == 2) {
        const bool bishopPair = b.pieceCount[strong][BISHOP] >= 2 && b.pieceCount[weak][BISHOP] < 2;
        value = s * (bishopPair ? p.smallEdgeBishopPairPercent : p.smallEdgePercent) / 100;
    }
    return answer(b, strong, value, score);
}

int recognizeBareKings(const Board&, const EvalParams&, int& score) {
    score = 0;
    return 1;
}

// Knights against a bare king: fewer than three cannot mate.
int recognizeKnights(const Board& b, const EvalParams& p, int& score) {
    if (b.pieceCount[sideWith(b, N)][KNIGHT] < 3) {
        score = 0;
        return 1;
    }
    return recognizeMaterial(b, p, score);
}

// Bishops against a bare king: mate needs bishops on both square colours.
int recognizeBishops(const Board& b, const EvalParams& p, int& score) {
    const int strong = sideWith(b, B);
    const int colour = squareColour(b.pieceList[strong][BISHOP]->square);
    bool bothColours = false;
    for (const PieceEntry* e = b.pieceList[strong][BISHOP]; e; e = e->next) {
        if (squareColour(e->square) != colour) bothColours = true;
    }
    if (!bothColours) {
        score = 0;
        return 1;
    }
    return answer(b, strong,
                  (edge(b.kingSquare(strong ^ 1)) + p.bishopsMateBase) * p.mateEdgeStep -
                      p.mateKingDistance * kingDistance(b),
                  score);
}

// Bishop and knight against a bare king: the weak king belongs in a corner of
// the bishop's colour.
int recognizeBishopKnight(const Board& b, const EvalParams& p, int& score) {
    if (b.pieceMaterial[WHITE] && b.pieceMaterial[BLACK]) return recognizeMaterial(b, p, score);
    const int strong = b.pieceMaterial[BLACK] ? BLACK : WHITE;
    if (b.pieceMaterial[strong] > 6) return recognizeMaterial(b, p, score);
    const Square weakKing = b.kingSquare(strong ^ 1);
    const int corner =
        squareColour(b.pieceList[strong][BISHOP]->square) ? lightCorner(weakKing) : darkCorner(weakKing);
    return answer(b, strong,
                  (edge(weakKing) + p.bishopKnightMateBase) * p.mateEdgeStep -
                      p.mateKingDistance * kingDistance(b) + p.bishopKnightCorner * corner,
                  score);
}

// Bishop and rook pawns against a bare king, with the wrong bishop: a draw
// when the weak king holds the corner or gets there first.
int wrongBishop(const Board& b, int& score) {
    const int strong = sideWith(b, P), weak = strong ^ 1;
    if (!pawnsOnOneFile(b, strong)) return 0;
    const Square pawn = mostAdvancedPawn(b, strong);
    if (fileOf(pawn) != 0 && fileOf(pawn) != 7) return 0;
    const Square q = promotionSquare(strong, pawn);
    if (squareColour(b.pieceList[strong][BISHOP]->square) == squareColour(q)) return 0;
    const int d1 = distance(b.kingSquare(weak), q);
    if (d1 <= 1) return answer(b, strong, 0, score);
    const int d2 = distance(b.kingSquare(strong), q) - (b.side == strong ? 1 : 0);
    const int d3 = distance(pawn, q);
    if (d1 < d2 && d1 - (b.side == weak ? 1 : 0) <= d3) return answer(b, strong, 0, score);
    return 0;
}

// Bishop against pawns on one file: a draw when the bishop's side controls or
// occupies a square on the pawns' path.
int bishopStopsPawns(const Board& b, int& score) {
    const int pawnSide = sideWith(b, P), bishopSide = pawnSide ^ 1;
    if (!pawnsOnOneFile(b, pawnSide)) return 0;
    const Square bishop = b.pieceList[bishopSide][BISHOP]->square;
    for (Square s = rearmostPawn(b, pawnSide); onBoard(s); s += PAWN_PUSH[pawnSide]) {
        if (b.squares[s]->colour == bishopSide || (attackKinds(s - bishop) & ATTACK_BISHOP)) {
            score = 0;
            return 1;
        }
    }
    return 0;
}

int recognizeBishopPawns(const Board& b, const EvalParams&, int& score) {
    if (b.pieceCount[WHITE][BISHOP] > 1 || b.pieceCount[BLACK][BISHOP] > 1) return 0;
    const bool bishopAndPawns =
        (b.pieceTypes[WHITE] & (B | P)) == (B | P) || (b.pieceTypes[BLACK] & (B | P)) == (B | P);
    return bishopAndPawns ? wrongBishop(b, score) : bishopStopsPawns(b, score);
}

// Knight against a pawn: a draw when the knight stands behind the pawn on its
// file and its king is not worse placed than the pawn side's.
int recognizeKnightPawn(const Board& b, const EvalParams&, int& score) {
    const int knightSide = sideWith(b, N), pawnSide = knightSide ^ 1;
    if (b.pieceCount[knightSide][KNIGHT] != 1 || b.pawnCount[pawnSide] != 1) return 0;
    const Square knight = b.pieceList[knightSide][KNIGHT]->square, pawn = b.pieceList[pawnSide][PAWN]->square;
    if (fileOf(knight) != fileOf(pawn)) return 0;
    if (attackKinds(knight - b.kingSquare(knightSide)) == 0 &&
        attackKinds(knight - b.kingSquare(pawnSide)) != 0)
        return 0;
    const bool behind = knightSide == WHITE ? rankOf(knight) > rankOf(pawn) : rankOf(knight) < rankOf(pawn);
    if (!behind) return 0;
    score = 0;
    return 1;
}

// Rook and pawn against rook: winning chances when the defending king is
// not nearer the pawn than the attacking king.
int recognizeRookPawnRook(const Board& b, const EvalParams& p, int& score) {
    const int strong = (b.pieceTypes[WHITE] & P) ? WHITE : BLACK, weak = strong ^ 1;
    if (b.pieceCount[WHITE][ROOK] != 1 || b.pieceCount[BLACK][ROOK] != 1 || b.pawnCount[strong] != 1)
        return 0;
    const Square pawn = b.pieceList[strong][PAWN]->square;
    const int dDef = distance(b.kingSquare(weak), pawn), dAtt = distance(b.kingSquare(strong), pawn);
    if (dDef >= dAtt - (b.side == strong ? 1 : 0))
        return answer(b, strong,
                      p.rookPawnKingDistance * (dDef + 2 * (2 - dAtt)) +
                          p.passedBonus[relativeRank(strong, pawn)],
                      score);
    return answer(b, strong, 0, score);
}

// Queen against a rook or bishop pawn on the seventh rank supported by its
// king: a draw.
int recognizeQueenPawn(const Board& b, const EvalParams&, int& score) {
    const int queenSide = sideWith(b, Q), pawnSide = queenSide ^ 1;
    if (b.pieceCount[queenSide][QUEEN] != 1 || b.pawnCount[pawnSide] != 1) return 0;
    const Square pawn = b.pieceList[pawnSide][PAWN]->square, king = b.kingSquare(pawnSide);
    const int f = fileOf(pawn);
    if (relativeRank(pawnSide, pawn) != 6 || (f != 0 && f != 2 && f != 5 && f != 7)) return 0;
    if (!(attackKinds(pawn - king) & ATTACK_KING)) return 0;
    if (relativeRank(pawnSide, king) < relativeRank(pawnSide, pawn)) return 0;
    score = 0;
    return 1;
}

// King and pawn against king.
int recognizePawn(const Board& b, const EvalParams& p, int& score) {
    const int strong = sideWith(b, P), weak = strong ^ 1;
    if (b.pawnCount[strong] != 1) return 0;
    const Square pawn = b.pieceList[strong][PAWN]->square, q = promotionSquare(strong, pawn);
    const Square strongKing = b.kingSquare(strong), weakKing = b.kingSquare(weak);
    const int pawnRankDistance = absolute(rankOf(q) - rankOf(pawn));
    int moves = pawnRankDistance;
    if (between(square64(pawn), square64(q)) & b.occupied) ++moves;
    if (relativeRank(strong, pawn) == 1 && b.squares[pawn + PAWN_PUSH[strong]]->piece == NO_PIECE) --moves;
    const int dSq = distance(strongKing, q), dSp = distance(strongKing, pawn);
    int dWq = distance(weakKing, q), dWp = distance(weakKing, pawn);
    if (b.side == weak) --dWq, --dWp;
    const int win = (p.pawnWinBase - moves) * p.pawnWinStep;
    if (moves < dWq) return answer(b, strong, win, score);
    if (fileOf(pawn) == 0 || fileOf(pawn) == 7) {
        if (dWq == dSq && dWp >= dSp) return 0;
        if (dWq < dSq || dWp < dSp) return answer(b, strong, 0, score);
        return answer(b, strong, win, score);
    }
    if (dWp + 1 < dSp) return answer(b, strong, 0, score);
    if (pawnRankDistance <= absolute(rankOf(q) - rankOf(strongKing))) return answer(b, strong, 0, score);
    if (strong == WHITE) {
        if (weakKing == strongKing + 32 && b.side == WHITE) return 0;
        return rankOf(strongKing) == 5 ? answer(b, strong, win, score) : 0;
    }
    if (!(rankOf(strongKing) <= rankOf(pawn) - 2 || rankOf(strongKing) == 1)) return 0;
    if (weakKing == strongKing - 32 && b.side == BLACK) return 0;
    return answer(b, strong, win, score);
}

// The recognizer of each pair of kind masks: slot (tw | tb) + 32 when both
// masks are non-zero, else (tw | tb); bit j of pairs[i] says that the pair
// (i, j) was registered (masks that share a slot need not share a recognizer).
struct RecognizerTable {
    std::array<Recognizer, 64> bySlot{};
    std::array<uint32_t, 32> pairs{};

    constexpr void add(int white, int black, Recognizer recognizer) {
        const int slot = (white && black) ? (white | black) + 32 : (white | black);
        bySlot[slot] = recognizer;
        pairs[white] |= 1u << black;
        pairs[black] |= 1u << white;
    }
};

constexpr RecognizerTable buildRecognizerTable() {
    RecognizerTable t;
    for (int i = 0; i <= 15; ++i) {
        for (int j = i; j <= 15; ++j) t.add(i, j, recognizeMaterial);
    }
    t.add(0, 0, recognizeBareKings);
    t.add(B, 0, recognizeBishops);
    t.add(N, 0, recognizeKnights);
    t.add(B | N, 0, recognizeBishopKnight);
    t.add(B, N, recognizeBishopKnight);
    t.add(P | B, 0, recognizeBishopPawns);
    t.add(B, P, recognizeBishopPawns);
    t.add(N, P, recognizeKnightPawn);
    t.add(P | R, R, recognizeRookPawnRook);
    t.add(Q, P, recognizeQueenPawn);
    t.add(P, 0, recognizePawn);
    return t;
}

constexpr RecognizerTable RECOGNIZERS = buildRecognizerTable();

} // namespace

bool Evaluator::recognize(const Board& board, int& score) const {
    FM_ASSERT(board.hasBothKings());
    const int tw = board.pieceTypes[WHITE], tb = board.pieceTypes[BLACK];
    const int slot = (tw && tb) ? (tw | tb) + 32 : (tw | tb);
    const Recognizer recognizer = RECOGNIZERS.bySlot[slot];
    if (recognizer == nullptr || !(RECOGNIZERS.pairs[tw] & (1u << tb))) return false;
    if (!recognizer(board, *params_, score)) return false;
    score = clampScore(score);
    return true;
}
