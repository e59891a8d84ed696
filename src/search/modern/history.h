// The move-ordering memory of a modern search thread: history of quiet moves
// by side, from- and to-square; a counter move for each of the opponent's
// moves; continuation histories of a move after the moves one and two plies
// earlier; and a history of captures. Updates use the usual gravity formula,
// so that every entry stays within the limit.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "board/types.h"

// A piece of a colour: 0 for none, 1 to 6 white, 8 to 13 black.
constexpr int colouredPiece(int colour, int piece) { return piece == NO_PIECE ? 0 : colour * 7 + piece; }
constexpr int COLOURED_PIECES = 14;

struct HistoryTables {
    int16_t quiet[2][64][64];
    Move counter[COLOURED_PIECES][64];
    // [previous coloured piece][previous to-square][coloured piece][to-square]
    int16_t continuation[COLOURED_PIECES][64][COLOURED_PIECES][64];
    int16_t capture[COLOURED_PIECES][64][7];

    void clear() { std::memset(static_cast<void*>(this), 0, sizeof *this); }
};

// Moves the entry towards `bonus` (positive) or away (negative), never past
// `limit`: the larger the entry already is, the smaller the step.
inline void updateHistory(int16_t& entry, int bonus, int limit) {
    const int value = entry + bonus - entry * (bonus < 0 ? -bonus : bonus) / limit;
    entry = static_cast<int16_t>(value > limit ? limit : value < -limit ? -limit : value);
}
