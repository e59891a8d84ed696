// The opening book: book.dat stays on disk and is searched by binary search
// with seeks; book moves are chosen by their weighted results, and game results
// are written back into the records of the positions the engine's moves reached.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/output.h"
#include "board/position.h"
#include "book/book.h"

class OpeningBook {
  public:
    OpeningBook() = default;
    OpeningBook(const OpeningBook&) = delete;
    OpeningBook& operator=(const OpeningBook&) = delete;
    ~OpeningBook() { close(); }

    // The book's file (the configured one, then the last one loaded).
    char path[256] = "book.dat";

    // Opens a book file for reading and updating and prints its position count;
    // 0 when it cannot be opened (or the path is too long), with no book open.
    int load(const char* bookPath, Output& out);
    // Opens the file at `path` again after it was rewritten with these counts.
    bool reopen(uint32_t white, uint32_t black);
    void close();
    bool isOpen() const { return file != nullptr; }
    uint32_t whiteCount() const { return counts[0]; }
    uint32_t blackCount() const { return counts[1]; }

    // File offset (at least 8) of a position's record in book section 0 (reached
    // by a white move) or 1 (by a black move), or 0 when it is not there.
    int64_t lookup(uint32_t keyLow, uint32_t keyHigh, int section, BookRecord& record);

    // Scores the root moves by their book records (the scores become the
    // ordering of the list, which is sorted highest first) and returns the first
    // when its score is positive, else NO_MOVE.
    Move chooseMove(Position& position, Move* moves, int32_t* scores, int count);

    // The table of the position's book moves, most played first.
    void list(Position& position, Output& out);

    // Counts a finished game (1 white won, 2 black won, 3 draw) in the records of
    // the positions the engine's moves reached, the engine playing `learnColor`.
    // Only games from the initial position are learned.
    void learnFromResult(const Position& game, int result, int learnColor);

  private:
    FILE* file = nullptr;
    uint32_t counts[2] = {0, 0};
};
