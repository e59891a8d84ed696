// The pawn cache: pawn-structure scores and passed-pawn files by pawn key.
#pragma once

#include "eval/cache.h"

struct PawnCacheData {
    int16_t score;          // white minus black, before the pawn-structure weight
    uint8_t passedFiles[2]; // white's mask, then black's
    uint8_t padding[4];
};

using PawnHashTable = KeyedCache<PawnCacheData>;
