// The books and learning of the engine: the opening book of its own format
// (which it builds and learns in), a Polyglot book (which it only reads) open
// instead of it, and the store of learned positions.
#pragma once

#include <cstdint>
#include <random>

#include "board/output.h"
#include "board/position.h"
#include "book/learning.h"
#include "book/openingbook.h"
#include "book/polyglot.h"

// True for a Polyglot book: a .bin name, or a file made of 16-byte entries only.
bool isPolyglotBookFile(const char* path);

class Books {
  public:
    OpeningBook book;          // the engine's own format
    PolyglotBook polyglotBook; // open instead of it when a Polyglot book is in play
    LearnStore learnStore;

    // Opens a book of either format (a Polyglot book by its .bin name or its
    // size), closing the other, and says which; false when it cannot be opened.
    bool load(const char* path, Output& out);
    bool isOpen() const { return book.isOpen() || polyglotBook.isOpen(); }
    void closeAll() {
        book.close();
        polyglotBook.close();
    }
    // The book moves of a position, as a table.
    void list(Position& where, Output& out);
    // Says that building or learning keeps to the engine's own format while a
    // Polyglot book is in play.
    void noteReadOnly(const char* what, Output& out) const;
    // The book's move among the root moves (the engine's book may reorder them
    // and their scores), or NO_MOVE. From a Polyglot book the highest weight
    // when `bestOnly`, else one at random by weight.
    Move choose(Position& root, Move* moves, int32_t* scores, int count, bool bestOnly);

  private:
    std::mt19937_64 random{std::random_device{}()};
};
