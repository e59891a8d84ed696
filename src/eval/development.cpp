// Opening development: keeping and using the castling rights, and centre
// pawns on their home squares blocked by a piece in front of them.
#include "eval/evalterms.h"

namespace {

inline bool clear(const Board& b, Square a, Square c) {
    return (between(square64(a), square64(c)) & b.occupied) == 0;
}

} // namespace

// Castling still possible soon is worth something; a right that cannot be
// used soon costs unless a queen still stands on its home file square. Rights
// held when the search began and lost since without castling cost more.
void evalCastling(const Board& board, const EvalParams& p, EvalState& st) {
    for (int us = WHITE; us <= BLACK; ++us) {
        const int shift = us == WHITE ? 0 : 2;
        const int rights = (board.castling >> shift) & 3;
        const int rootRights = (board.rootSnapshot[1] >> shift) & 3;
        const Square king = us == WHITE ? E1 : E8, queenSquare = us == WHITE ? D1 : D8;
        const Square kingRook = us == WHITE ? H1 : H8, queenRook = us == WHITE ? A1 : A8;
        if (rights) {
            if (((rights & 1) && clear(board, king, kingRook)) ||
                ((rights & 2) && clear(board, king, queenRook)))
                st.acc[us] += p.castlingReady;
            else if (board.squares[queenSquare]->piece != QUEEN)
                st.acc[us] -= p.castlingBlocked;
        }
        if (rootRights) {
            if (board.castled[us])
                st.acc[us] += p.castledBonus;
            else if (!rights)
                st.acc[us] -= p.castlingLostPenalty;
            else if (rootRights == 3 && rights == 2)
                st.acc[us] -= p.kingSideLostPenalty;
            else if (rootRights == 3 && rights == 1)
                st.acc[us] -= p.queenSideLostPenalty;
        }
    }
}

void evalBlockedCentre(const Board& board, const EvalParams& p, EvalState& st) {
    auto blocked = [&board](Square s, int colour) {
        const PieceEntry* e = board.squares[s];
        return e->piece == PAWN && e->colour == colour &&
               board.squares[s + PAWN_PUSH[colour]]->piece != NO_PIECE;
    };
    if (blocked(D2, WHITE)) st.acc[WHITE] -= p.blockedCentrePenalty;
    if (blocked(E2, WHITE)) st.acc[WHITE] -= p.blockedCentrePenalty;
    if (blocked(D7, BLACK)) st.acc[BLACK] -= p.blockedCentrePenalty;
    if (blocked(E7, BLACK)) st.acc[BLACK] -= p.blockedCentrePenalty;
}
