// The opening book the engine plays from: its own format (book.dat), which it
// builds and learns in, or a Polyglot book (.bin), which it only reads.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "board/movetext.h"
#include "shell/engine.h"

bool isPolyglotBookFile(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= 4) {
        std::string extension(path + length - 4);
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".bin") return true;
    }
    // The engine's books are an 8-byte header and 16-byte records; Polyglot
    // books are 16-byte entries only.
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size % 16 == 0;
}

bool Engine::loadBook(const char* path, Output& out) {
    if (!isPolyglotBookFile(path)) {
        polyglotBook.close();
        return book.load(path, out) != 0;
    }
    const PolyglotLoad load = polyglotBook.open(path);
    if (!load.ok()) {
        out.print("%s\n", load.message.c_str());
        return false;
    }
    book.close();
    out.print("Polyglot book %s: %zu entries\n", path, polyglotBook.entryCount());
    return true;
}

bool Engine::bookOpen() const { return book.isOpen() || polyglotBook.isOpen(); }

// A Polyglot book is read only: building, merging and result learning work on
// the engine's own format, and say so while a Polyglot book is the one in play.
void Engine::noteReadOnlyBook(const char* what) {
    if (polyglotBook.isOpen())
        print("The Polyglot book %s is read only: %s uses the book in the engine's format (%s)\n",
              polyglotBook.path().c_str(), what, book.path);
}

void Engine::listBook(Position& where, Output& out) {
    if (!polyglotBook.isOpen()) {
        book.list(where, out);
        return;
    }
    std::vector<BookChoice> choices = polyglotBook.movesFor(where.board);
    std::stable_sort(choices.begin(), choices.end(),
                     [](const BookChoice& a, const BookChoice& b) { return a.weight > b.weight; });
    uint64_t total = 0;
    for (const BookChoice& c : choices) total += c.weight;
    out.print("  move   weight   share\n");
    for (const BookChoice& c : choices) {
        char san[16];
        moveToSan(where, c.move, san);
        out.print("%6s %8u %6.2f%%\n", san, c.weight,
                  total == 0 ? 0.0 : c.weight * 100.0 / static_cast<double>(total));
    }
}

Move Engine::bookMove(Position& root, Move* moves, int32_t* scores, int count) {
    // The books hold standard games: none of their moves fits a Chess960 game.
    if (root.board.chess960) return NO_MOVE;
    if (!polyglotBook.isOpen()) return book.chooseMove(root, moves, scores, count);
    return polyglotBook.chooseMove(root.board, bookRandom(), settings.bookBestMove);
}
