// libFuzzer target: the files of the book and the learning store. The first
// byte picks the kind: book.dat (looked up, listed, learned into, merged with
// itself), learn.dat (opened and loaded into the table, then learned into) or
// a Polyglot .bin (opened, moves read and chosen); the rest is the file. The
// next bytes also pick the moves of a short walk from the initial position,
// so that lookups reach positions other than the first.
#include <cstdint>

#include "board/position.h"
#include "book/bookwriter.h"
#include "book/learning.h"
#include "book/openingbook.h"
#include "book/polyglot.h"
#include "eval/tables.h"
#include "fuzz_support.h"
#include "search/tt.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    return 0;
}

namespace {

Position& walk(const uint8_t* data, size_t size) {
    static Position position;
    position.board.setStartPosition();
    position.resetHistory();
    Move moves[MAX_MOVES];
    for (size_t i = 0; i < size && i < 6; ++i) {
        const int count = position.legalMoves(moves);
        if (count == 0) break;
        position.pushGameMove(moves[data[i] % count]);
    }
    return position;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    SilentOutput out;
    const uint8_t kind = data[0] % 3;
    ++data;
    --size;
    Move moves[MAX_MOVES];
    int32_t scores[MAX_MOVES];
    if (kind == 0) {
        fuzzsupport::writeFile("fuzz.dat", data, size);
        fuzzsupport::writeFile("copy.dat", data, size);
        OpeningBook book;
        if (book.load("fuzz.dat", out)) {
            for (int plies = 0; plies < 3; ++plies) {
                Position& position = walk(data, plies * 2 < static_cast<int>(size) ? plies * 2 : 0);
                book.list(position, out);
                const int count = position.legalMoves(moves);
                book.chooseMove(position, moves, scores, count);
                book.learnFromResult(position, 1 + plies, WHITE);
            }
            book.close();
        }
        mergeBook("fuzz.dat", "copy.dat", out);
    } else if (kind == 1) {
        fuzzsupport::writeFile("fuzz.lrn", data, size);
        static MainHashTable table;
        if (!table.allocated()) {
            table.mainHashMB = 1;
            table.allocate();
        }
        LearnStore store;
        std::snprintf(store.path, sizeof store.path, "fuzz.lrn");
        if (store.open()) {
            store.load(table, out);
            store.learnPosition(walk(data, size), table);
        }
    } else {
        fuzzsupport::writeFile("fuzz.bin", data, size);
        PolyglotBook book;
        if (book.open("fuzz.bin").ok()) {
            for (size_t plies = 0; plies < 3; ++plies) {
                const Board& board = walk(data, plies * 2 < size ? plies * 2 : 0).board;
                book.movesFor(board);
                book.chooseMove(board, size, false);
                book.chooseMove(board, size, true);
            }
        }
    }
    return 0;
}
