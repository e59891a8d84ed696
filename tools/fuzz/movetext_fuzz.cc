// libFuzzer target: move text in positions reached by random legal moves.
// The first bytes pick the moves of the walk from the initial position (one
// byte a ply, at most 64, up to the first zero byte); the rest is read as move text, as
// the console and the suites read it. Every legal move of the position reached
// must read back from its own SAN and coordinate text as itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/movetext.h"
#include "board/position.h"
#include "eval/tables.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    return 0;
}

namespace {

Move legalFromText(Position& position, const char* text) {
    const Move parsed = parseMove(position, text);
    const Move move =
        moveFromSquares(position.board, moveFrom(parsed), moveTo(parsed), movePromotion(parsed));
    if (move == NO_MOVE || !position.isLegalBySquares(moveFrom(move), moveTo(move))) return NO_MOVE;
    return move;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Position position;
    position.board.setStartPosition();
    position.resetHistory();
    Move moves[MAX_MOVES];
    size_t i = 0;
    for (; i < size && i < 64 && data[i] != 0; ++i) {
        const int count = position.legalMoves(moves);
        if (count == 0) break;
        position.pushGameMove(moves[data[i] % count]);
    }
    const std::string text(reinterpret_cast<const char*>(data) + (i < size ? i + 1 : size),
                           i < size ? size - i - 1 : 0);
    legalFromText(position, text.c_str());
    coordToMove(text.c_str());

    const int count = position.legalMoves(moves);
    char san[16], coord[8];
    for (int m = 0; m < count; ++m) {
        moveToSan(position, moves[m], san);
        moveToCoord(moves[m], coord);
        if (!sameMove(legalFromText(position, san), moves[m])) std::abort();
        if (!sameMove(legalFromText(position, coord), moves[m])) std::abort();
    }
    return 0;
}
