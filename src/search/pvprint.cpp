// Thinking output: the principal-variation line and the progress line.
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "search/score.h"
#include "shell/engine.h"
#include "shell/platform.h"

namespace {

// A line of text assembled piece by piece in a fixed buffer.
class LineBuffer {
  public:
    void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (length >= sizeof text - 1) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text + length, sizeof text - length, format, args);
        va_end(args);
        if (n > 0) length = std::min(length + static_cast<size_t>(n), sizeof text - 1);
    }
    const char* str() const { return text; }

  private:
    char text[4096] = {};
    size_t length = 0;
};

// A move that can be made in the position: the right piece on the board and no
// king left in check. Table moves may come from a key collision, so this is
// checked for every move of the line.
bool playable(Engine& e, Move m) {
    if (m == NO_MOVE || moveCaptured(m) == KING || !e.board.isPseudoLegal(m)) return false;
    e.pushMove(m);
    const bool legal = !e.board.leavesKingInCheck(m, 1);
    e.popMove();
    return legal;
}

} // namespace

void Engine::printPV(int score) {
    if (iteration < pvDepth || postMode == 0 || quietSearch) return;
    const int64_t elapsed = wallClockMs() - startTime;
    LineBuffer line;
    if (postMode == 1) {
        char depthField[32];
        std::snprintf(depthField, sizeof depthField, "%d/%d", iteration, stats.selDepth);
        line.add("%6s%14u  %6.2f  %6.2f ", depthField, stats.nodes, score / 100.0, elapsed / 1000.0);
    } else {
        line.add("%d %d %lld %u", iteration, score, static_cast<long long>(elapsed / 10), stats.nodes);
    }

    const char* mark = score >= rootBeta ? "+ " : score <= rootAlpha ? "- " : ". ";
    int firstNumber = 1;
    if (board.side == BLACK) {
        firstNumber = 2;
        line.add(" 1%c ...", mark[0]);
    }

    const PlyRecord& root = ply(0);
    int made = 0;
    // The line extends from the table beyond the searched variation; it stops
    // one record short of the end of the ply stack and of the game record.
    while (searchPly < MAX_PLY - 1 && gamePly + 1 < HISTORY_SIZE) {
        const bool fromTable = made >= root.pvEnd;
        Move m = NO_MOVE;
        if (!fromTable) {
            m = root.pv[made];
        } else {
            int ignoredScore = 0, ignoredThreat = 0;
            hashTable.probe(board.side, static_cast<uint32_t>(board.key),
                            static_cast<uint32_t>(board.key >> 32), 0, 0, -INFINITE_SCORE, INFINITE_SCORE, 2,
                            ignoredScore, m, ignoredThreat);
        }
        if (!playable(*this, m)) break;
        if (board.side == WHITE) {
            const int number = made / 2 + firstNumber;
            if (postMode == 1 && number - 1 != 0 && (number - 1) % 3 == 0) line.add("\n\t\t\t\t     ");
            line.add(" %d", number);
            line.add("%s", made == 0 ? mark : ". ");
        } else {
            line.add(" ");
        }
        char san[16];
        board.moveToSanText(m, san);
        line.add("%s", san);
        pushMove(m);
        ++made;
        if (fromTable && isRepetition()) break;
    }
    line.add("\n");
    for (; made > 0; --made) popMove();
    print("%s", line.str());
}

void Engine::printProgress(int index) {
    if (postMode != 1 || iteration < pvDepth || xboardMode || quietSearch) return;
    const int64_t elapsed = wallClockMs() - startTime;
    char san[16];
    board.moveToSanText(ply(0).moves[index], san);
    std::printf("\r%6d%14u   %2d/%2d  %6.2f ", iteration, stats.nodes, index + 1, ply(0).moveCount,
                elapsed / 1000.0);
    if (board.side == BLACK)
        std::printf(" 1. ... %s   \r", san);
    else
        std::printf(" 1. %s   \r", san);
    std::fflush(stdout);
}
