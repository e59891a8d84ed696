// The text diagram of the position.
#include <string>

#include "board/board.h"

std::string Board::diagram() const {
    static const char* const border = "       #====#====#====#====#====#====#====#====#\n";
    std::string text = std::string("\n") + border;
    for (int rank = 7; rank >= 0; --rank) {
        text += "    ";
        text += static_cast<char>('1' + rank);
        text += "  ";
        for (int file = 0; file < 8; ++file) {
            const PieceEntry* e = squares[makeSquare(file, rank)];
            if (e->piece == NO_PIECE)
                text += "#    ";
            else if (e->colour == WHITE)
                text += std::string("#  ") + PIECE_LETTERS[e->piece] + " ";
            else
                text += std::string("# `") + PIECE_LETTERS[e->piece + 6] + "'";
        }
        text += std::string("#\n") + border;
    }
    text += "          a    b    c    d    e    f    g    h\n";
    return text + "\n       " + fen() + "\n\n";
}
