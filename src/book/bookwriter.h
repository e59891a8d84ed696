// Writing books: building one from the games of a PGN file, and merging one
// book into another.
#pragma once

#include <functional>

#include "board/output.h"
#include "board/position.h"
#include "book/openingbook.h"

// Replays the first `depth` plies of every game of the PGN file between two
// players rated above `minElo` on `position`, counts the results of the
// positions reached, and writes the book to the book's path; the book is then
// open on the new file. `newGame` puts the game back at the initial position
// (before the games are replayed and when the run ends). On failure the book
// at the path is left unchanged. `progress`, when given, shows the count of
// games read on one terminal line.
void createBook(const char* pgnPath, int depth, int minElo, Position& position, OpeningBook& book,
                Output& out, const std::function<void()>& newGame, Output* progress = nullptr);

// Adds the book at path2 to the book at path1 (games added, learning weights
// combined) and writes the result in place of the first.
void mergeBook(const char* path1, const char* path2, Output& out);
