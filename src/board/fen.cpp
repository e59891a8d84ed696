// Reading and writing the first four FEN fields: placement, side to move,
// castling rights and en-passant square.
#include <cstring>
#include <string>

#include "board/board.h"

namespace {

int indexIn(const char* set, char c) {
    if (c == '\0') return -1;
    const char* p = std::strchr(set, c);
    return p ? static_cast<int>(p - set) : -1;
}

// A position as parsed, committed to the board only when the whole text reads.
struct ParsedFen {
    int8_t piece[128] = {};
    int8_t colour[128] = {};
    int side = WHITE;
    int castling = 0;
    Square epSquare = 0;
};

} // namespace

int Board::readFen(const char* text, std::string* message) {
    FM_ASSERT(text != nullptr);
    ParsedFen parsed;
    const char* c = text;
    // The complaint about the text, for the caller to show.
    const auto complain = [message](const std::string& what) {
        if (message) *message = what;
    };
    if (message) message->clear();

    for (int rank = 7; rank >= 0; --rank) {
        int file = 0;
        for (;; ++c) {
            if (*c == '/') break;
            if (*c == ' ') break;
            if (file > 7) {
                complain(std::string("wrong length fen string [ ") + text + " ]");
                return 0;
            }
            int letter = indexIn(PIECE_LETTERS, *c);
            int digit = indexIn(RANK_DIGITS, *c);
            if (letter > 0) {
                Square s = makeSquare(file, rank);
                parsed.piece[s] = static_cast<int8_t>((letter - 1) % 6 + 1);
                parsed.colour[s] = static_cast<int8_t>(letter > 6 ? BLACK : WHITE);
                ++file;
            } else if (digit >= 0) {
                file += digit + 1;
            } else {
                complain(std::string("unknown char in fen [ ") + text + " ]");
                return 0;
            }
        }
        ++c; // past the "/" or blank that ended the rank
    }

    int sideIndex = indexIn("WwBb", *c);
    if (sideIndex < 0) {
        complain(std::string("wrong player in fen ") + text);
        return 0;
    }
    parsed.side = sideIndex < 2 ? WHITE : BLACK;
    ++c;
    if (*c != ' ') {
        complain(std::string("wrong fen string [ ") + text + " ]");
        return 0;
    }
    ++c;

    if (*c == '-') {
        ++c;
    } else {
        for (int bit; (bit = indexIn("KQkq", *c)) >= 0; ++c) parsed.castling |= 1 << bit;
    }
    if (*c != ' ') {
        complain(std::string("wrong castling flags in [ ") + text + " ]");
        return 0;
    }
    ++c;

    // A bad en-passant field is reported and dropped; the rest of the position stands.
    // The square must lie where a double step of the side not to move passes
    // (the sixth rank when White moves, the third when Black moves): elsewhere
    // a capture onto it could land on the last rank without promoting.
    if (*c != '-') {
        const int file = indexIn(FILE_LETTERS, c[0]);
        const int rank = file >= 0 ? indexIn(RANK_DIGITS, c[1]) : -1;
        const int passedRank = parsed.side == WHITE ? 5 : 2;
        if (file < 0 || rank != passedRank) {
            complain(std::string("wrong enpassant square in [ ") + text + " ]");
        } else {
            parsed.epSquare = makeSquare(file, rank);
        }
    }

    for (int s = 0; s < 128; ++s) {
        PieceEntry* e = squares[s];
        *e = PieceEntry{};
        e->square = s;
        if (onBoard(s) && parsed.piece[s] != NO_PIECE) {
            e->piece = parsed.piece[s];
            e->colour = parsed.colour[s];
        }
    }
    side = parsed.side;
    castling = parsed.castling;
    epSquare = parsed.epSquare;
    rebuild();
    return 1;
}

void Board::writeFen(char* buffer) const {
    FM_ASSERT(buffer != nullptr);
    char* out = buffer;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const PieceEntry* e = squares[makeSquare(file, rank)];
            if (e->piece == NO_PIECE) {
                ++empty;
                continue;
            }
            if (empty) *out++ = RANK_DIGITS[empty - 1];
            empty = 0;
            *out++ = PIECE_LETTERS[e->piece + (e->colour == BLACK ? 6 : 0)];
        }
        if (empty) *out++ = RANK_DIGITS[empty - 1];
        if (rank > 0) *out++ = '/';
    }
    *out++ = ' ';
    *out++ = side == WHITE ? 'w' : 'b';
    *out++ = ' ';
    if (castling == 0) *out++ = '-';
    for (int bit = 0; bit < 4; ++bit) {
        if (castling & (1 << bit)) *out++ = "KQkq"[bit];
    }
    *out++ = ' ';
    if (epSquare == 0) {
        *out++ = '-';
    } else {
        *out++ = FILE_LETTERS[fileOf(epSquare)];
        *out++ = RANK_DIGITS[rankOf(epSquare)];
    }
    *out = '\0';
}

std::string Board::fen() const {
    char buffer[96];
    writeFen(buffer);
    return buffer;
}
