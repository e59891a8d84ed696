// Helpers of the book and learning tests: a scratch directory, files written
// and read byte for byte, and a game position with a book and a learning store.
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

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
using ScratchDir = TempDir;

void writeText(const std::string& path, const std::string& text);
std::string readBytes(const std::string& path);
bool fileExists(const std::string& path);

// A book file written directly from records, in the given order.
void writeBookRecords(const std::string& path, const std::vector<BookRecord>& white,
                      const std::vector<BookRecord>& black);
// Both sections of a book file as stored.
struct BookContents {
    std::vector<BookRecord> white;
    std::vector<BookRecord> black;
    bool complete = false; // the file holds the header and every record it counts
};
BookContents readBookContents(const std::string& path);

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
inline BookRecord recordOf(uint64_t key, uint16_t wins, uint16_t losses, uint16_t draws, uint16_t learn = 100) {
    return BookRecord{keyLowOf(key), keyHighOf(key), wins, losses, draws, learn};
}
std::vector<BookRecord> sortedByKey(std::vector<BookRecord> records);
// A book written from records (each section sorted here) and loaded by an
// engine at the initial position.
struct BookOnDisk {
    ScratchDir dir;
    std::unique_ptr<BookRig> engine;
    BookOnDisk(const std::vector<BookRecord>& white, const std::vector<BookRecord>& black);
    ~BookOnDisk() { engine->book.close(); }
};
// Standard output produced while `action` runs.
template <typename Action> std::string captureOutput(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}
