// What a modern search thread keeps beside the ply records: its histories,
// the reduction table, and per ply the static evaluation, the move excluded
// by a singular search and the continuation-history rows of the moves that led
// there.
#pragma once

#include <array>
#include <cmath>
#include <memory>

#include "board/position.h"
#include "search/modern/history.h"
#include "search/modern/params.h"

// Evaluations of positions in check are not computed; their stack entry holds this.
constexpr int NO_EVAL = -32000;

struct ModernPly {
    int staticEval = NO_EVAL;
    // The evaluation before its correction; NO_EVAL when a recognizer scored
    // the position (its score is exact, not an estimate to correct).
    int rawEval = NO_EVAL;
    Move excluded = NO_MOVE;
    // The row of the continuation history for the move played from this ply
    // (coloured piece and to-square), or null when none was (a null move).
    int16_t (*continuation)[64] = nullptr;
};

// What the first line of an iteration leaves for the next one: the histories
// and the root order. The later lines of a multi-line search must not change
// them, or the next first line would be searched unlike a one-line search's.
struct FirstLineState {
    HistoryTables history;
    std::array<Move, MAX_MOVES> rootMoves;
    std::array<int32_t, MAX_MOVES> rootOrder;
    std::array<std::array<Move, 2>, MAX_PLY> killers;
    // The board as the first line left it: searching changes the order of
    // its piece lists, which the order of generated moves follows.
    Board board;
};

struct ModernState {
    HistoryTables history;
    std::unique_ptr<FirstLineState> firstLine; // made for the first multi-line search
    // Reductions in plies by depth and move number, both capped at 63.
    std::array<std::array<int8_t, 64>, 64> reductions{};
    std::array<ModernPly, MAX_PLY + 4> plies{};
    // The board before a reported line is walked: making and unmaking a
    // capture changes the order of the piece lists, and with it the order of
    // the moves generated next, so the search would depend on being watched.
    Board beforeReport;

    void prepare(const ModernParams& params) {
        for (int depth = 1; depth < 64; ++depth) {
            for (int moves = 1; moves < 64; ++moves) {
                const double r = params.reductionBase / 100.0 +
                                 std::log(depth) * std::log(moves) / (params.reductionDivisor / 100.0);
                reductions[depth][moves] = static_cast<int8_t>(r < 0 ? 0 : r > 60 ? 60 : r);
            }
        }
    }
    // The record of search ply p (plies -2 and -1 are empty, below the root).
    ModernPly& at(int p) { return plies[p + 2]; }
};
