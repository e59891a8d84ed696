// Writing books: building one from the games of a PGN file, and merging one
// book into another. Both collect records in memory, sort them and replace the
// book file only once the new one is complete.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "book/book.h"
#include "book/bookwriter.h"
#include "book/pgn.h"
#include "book/progress.h"

namespace {

// Largest section a book holds: its count is printed as a signed number.
constexpr uint64_t MAX_SECTION_RECORDS = 0x3FFFFFFF;

// One section of a book being written: records in arrival order up to a fixed
// capacity, found by key through an open-addressing index.
class SectionBuilder {
  public:
    bool reserve(uint64_t capacity) {
        limit = capacity;
        records.reset(new (std::nothrow) BookRecord[capacity > 0 ? capacity : 1]);
        slots.assign(1024, 0);
        return records != nullptr;
    }

    BookRecord* find(uint64_t key) {
        for (size_t i = slotOf(key);; i = (i + 1) & (slots.size() - 1)) {
            if (slots[i] == 0) return nullptr;
            BookRecord& r = records[slots[i] - 1];
            if (bookKey(r) == key) return &r;
        }
    }

    // Appends a record whose key is not yet present; null when the section is full.
    BookRecord* append(const BookRecord& record) {
        if (count >= limit) return nullptr;
        if ((count + 1) * 2 > slots.size()) growIndex();
        records[count] = record;
        insertSlot(count);
        return &records[count++];
    }

    void sortByKey() {
        std::sort(records.get(), records.get() + count,
                  [](const BookRecord& a, const BookRecord& b) { return bookKey(a) < bookKey(b); });
        slots.assign(slots.size(), 0); // the order changed: the index no longer applies
    }

    const BookRecord* data() const { return records.get(); }
    uint32_t size() const { return static_cast<uint32_t>(count); }

  private:
    std::unique_ptr<BookRecord[]> records;
    uint64_t limit = 0;
    uint64_t count = 0;
    std::vector<uint32_t> slots; // record index + 1; 0 marks a free slot

    size_t slotOf(uint64_t key) const {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots.size() - 1);
    }
    void insertSlot(uint64_t index) {
        size_t i = slotOf(bookKey(records[index]));
        while (slots[i] != 0) i = (i + 1) & (slots.size() - 1);
        slots[i] = static_cast<uint32_t>(index + 1);
    }
    void growIndex() {
        slots.assign(slots.size() * 2, 0);
        for (uint64_t i = 0; i < count; ++i) insertSlot(i);
    }
};

constexpr BookRecord newRecord(uint64_t key) {
    return BookRecord{keyLow(key), keyHigh(key), 0, 0, 0, BOOK_NEUTRAL_LEARN};
}

// Counts one game result for the side that made the move.
void countResult(BookRecord& r, int result) {
    if (result == WHITE_WON)
        r.wins = saturate16(r.wins + 1u);
    else if (result == BLACK_WON)
        r.losses = saturate16(r.losses + 1u);
    else if (result == DRAWN)
        r.draws = saturate16(r.draws + 1u);
}

// Adds an incoming record's games to one already in the section.
void addRecord(BookRecord& r, const BookRecord& incoming) {
    r.wins = saturate16(uint32_t{r.wins} + incoming.wins);
    r.losses = saturate16(uint32_t{r.losses} + incoming.losses);
    r.draws = saturate16(uint32_t{r.draws} + incoming.draws);
}

// The legal move a token names, made on the board; NO_MOVE (nothing made) when
// it names none.
Move playGameMove(Position& position, const char* token) {
    Board& board = position.board;
    Move move = parseMove(position, token);
    if (move != NO_MOVE && movePiece(move) == NO_PIECE)
        move = moveFromSquares(board, moveFrom(move), moveTo(move), movePromotion(move));
    if (move == NO_MOVE || !board.isPseudoLegal(move) || moveCaptured(move) == KING) return NO_MOVE;
    position.pushGameMove(move);
    if (!board.leavesKingInCheck(move, 1)) return move;
    position.popGameMove();
    return NO_MOVE;
}

// Reads all records of a book file into two sections. A key already there has
// the incoming games added to it; with `learnRule` (the second book of a merge)
// its weight also becomes (incoming learn / 100) x its own. Without it only a
// damaged book repeats a key, which is then kept once with all its games.
bool readRecordsInto(FILE* file, SectionBuilder sections[2], const uint32_t counts[2], bool learnRule) {
    constexpr uint32_t BLOCK = 4096;
    std::vector<unsigned char> block(BLOCK * BOOK_RECORD_BYTES);
    int64_t offset = BOOK_HEADER_BYTES;
    for (int section = 0; section < 2; ++section) {
        for (uint32_t done = 0; done < counts[section];) {
            const uint32_t n = std::min(counts[section] - done, BLOCK);
            if (!readAt(file, offset, block.data(), size_t{n} * BOOK_RECORD_BYTES)) return false;
            for (uint32_t i = 0; i < n; ++i) {
                const BookRecord r = decodeBookRecord(block.data() + size_t{i} * BOOK_RECORD_BYTES);
                BookRecord* existing = sections[section].find(bookKey(r));
                if (!existing) {
                    sections[section].append(r);
                    continue;
                }
                addRecord(*existing, r);
                if (learnRule) existing->learn = saturate16(uint64_t{r.learn} / 100 * existing->learn);
            }
            done += n;
            offset += int64_t{n} * BOOK_RECORD_BYTES;
        }
    }
    return true;
}

// Plays the first `depth` moves of a cleaned game and counts its result in the
// records of the positions reached. Returns false when a section is full, which
// ends the whole run. Messages start below the games counter.
bool addGame(Position& position, Output& out, SectionBuilder sections[2],
             const std::vector<const char*>& tokens, int depth, int gameResult, int games,
             ProgressCount& counter) {
    const int tokenCount = static_cast<int>(tokens.size());
    const int plies = std::min(depth, tokenCount);
    if (plies > MAX_GAME_PLY) {
        counter.endLine();
        out.print("Game %d skipped: more than %d plies\n", games, MAX_GAME_PLY);
        return true;
    }
    for (int i = 0; i < plies; ++i) {
        const int mover = position.board.side;
        if (playGameMove(position, tokens[i]) == NO_MOVE) {
            counter.endLine();
            out.print("Invalid move @ game = %d move = %d/%d\n", games, i, tokenCount);
            return true;
        }
        // Results count from the mover's side; a black move of a game without a
        // result counts as a draw, a white one not at all.
        int result = gameResult;
        if (mover == BLACK)
            result = result == WHITE_WON ? BLACK_WON : result == BLACK_WON ? WHITE_WON : DRAWN;
        const uint64_t key = position.board.key;
        BookRecord* record = sections[mover].find(key);
        if (!record) record = sections[mover].append(newRecord(key));
        if (!record) {
            counter.endLine();
            out.print("Book size limit reached:Increase book cache!\n");
            return false;
        }
        countResult(*record, result);
    }
    return true;
}

} // namespace

void createBook(const char* path, int depth, int minElo, Position& position, OpeningBook& book, Output& out,
                const std::function<void()>& newGame, Output* progress) {
    // 1-2. The source, and room for one record per 16 bytes of it in each section.
    FILE* pgn = std::fopen(path, "r");
    if (!pgn) {
        out.print("Can't find book source\n");
        return;
    }
    const int64_t size = fileLength(pgn);
    if (size < 0) {
        out.print("Can't read %s: not a regular file\n", path);
        std::fclose(pgn);
        return;
    }
    const uint64_t capacity =
        std::min<uint64_t>(size > 0 ? static_cast<uint64_t>(size) / 16 : 0, MAX_SECTION_RECORDS);
    out.print("allocated memory for %d positions\n", static_cast<int>(2 * capacity));
    SectionBuilder sections[2];
    if (!sections[0].reserve(capacity) || !sections[1].reserve(capacity)) {
        out.print("Unsufficient memory for opening book!\n");
        std::fclose(pgn);
        return;
    }

    // 3. Replay the opening of every game between two players rated above
    //    minElo, with a running count of the games read.
    newGame();
    ProgressCount counter("games read", progress);
    PgnReader reader(pgn, minElo);
    PgnGame game;
    std::vector<const char*> tokens;
    int games = 0;
    bool full = false;
    while (!full) {
        while (position.gamePly > 0) position.popGameMove();
        counter.show(games);
        if (!reader.nextGame(game)) break;
        if (!game.whiteRated || !game.blackRated) continue;
        ++games;
        if (game.moveTextTooLong) {
            counter.endLine();
            out.print("Game %d skipped: its move text is longer than %d bytes\n", games,
                      static_cast<int>(MAX_MOVE_TEXT));
            continue;
        }
        if (!cleanMoveText(game.moveText)) {
            counter.endLine();
            out.print("Unclosed brace in game %d\n", games);
        }
        splitTokens(game.moveText, tokens);
        full = !addGame(position, out, sections, tokens, depth, game.result, games, counter);
    }
    counter.finish(games);

    // 4-5. Report, sort, and leave the board at the initial position.
    const bool readFailed = reader.readError();
    std::fclose(pgn);
    if (readFailed) {
        out.print("Can't read %s: the book is left unchanged\n", path);
        newGame();
        return;
    }
    out.print("%d positions added to book from %d games\n",
              static_cast<int>(sections[0].size() + sections[1].size()), games);
    sections[0].sortByKey();
    sections[1].sortByKey();
    newGame();

    // 6. The new book replaces the old one only once it is completely written.
    if (!writeBookFile(book.path, sections[0].data(), sections[0].size(), sections[1].data(),
                       sections[1].size())) {
        out.print("Can't write %s: the book there is left unchanged\n", book.path);
        return;
    }
    if (!book.reopen(sections[0].size(), sections[1].size())) {
        out.print("Can't open %s\n", book.path);
        return;
    }
    out.print("Book created! (%s)\n", book.path);
}

void mergeBook(const char* path1, const char* path2, Output& out) {
    FM_ASSERT(path1 != nullptr && path2 != nullptr);
    // 1. Both books must exist.
    FILE* first = std::fopen(path1, "rb");
    FILE* second = std::fopen(path2, "rb");
    if (!first || !second) {
        out.print("Can't find %s\n", first ? path2 : path1);
        if (first) std::fclose(first);
        if (second) std::fclose(second);
        return;
    }

    // 2-4. The first book's records, then the second's added to them or appended.
    uint32_t counts1[2], counts2[2];
    const bool valid1 = readBookCounts(first, counts1);
    const bool valid2 = valid1 && readBookCounts(second, counts2);
    SectionBuilder sections[2];
    bool read = false;
    if (!valid1 || !valid2) {
        out.print("%s is not a complete book file\n", valid1 ? path2 : path1);
    } else if (!sections[0].reserve(uint64_t{counts1[0]} + counts2[0]) ||
               !sections[1].reserve(uint64_t{counts1[1]} + counts2[1])) {
        out.print("Unsufficient memory for opening book!\n");
    } else if (!readRecordsInto(first, sections, counts1, false)) {
        out.print("Can't read %s\n", path1);
    } else if (!readRecordsInto(second, sections, counts2, true)) {
        out.print("Can't read %s\n", path2);
    } else {
        read = true;
    }
    std::fclose(first);
    std::fclose(second);
    if (!read) return;

    // 5-6. Sorted, written in place of the first book. The open book stays as it was.
    sections[0].sortByKey();
    sections[1].sortByKey();
    if (!writeBookFile(path1, sections[0].data(), sections[0].size(), sections[1].data(), sections[1].size()))
        out.print("Can't write %s: the book there is left unchanged\n", path1);
}
