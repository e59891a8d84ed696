// The evaluation cache: final scores and evaluation info by position key.
#pragma once

#include <cstdint>
#include <memory>

struct EvalCacheEntry {
    uint32_t keyLow;
    uint32_t keyHigh;
    int16_t score; // white's point of view
    uint8_t info[3];
    uint8_t padding[3];
};
static_assert(sizeof(EvalCacheEntry) == 16);

class EvalCache {
  public:
    int32_t sizeMB = 2;
    uint32_t mask = 0;
    uint32_t hits = 0;
    uint32_t probes = 0;

    // Sizes (largest power of two of 16-byte entries within sizeMB, at least
    // 2), clears and prints the size line. Without memory the table stays
    // unallocated and the evaluator works uncached.
    void allocate();
    // Frees the entries: probes miss and stores are dropped until the next allocate.
    void release();
    // Empties every entry (the bench starts each position from empty caches).
    void clear();
    bool allocated() const { return entries != nullptr; }
    // A probe of an unallocated table is no probe: it misses and counts nothing.
    bool probe(uint32_t keyLow, uint32_t keyHigh, int& score, uint8_t info[3]);
    // The score is kept in 16 bits (evaluations stay far inside that range).
    void store(uint32_t keyLow, uint32_t keyHigh, int score, const uint8_t info[3]);

  private:
    std::unique_ptr<EvalCacheEntry[]> entries;
};

extern EvalCache evalCache;

// Mixed into the high key word of positions with black to move.
constexpr uint32_t EVAL_CACHE_BLACK_TO_MOVE = 0x9E3779B9u;
