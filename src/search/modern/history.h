// The move-ordering memory of a modern search thread: history of quiet moves
// by side, from- and to-square; a counter move for each of the opponent's
// moves; continuation histories of a move after the moves one and two plies
// earlier; a history of captures; and corrections of the static evaluation
// by pawn structure and by each side's pieces. History updates use the usual gravity formula, so that
// every entry stays within the limit; the correction is a moving average.
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
    // The same by side to move, by a colour and the placement of that
    // colour's pieces other than pawns.
    int32_t pieceCorrection[2][2][CORRECTION_ENTRIES];

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

// A key of where a colour's pieces other than pawns stand: each kind's squares,
// offset by a constant of its own and scrambled (the finaliser of splitmix64),
// folded together; the table is indexed by the high bits.
inline uint64_t pieceKey(const uint64_t (&bits)[7]) {
    constexpr uint64_t OFFSETS[7] = {0,
                                     0x9E3779B97F4A7C15ull,
                                     0xC2B2AE3D27D4EB4Full,
                                     0x165667B19E3779F9ull,
                                     0xD6E8FEB86659FD93ull,
                                     0xFF51AFD7ED558CCDull,
                                     0};
    uint64_t key = 0;
    for (int piece = KING; piece <= KNIGHT; ++piece) {
        uint64_t z = bits[piece] + OFFSETS[piece];
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        key ^= z ^ (z >> 31);
    }
    return key >> 50;
}

// The piece correction's entry for a side to move and the pieces of `colour`.
inline int32_t& pieceCorrectionEntry(HistoryTables& h, int side, int colour, const uint64_t (&bits)[7]) {
    return h.pieceCorrection[side][colour][pieceKey(bits)];
}

// A moving average: the entry moves towards `error` centipawns by `weight`
// 256ths of the way, and stays within `limit` centipawns either way.
inline void updateCorrection(int32_t& entry, int error, int weight, int limit) {
    const int64_t target = static_cast<int64_t>(error) * CORRECTION_GRAIN;
    const int64_t value = (static_cast<int64_t>(entry) * (256 - weight) + target * weight) / 256;
    const int64_t bound = static_cast<int64_t>(limit) * CORRECTION_GRAIN;
    entry = static_cast<int32_t>(value > bound ? bound : value < -bound ? -bound : value);
}
