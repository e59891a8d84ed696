// Reports to the front end: the principal variation, extended from the
// transposition table, and the root move being searched.
#include "board/score.h"
#include "search/clock.h"
#include "search/modern/state.h"
#include "search/search.h"

namespace {

// A move that can be made in the position: the right piece on the board and no
// king left in check. Table moves may come from a key collision, so this is
// checked for every move of the line.
bool playable(Position& pos, Move m) {
    return m != NO_MOVE && moveCaptured(m) != KING && pos.board.isPseudoLegal(m) && pos.isLegalMove(m);
}

} // namespace

void Search::reportLine(int score) {
    FM_ASSERT(score >= -INFINITE_SCORE && score <= INFINITE_SCORE && pos.searchPly == 0);
    if (!listener->wantsLines(*this)) return;
    // A later line's search, or the running line when the lines are reported
    // together at the end of the iteration: no report of its own.
    if (rootFirst > 0 || (reportsSeveralLines() && reportedLine == 0)) return;
    PvReport report{pos,
                    iteration,
                    stats.selDepth,
                    totalNodes(),
                    score,
                    reportedElapsedMs(),
                    score >= rootBeta    ? ScoreBound::Lower
                    : score <= rootAlpha ? ScoreBound::Upper
                                         : ScoreBound::Exact,
                    {},
                    0,
                    reportedLine};
    const PlyRecord& root = ply(0);
    const bool keepsBoard = options.profile == SearchProfile::Modern;
    if (keepsBoard) modern->beforeReport.copyFrom(board);
    // The line extends from the table beyond the searched variation; it stops
    // one record short of the end of the ply stack and of the game record.
    int made = 0;
    while (pos.searchPly < MAX_PLY - 1 && pos.gamePly + 1 < HISTORY_SIZE) {
        const bool fromTable = made >= root.pvEnd;
        Move m = NO_MOVE;
        if (!fromTable) {
            m = root.pv[made];
        } else {
            m = hashTable.probe(nodeKey(), {0, 0, -INFINITE_SCORE, INFINITE_SCORE, 2}).move;
        }
        if (!playable(pos, m)) break;
        report.moves[made] = m;
        pos.pushMove(m);
        ++made;
        if (fromTable && pos.isRepetition()) break;
    }
    report.length = made;
    for (; made > 0; --made) pos.popMove();
    if (keepsBoard) board.copyFrom(modern->beforeReport);
    listener->line(report);
}

void Search::reportProgress(int index) {
    FM_ASSERT(index >= 0 && index < ply(0).moveCount);
    if (!listener->wantsLines(*this)) return;
    listener->progress(ProgressReport{pos, iteration, totalNodes(), index, ply(0).moveCount,
                                      ply(0).moves[index], reportedElapsedMs()});
}
