// The move-ordering memory of a modern search thread: history of quiet moves
// by side, from- and to-square; a counter move for each of the opponent's
// moves; continuation histories of a move after the moves one and two plies
// earlier; a history of captures; and corrections of the static evaluation
// by pawn structure and by the opponent's last move. History updates use the
// usual gravity formula, so that every entry stays within the limit; the
// corrections are moving averages.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "board/types.h"

// A piece of a colour: 0 for none, 1 to 6 white, 8 to 13 black.
constexpr int colouredPiece(int colour, int piece) { return piece == NO_PIECE ? 0 : colour * 7 + piece; }
constexpr int COLOURED_PIECES = 14;

constexpr int CORRECTION_ENTRIES = 16384;
constexpr int CORRECTION_GRAIN = 256;

struct HistoryTables {
    int16_t quiet[2][64][64];
    Move counter[COLOURED_PIECES][64];
    // [previous coloured piece][previous to-square][coloured piece][to-square]
    int16_t continuation[COLOURED_PIECES][64][COLOURED_PIECES][64];
    int16_t capture[COLOURED_PIECES][64][7];
    // By side to move and pawn key: how far the searches found the static
    // evaluation off, on average, in 1/CORRECTION_GRAIN centipawns.
    int32_t correction[2][CORRECTION_ENTRIES];
    // The same by side to move and the opponent's last move (its coloured
    // piece and to-square).
    int32_t moveCorrection[2][COLOURED_PIECES][64];

    void clear() { std::memset(static_cast<void*>(this), 0, sizeof *this); }
};

// Moves the entry towards `bonus` (positive) or away (negative), never past
// `limit`: the larger the entry already is, the smaller the step.
inline void updateHistory(int16_t& entry, int bonus, int limit) {
    const int value = entry + bonus - entry * (bonus < 0 ? -bonus : bonus) / limit;
    entry = static_cast<int16_t>(value > limit ? limit : value < -limit ? -limit : value);
}

// The evaluation correction's entry for a side and pawn key.
inline int32_t& correctionEntry(HistoryTables& h, int side, uint64_t pawnKey) {
    return h.correction[side][pawnKey & (CORRECTION_ENTRIES - 1)];
}

// A moving average: the entry moves towards `error` centipawns by `weight`
// 256ths of the way, and stays within `limit` centipawns either way.
inline void updateCorrection(int32_t& entry, int error, int weight, int limit) {
    const int64_t target = static_cast<int64_t>(error) * CORRECTION_GRAIN;
    const int64_t value = (static_cast<int64_t>(entry) * (256 - weight) + target * weight) / 256;
    const int64_t bound = static_cast<int64_t>(limit) * CORRECTION_GRAIN;
    entry = static_cast<int32_t>(value > bound ? bound : value < -bound ? -bound : value);
}
