// Several lines at the root (multi-PV): after an iteration has found the best
// move, each further line searches the root moves the earlier lines left, so
// that line k holds the best of the moves not in lines 1 to k - 1.
#include <algorithm>

#include "board/score.h"
#include "search/modern/state.h"
#include "search/search.h"

void Search::keepLine(RootLine& line, int score) {
    const PlyRecord& root = ply(0);
    line.pvEnd = root.pvEnd > 0 ? root.pvEnd : 1;
    std::copy(root.pv, root.pv + line.pvEnd, line.pv);
    line.pv[0] = root.bestMove;
    if (root.pvEnd == 0 || !sameMove(root.pv[0], root.bestMove)) line.pvEnd = 1;
    line.score = score;
}

void Search::moveToIndex(Move move, int to) {
    PlyRecord& root = ply(0);
    const int from = rootIndexOf(move);
    if (from < to) return; // at `to` already, or among the earlier lines'
    const int32_t score = root.orderScores[from];
    for (int i = from; i > to; --i) {
        root.moves[i] = root.moves[i - 1];
        root.orderScores[i] = root.orderScores[i - 1];
    }
    root.moves[to] = move;
    root.orderScores[to] = score;
}

void Search::searchOtherLines(int depth) {
    PlyRecord& root = ply(0);
    keepLine(lines[0], rootScore);
    saveFirstLine();
    moveToIndex(root.bestMove, 0);
    linesDone = 1;
    const int savedAlpha = rootAlpha, savedBeta = rootBeta;
    for (int k = 1; k < lineCount; ++k) {
        rootFirst = k;
        rootAlpha = -INFINITE_SCORE;
        rootBeta = INFINITE_SCORE;
        const int score = options.profile == SearchProfile::Modern
                              ? modernRoot(-INFINITE_SCORE, INFINITE_SCORE, depth / 8)
                              : rootSearch(-INFINITE_SCORE, INFINITE_SCORE, depth);
        if (searchAborted) break;
        keepLine(lines[static_cast<size_t>(k)], score);
        moveToIndex(root.bestMove, k);
        linesDone = k + 1;
    }
    rootFirst = 0;
    rootAlpha = savedAlpha;
    rootBeta = savedBeta;
    rankLines();
    restoreFirstLine();
}

void Search::saveFirstLine() {
    if (options.profile != SearchProfile::Modern) return;
    if (!modern->firstLine) modern->firstLine = std::make_unique<FirstLineState>();
    FirstLineState& saved = *modern->firstLine;
    const PlyRecord& root = ply(0);
    saved.history = modern->history;
    std::copy(root.moves, root.moves + root.moveCount, saved.rootMoves.begin());
    std::copy(root.orderScores, root.orderScores + root.moveCount, saved.rootOrder.begin());
    for (int p = 0; p < MAX_PLY; ++p) saved.killers[p] = {ply(p).killer1, ply(p).killer2};
    saved.board.copyFrom(board);
}

// The root list goes back to the first line's order, with the best line's
// move at the front, as a one-line search would leave it.
void Search::restoreFirstLine() {
    if (options.profile != SearchProfile::Modern) return;
    const FirstLineState& saved = *modern->firstLine;
    PlyRecord& root = ply(0);
    modern->history = saved.history;
    board.copyFrom(saved.board);
    std::copy(saved.rootMoves.begin(), saved.rootMoves.begin() + root.moveCount, root.moves);
    std::copy(saved.rootOrder.begin(), saved.rootOrder.begin() + root.moveCount, root.orderScores);
    for (int p = 0; p < MAX_PLY; ++p) {
        ply(p).killer1 = saved.killers[p][0];
        ply(p).killer2 = saved.killers[p][1];
    }
    moveToIndex(root.bestMove, 0);
    root.orderScores[0] = FRONT_BONUS;
}

// Search instability may leave a later line scoring above an earlier one.
// The classic profile ranks the lines by score, ties in the order found. The
// modern one keeps its first line first, as its one-line search would play
// it: that search found every other move no better than the first line's
// score at this depth, so a later line is shown at most at the score of the
// line above it (its full-window search prunes otherwise, and no more
// truly). The later lines are ranked among themselves. A mate found by a
// later line is never hidden: then all lines are ranked by score.
void Search::rankLines() {
    PlyRecord& root = ply(0);
    bool keepFirst = options.profile == SearchProfile::Modern;
    for (int k = 1; k < linesDone; ++k) {
        const int score = lines[static_cast<size_t>(k)].score;
        if (score > lines[0].score && score >= MATE_SCORE - MAX_PLY) keepFirst = false;
    }
    std::stable_sort(lines.begin() + (keepFirst ? 1 : 0), lines.begin() + linesDone,
                     [](const RootLine& a, const RootLine& b) { return a.score > b.score; });
    if (keepFirst) {
        for (int k = 1; k < linesDone; ++k) {
            RootLine& line = lines[static_cast<size_t>(k)];
            line.score = std::min(line.score, lines[static_cast<size_t>(k - 1)].score);
        }
    }
    for (int k = 0; k < linesDone; ++k) {
        const RootLine& line = lines[static_cast<size_t>(k)];
        moveToIndex(line.pv[0], k);
        root.orderScores[k] = FRONT_BONUS - k;
    }
    const RootLine& best = lines[0];
    std::copy(best.pv, best.pv + best.pvEnd, root.pv);
    root.pvEnd = best.pvEnd;
    root.bestMove = best.pv[0];
    rootScore = best.score;
}

// Each line is exact: it was searched with a full window, or (the first) until
// it fell inside its window.
void Search::reportLines() {
    if (!reportsSeveralLines()) return;
    PlyRecord& root = ply(0);
    const int savedAlpha = rootAlpha, savedBeta = rootBeta;
    rootAlpha = -INFINITE_SCORE;
    rootBeta = INFINITE_SCORE;
    const int shown = std::min(linesDone, options.multiPv);
    for (int k = 0; k < shown; ++k) {
        const RootLine& line = lines[static_cast<size_t>(k)];
        std::copy(line.pv, line.pv + line.pvEnd, root.pv);
        root.pvEnd = line.pvEnd;
        reportedLine = k + 1;
        reportLine(line.score);
    }
    reportedLine = 0;
    const RootLine& best = lines[0];
    std::copy(best.pv, best.pv + best.pvEnd, root.pv);
    root.pvEnd = best.pvEnd;
    rootAlpha = savedAlpha;
    rootBeta = savedBeta;
}

namespace {

// Lines a limited strength chooses among.
constexpr int STRENGTH_LINES = 4;
// The margin below the best score within which a weaker move may be chosen,
// at the lowest rating; it narrows to nothing at the highest.
constexpr int WIDEST_MARGIN = 200;

// The depth of a search at `elo`: one ply at the lowest rating, a ply more
// for every 175 points.
int strengthDepth(int elo) { return 1 + (elo - MIN_ELO) / 175; }

int strengthMargin(int elo) { return WIDEST_MARGIN * (MAX_ELO - elo) / (MAX_ELO - MIN_ELO); }

bool isMateScore(int score) { return score >= MATE_SCORE - MAX_PLY || score <= -(MATE_SCORE - MAX_PLY); }

} // namespace

bool Search::prepareStrength() {
    depthCeiling = INT32_MAX;
    if (options.eloLimit <= 0 || isHelper) return false;
    const int elo = std::clamp(options.eloLimit, MIN_ELO, MAX_ELO);
    depthCeiling = strengthDepth(elo);
    lineCount = std::clamp(std::max(lineCount, STRENGTH_LINES), 1, ply(0).moveCount);
    return true;
}

// Each line's score gets a random bonus below the margin and the highest sum
// is played: a line far below the best is never chosen, one just below it
// often. A mate, for or against, is never traded away.
void Search::chooseAtStrength() {
    if (linesDone < 2) return;
    const int margin = strengthMargin(std::clamp(options.eloLimit, MIN_ELO, MAX_ELO));
    if (margin <= 0 || isMateScore(lines[0].score)) return;
    std::uniform_int_distribution<int> bonus(0, margin - 1);
    int chosen = 0, chosenValue = lines[0].score + bonus(strengthRandom);
    for (int k = 1; k < linesDone; ++k) {
        const int score = lines[static_cast<size_t>(k)].score;
        if (isMateScore(score) || score < lines[0].score - margin) continue;
        const int value = score + bonus(strengthRandom);
        if (value > chosenValue) {
            chosen = k;
            chosenValue = value;
        }
    }
    if (chosen == 0) return;
    PlyRecord& root = ply(0);
    const RootLine& line = lines[static_cast<size_t>(chosen)];
    std::copy(line.pv, line.pv + line.pvEnd, root.pv);
    root.pvEnd = line.pvEnd;
    root.bestMove = line.pv[0];
    rootScore = line.score;
    // The last line reported is the one played, as an exact score.
    rootAlpha = -INFINITE_SCORE;
    rootBeta = INFINITE_SCORE;
    reportLine(line.score);
}
