// One record per position of the game (and of the current search line).
#pragma once

#include <cstdint>

#include "board/types.h"

struct HistoryRecord {
    int32_t fifty;   // plies since the last capture or pawn move
    int32_t inCheck; // the side to move is in check
    uint32_t castling;
    int32_t epSquare; // 0 for none
    Move move;        // the move played from this position (0: none or a null move)
    uint64_t key;
    uint64_t pawnKey;
};

constexpr int HISTORY_SIZE = 1067;
// A game move is refused once the record holds this many plies, so that a
// search of up to MAX_PLY plies always finds room above the game.
constexpr int MAX_GAME_PLY = 1000;
