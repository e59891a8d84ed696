// Move text: coordinate notation (e2e4, e7e8Q) and standard algebraic notation
// (Nbd2, exd5, O-O, e8=Q+), and the one tolerant reader for both.
#include <cctype>
#include <cstring>
#include <string>

#include "board/movetext.h"

namespace {

int indexIn(const char* set, char c) {
    if (c == '\0') return -1;
    const char* p = std::strchr(set, c);
    return p ? static_cast<int>(p - set) : -1;
}

// Longest move text the reader works on once "x", "+", "=" and blanks are gone.
constexpr size_t MOVE_TEXT_LIMIT = 15;

} // namespace

void squareToText(Square square, char* text) {
    FM_ASSERT(isSquare(square) && text != nullptr);
    text[0] = FILE_LETTERS[fileOf(square)];
    text[1] = RANK_DIGITS[rankOf(square)];
    text[2] = '\0';
}

void moveToCoord(Move move, char* text) {
    FM_ASSERT(text != nullptr);
    squareToText(moveFrom(move), text);
    squareToText(moveTo(move), text + 2);
    if (move & MOVE_PROMOTION) {
        text[4] = PIECE_LETTERS[movePromotion(move)];
        text[5] = '\0';
    }
}

Move coordToMove(const char* text) {
    FM_ASSERT(text != nullptr);
    const int fromFile = indexIn(FILE_LETTERS, text[0]);
    if (fromFile < 0) return NO_MOVE;
    const int fromRank = indexIn(RANK_DIGITS, text[1]);
    if (fromRank < 0) return NO_MOVE;
    const int toFile = indexIn(FILE_LETTERS, text[2]);
    if (toFile < 0) return NO_MOVE;
    const int toRank = indexIn(RANK_DIGITS, text[3]);
    if (toRank < 0) return NO_MOVE;
    int promotion = 0;
    switch (text[4]) {
        case 'Q':
        case 'q':
            promotion = QUEEN;
            break;
        case 'R':
        case 'r':
            promotion = ROOK;
            break;
        case 'B':
        case 'b':
            promotion = BISHOP;
            break;
        case 'N':
        case 'n':
            promotion = KNIGHT;
            break;
        default:
            // A letter there names a piece no pawn becomes (e7e8k): no move.
            if (std::isalpha(static_cast<unsigned char>(text[4]))) return NO_MOVE;
            break;
    }
    return buildMove(makeSquare(fromFile, fromRank), makeSquare(toFile, toRank), 0, 0, promotion);
}

bool looksLikeMove(const char* text) {
    FM_ASSERT(text != nullptr);
    std::string t(text);
    while (!t.empty() && std::strchr("+#!?", t.back())) t.pop_back();
    if (t == "O-O" || t == "O-O-O" || t == "o-o" || t == "o-o-o" || t == "0-0" || t == "0-0-0") return true;
    const auto isFile = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto isRank = [](char c) { return c >= '1' && c <= '8'; };
    // Coordinates, with any letter after them as a promotion piece.
    if ((t.size() == 4 || t.size() == 5) && isFile(t[0]) && isRank(t[1]) && isFile(t[2]) && isRank(t[3]))
        return t.size() == 4 || std::isalpha(static_cast<unsigned char>(t[4]));
    // SAN: [piece] [file] [rank] [x] square [[=]promotion].
    size_t i = 0;
    if (i < t.size() && std::strchr("KQRBN", t[i])) ++i;
    const size_t end = t.find_last_of("12345678");
    if (end == std::string::npos || end < 1 || end < i + 1 || !isFile(t[end - 1])) return false;
    for (size_t j = i; j + 1 < end; ++j) {
        if (!isFile(t[j]) && !isRank(t[j]) && t[j] != 'x') return false;
    }
    std::string rest = t.substr(end + 1);
    if (!rest.empty() && rest[0] == '=') rest.erase(0, 1);
    return rest.empty() || (rest.size() == 1 && std::strchr("QRBNqrbn", rest[0]));
}

void Board::moveToSanText(Move move, char* text) const {
    char* out = text;
    *out = '\0';
    if (move == NO_MOVE) return;
    const Square from = moveFrom(move), to = moveTo(move);
    if (move & MOVE_CASTLE) {
        std::strcpy(text, from <= to ? "O-O" : "O-O-O");
        return;
    }
    const int piece = movePiece(move);
    if (piece == PAWN) {
        if (isCapture(move)) *out++ = FILE_LETTERS[fileOf(from)];
    } else if (piece == KING) {
        *out++ = 'K';
    } else {
        *out++ = PIECE_LETTERS[piece];
        // Other pieces of the kind that also reach the square are told apart by
        // the origin's file, by its rank when one of them shares the file, and
        // by both when others share the file and the rank (three knights).
        bool rival = false, sharedFile = false, sharedRank = false;
        for (const PieceEntry* e = pieceList[side][piece]; e; e = e->next) {
            if (e->square == from || !canReach(e->square, to)) continue;
            rival = true;
            sharedFile = sharedFile || fileOf(e->square) == fileOf(from);
            sharedRank = sharedRank || rankOf(e->square) == rankOf(from);
        }
        if (rival && (!sharedFile || sharedRank)) *out++ = FILE_LETTERS[fileOf(from)];
        if (sharedFile) *out++ = RANK_DIGITS[rankOf(from)];
    }
    if (isCapture(move)) *out++ = 'x';
    *out++ = FILE_LETTERS[fileOf(to)];
    *out++ = RANK_DIGITS[rankOf(to)];
    if (move & MOVE_PROMOTION) {
        *out++ = '=';
        *out++ = PIECE_LETTERS[movePromotion(move)];
    }
    *out = '\0';
}

void moveToSan(Position& position, Move move, char* text) {
    FM_ASSERT(text != nullptr && (move == NO_MOVE || isWellFormed(move)));
    const Board& board = position.board;
    board.moveToSanText(move, text);
    if (!board.hasBothKings() || !board.isPseudoLegal(move)) return;
    position.pushMove(move);
    if (position.top().inCheck) {
        Move replies[MAX_MOVES];
        int count = 0;
        board.generateEvasions(replies, count);
        std::strcat(text, count == 0 ? "#" : "+");
    }
    position.popMove();
}

namespace {

// The fields of a SAN move: the target square, and what is known of the piece,
// its origin and the promotion (-1: not given).
struct SanFields {
    Square to = 0;
    int piece = -1;
    int fromFile = -1;
    int fromRank = -1;
    int promotion = -1;
};

// Step 1: a promotion written after "=" names the piece, and the text ends
// there. False when "=" is followed by no piece letter.
bool readPromotionSuffix(const char* text, const char*& end, int& promotion) {
    end = text + std::strlen(text);
    const char* equals = std::strchr(text, '=');
    if (!equals) return true;
    const int letter = indexIn(PIECE_LETTERS, equals[1]);
    if (letter <= 0) return false;
    promotion = (letter - 1) % 6 + 1;
    end = equals;
    return true;
}

// Step 2: the text without capture and check marks and blanks, and without a
// final "#" or "=". False when what is left is too long to be a move.
bool compactText(const char* text, const char* end, char (&copy)[MOVE_TEXT_LIMIT + 1], size_t& length) {
    length = 0;
    for (const char* c = text; c < end; ++c) {
        if (*c == 'x' || *c == '+' || *c == '=' || *c == ' ' || *c == '\t' || *c == '\n' || *c == '\r')
            continue;
        if (length == MOVE_TEXT_LIMIT) return false;
        copy[length++] = *c;
    }
    copy[length] = '\0';
    if (length > 0 && std::strchr("+#=", copy[length - 1])) copy[--length] = '\0';
    return true;
}

// Step 3: castling in letters or digits, for the side to move, as the
// board's mode writes it (e1g1, or the king taking its rook in Chess960).
Move castlingWord(const char* copy, const Board& board) {
    if (!std::strcmp(copy, "O-O") || !std::strcmp(copy, "o-o") || !std::strcmp(copy, "0-0"))
        return board.castlingMove(castlingRight(board.side, true));
    if (!std::strcmp(copy, "O-O-O") || !std::strcmp(copy, "o-o-o") || !std::strcmp(copy, "0-0-0"))
        return board.castlingMove(castlingRight(board.side, false));
    return NO_MOVE;
}

int pieceOfLetter(char c) {
    switch (c) {
        case 'P':
        case 'p':
            return PAWN;
        case 'N':
        case 'n':
            return KNIGHT;
        case 'B': // a lower-case b is a file
            return BISHOP;
        case 'R':
        case 'r':
            return ROOK;
        case 'Q':
        case 'q':
            return QUEEN;
        case 'K':
        case 'k':
            return KING;
        default:
            return -1;
    }
}

// Step 5: the target square at the end, then an optional piece letter and a
// disambiguating file, rank or both. False when the text ends in no square.
bool readSanFields(char* copy, size_t length, SanFields& f) {
    // A lower-case b followed by b can only be a bishop move.
    if (copy[0] == 'b' && copy[1] == 'b') copy[0] = 'B';
    if (length < 2) return false;
    const int toFile = indexIn(FILE_LETTERS, copy[length - 2]);
    const int toRank = indexIn(RANK_DIGITS, copy[length - 1]);
    if (toFile < 0 || toRank < 0) return false;
    f.to = makeSquare(toFile, toRank);
    length -= 2;
    copy[length] = '\0';

    size_t at = 0;
    if (at < length) {
        f.piece = pieceOfLetter(copy[at]);
        if (f.piece != -1) ++at;
    }
    if (at < length) {
        f.fromFile = indexIn(FILE_LETTERS, copy[at]);
        f.fromRank = indexIn(RANK_DIGITS, copy[at]);
        // A file and a rank: the whole origin square, as when three pieces reach the target.
        if (f.fromFile != -1 && at + 1 < length) f.fromRank = indexIn(RANK_DIGITS, copy[at + 1]);
    }
    if (f.piece == -1) f.piece = PAWN;
    return true;
}

bool fits(Move m, const SanFields& f) {
    if (moveTo(m) != f.to || movePiece(m) != f.piece || moveCaptured(m) == KING) return false;
    if (f.promotion != -1 && movePromotion(m) != f.promotion) return false;
    if (f.fromFile != -1 && fileOf(moveFrom(m)) != f.fromFile) return false;
    if (f.fromRank != -1 && rankOf(moveFrom(m)) != f.fromRank) return false;
    return true;
}

// Step 6: the first fitting move in generation order; SAN leaves out a piece
// that is pinned, so a fitting move that is legal is preferred to one that is not.
// A Chess960 castle, written as the king taking its rook, is no king move to
// that square ("Kh1"): only O-O and O-O-O name it.
Move matchSan(Position& position, const SanFields& f) {
    if (!position.board.hasBothKings()) return NO_MOVE;
    Move moves[MAX_MOVES];
    int count = 0;
    position.generateMoves(moves, count);
    Move first = NO_MOVE;
    for (int i = 0; i < count; ++i) {
        if (!fits(moves[i], f) || ((moves[i] & MOVE_CASTLE) && position.board.chess960)) continue;
        if (first == NO_MOVE) first = moves[i];
        if (position.isLegalMove(moves[i])) return moves[i];
    }
    return first;
}

} // namespace

Move parseMove(Position& position, const char* text) {
    FM_ASSERT(text != nullptr);
    SanFields fields;
    const char* end = nullptr;
    if (!readPromotionSuffix(text, end, fields.promotion)) return NO_MOVE;
    char copy[MOVE_TEXT_LIMIT + 1];
    size_t length = 0;
    if (!compactText(text, end, copy, length)) return NO_MOVE;
    if (const Move castle = castlingWord(copy, position.board); castle != NO_MOVE) return castle;
    // Step 4: coordinates.
    if (length >= 4) {
        if (const Move coordinate = coordToMove(copy); coordinate != NO_MOVE) return coordinate;
    }
    if (!readSanFields(copy, length, fields)) return NO_MOVE;
    return matchSan(position, fields);
}

Move moveFromSquares(const Board& board, Square from, Square to, int promotion) {
    if (from < 0 || from > 119 || to < 0 || to > 119 || from == to || !onBoard(from) || !onBoard(to))
        return NO_MOVE;
    const int piece = board.squares[from]->piece;
    const int captured = board.squares[to]->piece;
    // In Chess960 the king castles by "taking" its own rook, and only so.
    if (board.chess960 && piece == KING) {
        if (captured == ROOK && board.squares[to]->colour == board.squares[from]->colour)
            return buildMove(from, to, KING, 0, 0, MOVE_CASTLE);
        return buildMove(from, to, KING, captured, 0, captured ? uint32_t{MOVE_CAPTURE} : 0u);
    }
    uint32_t flags = captured ? uint32_t{MOVE_CAPTURE} : 0u;
    int capturedCode = captured;
    int promo = 0;
    if (piece == KING && (to - from == 2 || to - from == -2)) flags |= MOVE_CASTLE;
    if (piece == PAWN) {
        flags |= MOVE_PAWN;
        if (fileOf(from) != fileOf(to) && captured == NO_PIECE) {
            flags |= MOVE_EN_PASSANT | MOVE_CAPTURE;
            capturedCode = PAWN;
        }
        if (to - from == 32 || to - from == -32) flags |= MOVE_DOUBLE_PUSH;
        if (rankOf(to) == 0 || rankOf(to) == 7) {
            promo = (promotion >= QUEEN && promotion <= KNIGHT) ? promotion : QUEEN;
            flags |= MOVE_PROMOTION;
        }
    }
    return buildMove(from, to, piece, capturedCode, promo, flags);
}
