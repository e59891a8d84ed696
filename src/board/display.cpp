// The text diagram of the position.
#include "board/board.h"

void Board::display(FILE* stream) const {
    static const char* const border = "       #====#====#====#====#====#====#====#====#\n";
    std::fprintf(stream, "\n%s", border);
    for (int rank = 7; rank >= 0; --rank) {
        std::fprintf(stream, "   %2d  ", rank + 1);
        for (int file = 0; file < 8; ++file) {
            const PieceEntry* e = squares[makeSquare(file, rank)];
            if (e->piece == NO_PIECE)
                std::fprintf(stream, "#  %c ", ' ');
            else if (e->colour == WHITE)
                std::fprintf(stream, "#  %c ", PIECE_LETTERS[e->piece]);
            else
                std::fprintf(stream, "# `%c'", PIECE_LETTERS[e->piece + 6]);
        }
        std::fprintf(stream, "#\n%s", border);
    }
    std::fprintf(stream, "          a    b    c    d    e    f    g    h\n");
    char text[96];
    writeFen(text);
    std::fprintf(stream, "\n       %s\n\n", text);
    std::fflush(stream);
}
