// Polyglot move words and the engine's moves, the book moves of a position
// and the choice among them.
#include <algorithm>
#include <array>
#include <limits>

#include "board/legalmoves.h"
#include "book/polyglot.h"
#include "book/polyglotkey.h"

namespace {

// Promotion field of a Polyglot move word, indexed by code 0-4 and by PieceCode.
constexpr std::array<int, 5> PROMOTION_PIECE = {NO_PIECE, KNIGHT, BISHOP, ROOK, QUEEN};
constexpr std::array<int, 7> PROMOTION_CODE = {0, 0, 4, 3, 2, 1, 0};

// Polyglot writes castling as the king moving onto its own rook's corner. A
// king on its home square making that move can mean nothing else.
bool isCastlingWord(const Board& board, Square from, Square to) {
    const int us = board.side;
    const Square home = us == WHITE ? E1 : E8;
    const PieceEntry* mover = board.squares[from];
    return from == home && mover->piece == KING && mover->colour == us && (to == home + 3 || to == home - 4);
}

uint32_t addWeights(uint32_t a, uint32_t b) {
    const uint64_t sum = uint64_t{a} + b;
    return static_cast<uint32_t>(std::min<uint64_t>(sum, std::numeric_limits<uint32_t>::max()));
}

} // namespace

uint16_t polyglotMoveCode(Move move) {
    const Square from = moveFrom(move);
    Square to = moveTo(move);
    if (move & MOVE_CASTLE) to = to > from ? from + 3 : from - 4; // onto the rook's corner
    const int promotion = isPromotion(move) ? PROMOTION_CODE[movePromotion(move)] : 0;
    return static_cast<uint16_t>(square64(to) | square64(from) << 6 | promotion << 12);
}

Move polyglotMoveToEngine(const Board& board, uint16_t code, const Move* legal, int legalCount) {
    const int promotion = code >> 12; // bit 15 is never set in a valid word
    if (promotion >= static_cast<int>(PROMOTION_PIECE.size())) return NO_MOVE;
    const Square from = square0x88((code >> 6) & 63);
    Square to = square0x88(code & 63);
    if (isCastlingWord(board, from, to)) to = to > from ? from + 2 : from - 2;
    const Move wanted = buildMove(from, to, NO_PIECE, NO_PIECE, PROMOTION_PIECE[promotion]);
    for (int i = 0; i < legalCount; ++i) {
        if (sameMove(legal[i], wanted)) return legal[i];
    }
    return NO_MOVE;
}

std::vector<BookChoice> PolyglotBook::movesFor(const Board& board) const {
    std::vector<BookChoice> choices;
    const auto stored = entriesFor(polyglotKey(board));
    if (stored.empty()) return choices;
    Move legal[MAX_MOVES];
    int legalCount = 0;
    generateLegalMoves(board, legal, legalCount);
    for (const PolyglotEntry& entry : stored) {
        const Move move = polyglotMoveToEngine(board, entry.move, legal, legalCount);
        if (move == NO_MOVE) continue;
        auto same =
            std::find_if(choices.begin(), choices.end(), [&](const BookChoice& c) { return c.move == move; });
        if (same == choices.end())
            choices.push_back({move, entry.weight});
        else
            same->weight = addWeights(same->weight, entry.weight);
    }
    return choices;
}

// The weighted draw reduces `random` modulo the total weight; with at most a
// few hundred moves of 32-bit weights the bias of that is far below 2^-20.
Move chooseBookMove(const std::vector<BookChoice>& choices, uint64_t random, bool bestOnly) {
    if (bestOnly) {
        const BookChoice* best = nullptr;
        for (const BookChoice& c : choices) {
            if (c.weight > 0 && (!best || c.weight > best->weight)) best = &c;
        }
        return best ? best->move : NO_MOVE;
    }
    uint64_t total = 0;
    for (const BookChoice& c : choices) total += c.weight;
    if (total == 0) return NO_MOVE;
    uint64_t pick = random % total;
    for (const BookChoice& c : choices) {
        if (pick < c.weight) return c.move;
        pick -= c.weight;
    }
    return NO_MOVE; // not reached: pick < total
}

Move PolyglotBook::chooseMove(const Board& board, uint64_t random, bool bestOnly) const {
    return chooseBookMove(movesFor(board), random, bestOnly);
}
