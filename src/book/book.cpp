// The opening book: the file stays on disk and is searched by binary search
// with seeks; book moves are chosen by their weighted results.
#include <cstring>
#include <utility>

#include "board/movetext.h"
#include "book/openingbook.h"

namespace {

constexpr uint64_t recordOffset(uint32_t whiteCount, int section, uint64_t index) {
    return BOOK_HEADER_BYTES + (uint64_t{section == 0 ? 0u : whiteCount} + index) * BOOK_RECORD_BYTES;
}

// Orders entries by score, highest first: every later entry that beats the one
// in place i is swapped into it at once, so equal scores may change order.
// `swapItems(i, j)` exchanges the caller's payloads along with the scores.
template <typename SwapItems> void exchangeSort(int32_t* scores, int count, SwapItems swapItems) {
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (scores[j] > scores[i]) {
                std::swap(scores[i], scores[j]);
                swapItems(i, j);
            }
        }
    }
}

} // namespace

int OpeningBook::load(const char* bookPath, Output& out) {
    FM_ASSERT(bookPath != nullptr);
    close();
    if (std::strlen(bookPath) >= sizeof path) return 0;
    std::memmove(path, bookPath, std::strlen(bookPath) + 1);
    file = std::fopen(path, "r+b");
    if (!file) return 0;
    // Nothing marks a file as a book: a file too short for a header is an
    // empty book, but counts larger than the file mean a damaged one.
    if (fileLength(file) >= BOOK_HEADER_BYTES && !readBookCounts(file, counts)) {
        out.print("%s is damaged: its counts do not fit its size; no book opened\n", path);
        close();
        return 0;
    }
    out.print("%d book positions\n", static_cast<int>(counts[0] + counts[1]));
    return 1;
}

bool OpeningBook::reopen(uint32_t white, uint32_t black) {
    close();
    file = std::fopen(path, "r+b");
    if (!file) return false;
    counts[0] = white;
    counts[1] = black;
    return true;
}

void OpeningBook::close() {
    if (file) std::fclose(file);
    file = nullptr;
    counts[0] = counts[1] = 0;
}

int64_t OpeningBook::lookup(uint32_t keyLow, uint32_t keyHigh, int section, BookRecord& record) {
    FM_ASSERT(section == 0 || section == 1);
    if (!file) return 0;
    const uint64_t wanted = uint64_t{keyHigh} << 32 | keyLow;
    const uint32_t count = counts[section];
    int64_t lo = 0, hi = int64_t{count} - 1;
    while (lo <= hi) {
        const int64_t mid = (lo + hi) / 2;
        const auto offset =
            static_cast<int64_t>(recordOffset(counts[0], section, static_cast<uint64_t>(mid)));
        unsigned char bytes[BOOK_RECORD_BYTES];
        if (!readAt(file, offset, bytes, sizeof bytes)) return 0;
        const BookRecord found = decodeBookRecord(bytes);
        const uint64_t key = bookKey(found);
        if (key == wanted) {
            record = found;
            return offset;
        }
        if (key < wanted)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}

Move OpeningBook::chooseMove(Position& position, Move* moves, int32_t* scores, int count) {
    FM_ASSERT(moves != nullptr && scores != nullptr && count >= 0 && count <= MAX_MOVES);
    const Board& board = position.board;
    if (!file || !board.hasBothKings() || count <= 0 || count > MAX_MOVES) return NO_MOVE;
    const int mover = board.side;

    // 1. Each root move's record; absent positions count as no games. A move
    // that cannot be played here (a stale or damaged list) is never made.
    BookRecord records[MAX_MOVES];
    bool playable[MAX_MOVES];
    double total = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = moves[i];
        records[i] = BookRecord{0, 0, 0, 0, 0, BOOK_NEUTRAL_LEARN};
        playable[i] = board.isPseudoLegal(move) && moveCaptured(move) != KING;
        if (!playable[i]) continue;
        position.pushMove(move);
        playable[i] = !board.leavesKingInCheck(move, 1);
        if (playable[i]) lookup(keyLow(board.key), keyHigh(board.key), mover, records[i]);
        position.popMove();
        total += records[i].wins + records[i].losses + records[i].draws;
    }

    // 2. Weighted scores: the share of the book games the move scored, times its
    // learning weight, plus a random term of 0 to 5 points.
    for (int i = 0; i < count; ++i) {
        const BookRecord& r = records[i];
        const int games = r.wins + r.losses + r.draws;
        scores[i] = 0;
        if (!playable[i] || (games <= 1 && r.wins == 0)) continue;
        double x = static_cast<double>((r.draws + 2 * r.wins) * 100) / (2.0 * games);
        x = x * games / total * r.learn * 0.01;
        if (x != 0) x += bookRandomTerm();
        scores[i] = static_cast<int32_t>(x);
    }

    exchangeSort(scores, count, [&](int i, int j) { std::swap(moves[i], moves[j]); });
    return scores[0] > 0 ? moves[0] : NO_MOVE;
}

void OpeningBook::list(Position& position, Output& out) {
    const Board& board = position.board;
    struct Row {
        Move move;
        BookRecord record;
    };
    Row rows[MAX_MOVES];
    int32_t played[MAX_MOVES];
    int count = 0;
    double total = 0;

    // 1. Every legal move with the record of the position it reaches.
    if (board.hasBothKings()) {
        Move moves[MAX_MOVES];
        int moveCount = 0;
        position.generateMoves(moves, moveCount);
        const int mover = board.side;
        for (int i = 0; i < moveCount; ++i) {
            if (moveCaptured(moves[i]) == KING) continue;
            position.pushMove(moves[i]);
            BookRecord r{0, 0, 0, 0, 0, BOOK_NEUTRAL_LEARN};
            const bool legal = !board.leavesKingInCheck(moves[i], 1);
            if (legal) lookup(keyLow(board.key), keyHigh(board.key), mover, r);
            position.popMove();
            if (!legal) continue;
            rows[count] = Row{moves[i], r};
            played[count] = r.wins + r.losses + r.draws;
            total += played[count];
            ++count;
        }
    }

    // 2. Most played first; 3-4. the table of the moves with games.
    exchangeSort(played, count, [&](int i, int j) { std::swap(rows[i], rows[j]); });
    out.print("  move   played   +        -        =       score   learn   sortv\n");
    for (int i = 0; i < count; ++i) {
        const BookRecord& r = rows[i].record;
        const int games = played[i];
        if (games == 0) continue;
        char san[16];
        moveToSan(position, rows[i].move, san);
        const double score = (r.draws + 2.0 * r.wins) * 100 / (2.0 * games);
        double sortValue = games * score / total * r.learn * 0.01;
        if (sortValue != 0) sortValue += bookRandomTerm();
        out.print("%6s %6d %7.2f%% %7.2f%% %7.2f%% %7.2f%% %7.2f %7.2f\n", san, games, r.wins * 100.0 / games,
                  r.losses * 100.0 / games, r.draws * 100.0 / games, score, r.learn * 0.01, sortValue);
    }
}
