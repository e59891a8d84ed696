// The evaluation cache: final scores and evaluation info by position key.
#pragma once

#include "eval/cache.h"

struct EvalCacheData {
    int16_t score; // white's point of view; evaluations stay far inside 16 bits
    uint8_t info[3];
    uint8_t padding[3];
};

using EvalCache = KeyedCache<EvalCacheData>;

// Mixed into the high key word of positions with black to move.
constexpr uint32_t EVAL_CACHE_BLACK_TO_MOVE = 0x9E3779B9u;
