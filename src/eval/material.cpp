// Material imbalance: bonuses for the side whose pieces outweigh the other's
// in kind (pieces against pawns, an extra minor, queen against rooks, a rook
// against a minor), sized by the piece-favour weight.
#include "eval/evalterms.h"

void evalImbalance(const Board& board, const EvalParams& p, EvalState& st) {
    const int favour = p.weights.pieceFavour;
    const int minorShare = scaleBy(favour, p.imbalanceMinorNumerator, p.imbalanceMinorDenominator);
    int minors[2], majors[2];
    for (int c = WHITE; c <= BLACK; ++c) {
        minors[c] = board.pieceCount[c][BISHOP] + board.pieceCount[c][KNIGHT];
        majors[c] = board.pieceCount[c][ROOK] + 2 * board.pieceCount[c][QUEEN];
    }
    // Pieces against none at all.
    const int* material = board.pieceMaterial;
    if (material[WHITE] > 0 && material[BLACK] == 0) st.acc[WHITE] += favour;
    if (material[BLACK] > 0 && material[WHITE] == 0) st.acc[BLACK] += favour;

    if (majors[WHITE] == majors[BLACK]) {
        if (minors[WHITE] != minors[BLACK])
            st.acc[minors[WHITE] > minors[BLACK] ? WHITE : BLACK] += minorShare;
        const bool whiteQueen = board.pieceCount[WHITE][QUEEN] > 0,
                   blackQueen = board.pieceCount[BLACK][QUEEN] > 0;
        if (whiteQueen != blackQueen) st.acc[whiteQueen ? WHITE : BLACK] += favour;
    } else if (minors[WHITE] == minors[BLACK]) {
        st.acc[majors[WHITE] > majors[BLACK] ? WHITE : BLACK] += favour;
    } else if (majors[WHITE] == majors[BLACK] + 1 && minors[WHITE] == minors[BLACK] - 1) {
        st.acc[WHITE] += minorShare;
    } else if (majors[BLACK] == majors[WHITE] + 1 && minors[BLACK] == minors[WHITE] - 1) {
        st.acc[BLACK] += minorShare;
    }
}
