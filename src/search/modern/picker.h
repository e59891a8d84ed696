// The move picker of the modern search: the table move, captures that do not
// lose material (most valuable victim first, then by capture history), the
// killers and the counter move, quiet moves by their histories, and the
// captures that lose material last. In check: every evasion, the table move
// first, captures before quiet moves. The quiescence search asks for captures
// (and queen promotions), and on its first ply for the quiet checks after them.
// Moves come pseudo-legal: the caller tests that the king is safe.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/modern/history.h"
#include "search/plyrecord.h"

class ModernPicker {
  public:
    enum class Kind { Main, Quiescence, QuiescenceWithChecks };

    // `r` lends its move list and scores. `continuation` holds the rows of the
    // continuation history for the moves one and two plies back (null: none).
    ModernPicker(const Position& pos, PlyRecord& r, const HistoryTables& history, Kind kind, Move tableMove,
                 Move killer1, Move killer2, Move counter, const int16_t (*const continuation[2])[64]);

    // The next move, NO_MOVE when there is none left. With `skipQuiets` the
    // quiet moves not yet handed out are passed over.
    Move next(bool skipQuiets);
    // True once the moves handed out are the losing captures.
    bool inBadCaptures() const { return stage == Stage::BadCaptures; }

  private:
    enum class Stage {
        TableMove,
        GenerateCaptures,
        GoodCaptures,
        Killer1,
        Killer2,
        Counter,
        GenerateQuiets,
        Quiets,
        BadCaptures,
        GenerateQuietChecks,
        QuietChecks,
        GenerateEvasions,
        Evasions,
        Done
    };

    const Position& pos;
    const Board& board;
    PlyRecord& r;
    const HistoryTables& history;
    const int16_t (*continuation[2])[64];
    Kind kind;
    Stage stage;
    Move tableMove, killer1, killer2, counter;
    int index = 0, end = 0;
    Move bad[MAX_MOVES];
    int badCount = 0, badIndex = 0;

    void scoreCaptures(int from, int to);
    void scoreQuiets(int from, int to);
    void scoreEvasions(int from, int to);
    // The best-scored move of index .. end - 1, swapped to index.
    Move selectNext();
    // True for a move already handed out in an earlier stage.
    bool handedOut(Move m) const;
    // A killer or counter move that can be played here and is quiet.
    bool playableQuiet(Move m) const;
};
