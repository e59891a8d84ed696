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
    Square castlingKing[2] = {E1, E8};
    Square castlingRook[4] = {H1, A1, H8, A8};
    Square epSquare = 0;

    bool holds(Square s, int kind, int owner) const { return piece[s] == kind && colour[s] == owner; }
};

constexpr const char CHESS960_CASTLING_LETTERS[] = "KQkqABCDEFGHabcdefgh";

// The Chess960 castling right a castling letter names in a parsed position,
// with its king's and rook's squares: K/Q (k/q) the outermost rook of that wing
// on the back rank, a file letter the rook on that file, which must not be the
// king's. 0, and the reason in `problem`, when the letter fits no king and rook.
int castlingRightOf(const ParsedFen& p, char letter, Square& king, Square& rook, std::string& problem) {
    const int colour = (letter >= 'A' && letter <= 'Z') ? WHITE : BLACK;
    const int rank = colour == WHITE ? 0 : 7;
    int kings = 0;
    king = -1;
    for (Square s = 0; s < 120; ++s) {
        if (!onBoard(s) || !p.holds(s, KING, colour)) continue;
        ++kings;
        king = s;
    }
    if (kings != 1 || rankOf(king) != rank) {
        problem = "no king on its back rank";
        return 0;
    }
    const int kingFile = fileOf(king);
    int rookFile = -1;
    if (letter == 'K' || letter == 'k') {
        for (int file = 7; file > kingFile && rookFile < 0; --file)
            if (p.holds(makeSquare(file, rank), ROOK, colour)) rookFile = file;
    } else if (letter == 'Q' || letter == 'q') {
        for (int file = 0; file < kingFile && rookFile < 0; ++file)
            if (p.holds(makeSquare(file, rank), ROOK, colour)) rookFile = file;
    } else {
        const int file = (colour == WHITE ? letter - 'A' : letter - 'a');
        if (file != kingFile && p.holds(makeSquare(file, rank), ROOK, colour)) rookFile = file;
    }
    if (rookFile < 0) {
        problem = "no rook for it beside the king";
        return 0;
    }
    rook = makeSquare(rookFile, rank);
    return castlingRight(colour, rookFile > kingFile);
}

// The letters of a Chess960 castling field, read once the placement is known,
// become rights with their kings and rooks. A right
// whose king and rook are not there is dropped with a message, as is a second
// letter naming another rook for a right already given.
void readCastling960(ParsedFen& p, const std::string& letters, std::string& problem) {
    for (char letter : letters) {
        Square king = 0, rook = 0;
        std::string why;
        const int right = castlingRightOf(p, letter, king, rook, why);
        const int index = right ? castlingIndex(right) : 0;
        if (right && (p.castling & right) && p.castlingRook[index] != rook)
            why = "a second rook for one right";
        if (!why.empty()) {
            problem = "castling right ";
            problem.append(1, letter).append(" dropped: ").append(why);
            continue;
        }
        p.castling |= right;
        p.castlingKing[index / 2] = king;
        p.castlingRook[index] = rook;
    }
}

// The X-FEN letter of a Chess960 right: K/Q (k/q) when its rook is the
// outermost rook of that colour on its wing, else the rook's file.
char castlingLetter960(const Board& b, int index) {
    const int colour = index / 2;
    const bool kingSide = index % 2 == 0;
    const Square rook = b.castlingRookFrom[index];
    for (Square s = makeSquare(kingSide ? 7 : 0, rankOf(rook)); s != rook; s += kingSide ? -1 : 1) {
        if (b.squares[s]->piece == ROOK && b.squares[s]->colour == colour)
            return static_cast<char>((colour == WHITE ? 'A' : 'a') + fileOf(rook));
    }
    return "KQkq"[index];
}

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

    std::string castlingLetters;
    if (*c == '-') {
        ++c;
    } else if (chess960) {
        for (; indexIn(CHESS960_CASTLING_LETTERS, *c) >= 0; ++c) castlingLetters += *c;
    } else {
        for (int bit; (bit = indexIn("KQkq", *c)) >= 0; ++c) parsed.castling |= 1 << bit;
    }
    if (*c != ' ') {
        complain(std::string("wrong castling flags in [ ") + text + " ]");
        return 0;
    }
    ++c;
    if (chess960) {
        std::string problem;
        readCastling960(parsed, castlingLetters, problem);
        if (!problem.empty()) complain(problem + " [ " + text + " ]");
    }

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
    setCastlingSquares(parsed.castlingKing, parsed.castlingRook);
    rebuild();
    return 1;
}

void Board::setChess960(bool on) {
    if (on == chess960) return;
    chess960 = on;
    ParsedFen current;
    for (Square s = 0; s < 120; ++s) {
        if (!onBoard(s)) continue;
        current.piece[s] = static_cast<int8_t>(squares[s]->piece);
        current.colour[s] = static_cast<int8_t>(squares[s]->colour);
    }
    if (on) {
        std::string letters, ignored;
        for (int index = 0; index < 4; ++index) {
            if (castling & (1 << index)) letters += "KQkq"[index];
        }
        readCastling960(current, letters, ignored);
    } else {
        current.castling = castling;
    }
    setCastlingSquares(current.castlingKing, current.castlingRook);
    if (current.castling != castling) {
        setCastling(current.castling);
        updateStage(); // the stage follows whether a right is left
    }
    if constexpr (kCheckInvariants) checkConsistency("setChess960");
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
        if (castling & (1 << bit)) *out++ = chess960 ? castlingLetter960(*this, bit) : "KQkq"[bit];
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
