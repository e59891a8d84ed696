// The board editor (one placement per line) and the colour flip.
#include <cstring>

#include "board/board.h"
#include "board/output.h"

namespace {

int indexIn(const char* set, char c) {
    if (c == '\0') return -1;
    const char* p = std::strchr(set, c);
    return p ? static_cast<int>(p - set) : -1;
}

} // namespace

// Lines: "#" clears the board, "c" switches the placing colour, "." leaves,
// anything else is piece letter, file and rank (for example "Pe4"). The
// placements stand even when a bad line ends the editor, which says why on `out`.
void Board::edit(LineSource& input, Output& out) {
    int placingColour = WHITE;
    std::string line;
    while (input.readLine(line)) {
        char c0 = line.size() > 0 ? line[0] : '\0';
        char c1 = line.size() > 1 ? line[1] : '\0';
        char c2 = line.size() > 2 ? line[2] : '\0';
        if (c0 == '#') {
            readFen(side == WHITE ? "8/8/8/8/8/8/8/8 w - -" : "8/8/8/8/8/8/8/8 b - -");
            continue;
        }
        if (c0 == 'c' || c0 == 'C') {
            placingColour ^= 1;
            continue;
        }
        if (c0 == '.') break;
        int file = indexIn(FILE_LETTERS, c1);
        int rank = indexIn(RANK_DIGITS, c2);
        if (file < 0 || rank < 0) {
            out.print("wrong square %c%c\n", c1 ? c1 : ' ', c2 ? c2 : ' ');
            break;
        }
        int letter = indexIn(PIECE_LETTERS, c0);
        if (letter <= 0) {
            out.print("wrong piece %c\n", c0 ? c0 : ' ');
            break;
        }
        PieceEntry* e = squares[makeSquare(file, rank)];
        e->piece = (letter - 1) % 6 + 1;
        e->colour = placingColour;
    }

    // Castling rights follow from kings and rooks on their home squares, also
    // in Chess960, where such a placement castles like any other.
    setCastlingSquares({E1, E8}, {H1, A1, H8, A8});
    auto has = [this](Square s, int piece, int colour) {
        return squares[s]->piece == piece && squares[s]->colour == colour;
    };
    castling = 0;
    if (has(E1, KING, WHITE) && has(H1, ROOK, WHITE)) castling |= WHITE_KINGSIDE;
    if (has(E1, KING, WHITE) && has(A1, ROOK, WHITE)) castling |= WHITE_QUEENSIDE;
    if (has(E8, KING, BLACK) && has(H8, ROOK, BLACK)) castling |= BLACK_KINGSIDE;
    if (has(E8, KING, BLACK) && has(A8, ROOK, BLACK)) castling |= BLACK_QUEENSIDE;
    epSquare = 0;
    for (PieceEntry* e : squares) e->prev = e->next = nullptr;
    rebuild();
}

// Mirrors the position top to bottom with the colours exchanged.
void Board::flip() {
    for (int rank = 0; rank < 4; ++rank) {
        for (int file = 0; file < 8; ++file) {
            Square a = makeSquare(file, rank);
            Square b = mirrorSquare(a);
            swapSlots(a, b);
            for (PieceEntry* e : {squares[a], squares[b]}) {
                e->prev = e->next = nullptr;
                if (e->piece != NO_PIECE) e->colour ^= 1;
            }
        }
    }
    side ^= 1;
    if (epSquare != 0) epSquare = mirrorSquare(epSquare);
    castling = ((castling & 3) << 2) | ((castling >> 2) & 3);
    // Each colour's castling squares become the other's, mirrored.
    const Square kings[2] = {mirrorSquare(castlingKingFrom[BLACK]), mirrorSquare(castlingKingFrom[WHITE])};
    const Square* rook = castlingRookFrom;
    const Square rooks[4] = {mirrorSquare(rook[2]), mirrorSquare(rook[3]), mirrorSquare(rook[0]),
                             mirrorSquare(rook[1])};
    setCastlingSquares(kings, rooks);
    rebuild();
}
