// Move text: coordinate notation (e2e4, e7e8Q) and standard algebraic notation
// (Nbd2, exd5, O-O, e8=Q+), and the one tolerant reader for both.
#include <cstring>

#include "shell/engine.h"

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
    text[0] = FILE_LETTERS[fileOf(square)];
    text[1] = RANK_DIGITS[rankOf(square)];
    text[2] = '\0';
}

void moveToCoord(Move move, char* text) {
    squareToText(moveFrom(move), text);
    squareToText(moveTo(move), text + 2);
    if (move & MOVE_PROMOTION) {
        text[4] = PIECE_LETTERS[movePromotion(move)];
        text[5] = '\0';
    }
}

Move coordToMove(const char* text) {
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
            break;
    }
    return buildMove(makeSquare(fromFile, fromRank), makeSquare(toFile, toRank), 0, 0, promotion);
}

// SAN without check mark; call before the move is made.
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
        // The first other piece of the kind that also reaches the square decides
        // one disambiguating character.
        for (const PieceEntry* e = pieceList[side][piece]; e; e = e->next) {
            if (e->square == from || !canReach(e->square, to)) continue;
            *out++ =
                fileOf(e->square) != fileOf(from) ? FILE_LETTERS[fileOf(from)] : RANK_DIGITS[rankOf(from)];
            break;
        }
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

void Engine::moveToSan(Move move, char* text) {
    board.moveToSanText(move, text);
    if (!board.hasBothKings() || !board.isPseudoLegal(move)) return;
    pushMove(move);
    if (top().inCheck) {
        Move replies[MAX_MOVES];
        int count = 0;
        board.generateEvasions(replies, count);
        std::strcat(text, count == 0 ? "#" : "+");
    }
    popMove();
}

void Engine::parseMove(Move& move, const char* text) {
    move = NO_MOVE;
    int promotion = -1, piece = -1, fromFile = -1, fromRank = -1;

    // A promotion written after "=" names the piece; the text is cut there.
    const char* equals = std::strchr(text, '=');
    const char* end = text + std::strlen(text);
    if (equals) {
        const int letter = indexIn(PIECE_LETTERS, equals[1]);
        if (letter <= 0) return;
        promotion = (letter - 1) % 6 + 1;
        end = equals;
    }

    char copy[MOVE_TEXT_LIMIT + 1];
    size_t length = 0;
    for (const char* c = text; c < end; ++c) {
        if (*c == 'x' || *c == '+' || *c == '=' || *c == ' ' || *c == '\t' || *c == '\n' || *c == '\r')
            continue;
        if (length == MOVE_TEXT_LIMIT) return; // too long to be a move
        copy[length++] = *c;
    }
    copy[length] = '\0';
    if (length > 0 && std::strchr("+#=", copy[length - 1])) copy[--length] = '\0';

    if (!std::strcmp(copy, "O-O") || !std::strcmp(copy, "o-o") || !std::strcmp(copy, "0-0")) {
        move = board.side == WHITE ? CASTLE_WHITE_KINGSIDE : CASTLE_BLACK_KINGSIDE;
        return;
    }
    if (!std::strcmp(copy, "O-O-O") || !std::strcmp(copy, "o-o-o") || !std::strcmp(copy, "0-0-0")) {
        move = board.side == WHITE ? CASTLE_WHITE_QUEENSIDE : CASTLE_BLACK_QUEENSIDE;
        return;
    }
    if (length >= 4) {
        const Move coordinate = coordToMove(copy);
        if (coordinate != NO_MOVE) {
            move = coordinate;
            return;
        }
    }

    // SAN: a lower-case b followed by b can only be a bishop move.
    if (copy[0] == 'b' && copy[1] == 'b') copy[0] = 'B';
    if (length < 2) return;
    const int toFile = indexIn(FILE_LETTERS, copy[length - 2]);
    const int toRank = indexIn(RANK_DIGITS, copy[length - 1]);
    if (toFile < 0 || toRank < 0) return;
    const Square to = makeSquare(toFile, toRank);
    length -= 2;
    copy[length] = '\0';

    size_t at = 0;
    if (at < length) {
        switch (copy[at]) {
            case 'P':
            case 'p':
                piece = PAWN;
                break;
            case 'N':
            case 'n':
                piece = KNIGHT;
                break;
            case 'B':
                piece = BISHOP;
                break;
            case 'R':
            case 'r':
                piece = ROOK;
                break;
            case 'Q':
            case 'q':
                piece = QUEEN;
                break;
            case 'K':
            case 'k':
                piece = KING;
                break;
            default:
                break;
        }
        if (piece != -1) ++at;
    }
    if (at < length) {
        fromFile = indexIn(FILE_LETTERS, copy[at]);
        fromRank = indexIn(RANK_DIGITS, copy[at]);
    }
    if (piece == -1) piece = PAWN;

    if (!board.hasBothKings()) return;
    Move moves[MAX_MOVES];
    int count = 0;
    generateMoves(moves, count);
    // The first fitting move in generation order; SAN leaves out a piece that
    // is pinned, so a fitting move that is legal is preferred to one that is not.
    for (int i = 0; i < count; ++i) {
        const Move m = moves[i];
        if (moveTo(m) != to || movePiece(m) != piece || moveCaptured(m) == KING) continue;
        if (promotion != -1 && movePromotion(m) != promotion) continue;
        if (fromFile != -1 && fileOf(moveFrom(m)) != fromFile) continue;
        if (fromRank != -1 && rankOf(moveFrom(m)) != fromRank) continue;
        if (move == NO_MOVE) move = m;
        pushMove(m);
        const bool legal = !board.leavesKingInCheck(m, 1);
        popMove();
        if (legal) {
            move = m;
            return;
        }
    }
}

// The full move word for two squares of the current position. A promotion
// piece counts only for a pawn reaching its last rank, and such a pawn without
// one becomes a queen: the word must never describe a move the board cannot make.
Move Engine::moveFromSquares(Square from, Square to, int promotion) const {
    if (from < 0 || from > 119 || to < 0 || to > 119 || from == to || !onBoard(from) || !onBoard(to))
        return NO_MOVE;
    const int piece = board.squares[from]->piece;
    const int captured = board.squares[to]->piece;
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
