// libFuzzer target: any text as a FEN (what setboard, position fen and suite
// lines hand to the board). A text the board takes must write back as a FEN
// that reads to the same text; a position with one king a side must then
// generate, make and take back its moves, name them in SAN, evaluate and
// mirror without touching memory it does not own.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/movetext.h"
#include "board/position.h"
#include "eval/evaluator.h"
#include "eval/tables.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Position position;
    static Evaluator evaluator;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Board& board = position.board;
    if (!board.readFen(text.c_str())) return 0;
    const std::string written = board.fen();
    if (!board.readFen(written.c_str()) || board.fen() != written) std::abort();
    if (!board.hasBothKings()) return 0;
    position.resetHistory();
    Move moves[MAX_MOVES];
    const int count = position.legalMoves(moves);
    char san[16];
    for (int i = 0; i < count; ++i) {
        moveToSan(position, moves[i], san);
        position.pushMove(moves[i]);
        position.popMove();
    }
    position.searchPly = 0;
    evaluator.evaluate(board);
    board.flip();
    evaluator.evaluate(board);
    return 0;
}
