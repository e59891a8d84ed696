// libFuzzer target: PGN files for the book builder. The first byte sets the
// depth in plies; the rest is the file. The book that results is opened and
// read back (the moves of the initial position and of the first book line).
#include <cstdint>

#include "board/position.h"
#include "book/bookwriter.h"
#include "book/openingbook.h"
#include "eval/tables.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static Position position;
    SilentOutput out;
    std::remove("book.dat");
    fuzzsupport::writeFile("games.pgn", data + 1, size - 1);
    OpeningBook book;
    const auto newGame = [] {
        position.board.setStartPosition();
        position.resetHistory();
    };
    newGame();
    createBook("games.pgn", data[0] % 48, 0, position, book, out, newGame);
    if (!book.isOpen()) return 0;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES];
    for (int ply = 0; ply < 8; ++ply) {
        book.list(position, out);
        const int count = position.legalMoves(moves);
        const Move move = book.chooseMove(position, moves, scores, count);
        if (move == NO_MOVE) break;
        position.pushGameMove(move);
    }
    book.learnFromResult(position, 1 + data[0] % 3, data[0] & 1 ? WHITE : BLACK);
    return 0;
}
