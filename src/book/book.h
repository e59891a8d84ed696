// The opening book file: two sections of 16-byte records sorted by key.
#pragma once

#include <cstdint>

struct BookRecord {
    uint32_t keyLow;
    uint32_t keyHigh;
    uint16_t wins;
    uint16_t losses;
    uint16_t draws;
    uint16_t learn;
};
static_assert(sizeof(BookRecord) == 16);
