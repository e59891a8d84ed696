// Helpers of the book and learning tests: book files written and read record
// by record, and a game position with a book and a learning store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/bookwriter.h"
#include "book/learning.h"
#include "book/openingbook.h"
#include "shell/program.h"
#include "testutil.h"

// A book file written directly from records, in the given order.
void writeBookRecords(const std::string& path, const std::vector<BookRecord>& white,
                      const std::vector<BookRecord>& black);
// Both sections of a book file's bytes.
struct BookContents {
    std::vector<BookRecord> white;
    std::vector<BookRecord> black;
    bool complete = false; // the bytes hold the header and every record it counts
};
BookContents readBookContents(const std::string& bytes);

// What the engine holds for its book: the game's position, an opening book
// (not yet opened), a learning store, a small transposition table, and the
// book's messages on standard output. The position starts at the initial one.
struct BookRig {
    explicit BookRig(const std::string& bookPath = "book.dat");
    Position position;
    MainHashTable table;
    OpeningBook book;
    LearnStore learnStore;
    StandardOutput out;
    // The root list as the search hands it to the book.
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES];
    int count = 0;

    Board& board() { return position.board; }
    void newGame();
    // Opens the book at its path, quietly; false when it cannot be opened.
    bool load();
    // Builds the book at the book's path from a PGN file.
    void create(const std::string& pgnPath, int depth, int minElo);
    // Places the legal moves of the position in the root list, as the search does.
    void fillRootMoves();
    Move chooseMove() { return book.chooseMove(position, moves, scores, count); }
};
std::unique_ptr<BookRig> bookRig(const std::string& bookPath);
// The key of the position reached by playing SAN moves from the initial position.
uint64_t keyAfter(const std::vector<std::string>& sanMoves);
// The record of that position with the given counts.
BookRecord recordAfter(const std::vector<std::string>& moves, uint16_t wins, uint16_t losses, uint16_t draws,
                       uint16_t learn = 100);
inline BookRecord recordOf(uint64_t key, uint16_t wins, uint16_t losses, uint16_t draws,
                           uint16_t learn = 100) {
    return BookRecord{keyLow(key), keyHigh(key), wins, losses, draws, learn};
}
std::vector<BookRecord> sortedByKey(std::vector<BookRecord> records);
// A record's key and counts, compared in one assertion that prints them all.
inline auto fieldsOf(const BookRecord& r) {
    return std::tuple(bookKey(r), r.wins, r.losses, r.draws, r.learn);
}
// The records of a book section, record by record.
void expectRecords(const std::vector<BookRecord>& got, const std::vector<BookRecord>& expected);
// A book written from records (each section sorted here) and loaded by an
// engine at the initial position.
struct BookOnDisk {
    TempDir dir;
    std::unique_ptr<BookRig> engine;
    BookOnDisk(const std::vector<BookRecord>& white, const std::vector<BookRecord>& black);
};
// Standard output produced while `action` runs.
template <typename Action> std::string captureOutput(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}
