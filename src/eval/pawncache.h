// The pawn cache: pawn-structure scores and passed-pawn files by pawn key.
#pragma once

#include <cstdint>
#include <memory>

struct PawnHashEntry {
    uint32_t keyLow;
    uint32_t keyHigh;
    int16_t score;          // white minus black, before the pawn-structure weight
    uint8_t passedFiles[2]; // white's mask, then black's
    uint8_t padding[4];
};
static_assert(sizeof(PawnHashEntry) == 16);

class PawnHashTable {
  public:
    int32_t sizeMB = 5;
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
    bool probe(uint32_t keyLow, uint32_t keyHigh, int& score, uint8_t passedFiles[2]);
    void store(uint32_t keyLow, uint32_t keyHigh, int score, const uint8_t passedFiles[2]);

  private:
    std::unique_ptr<PawnHashEntry[]> entries;
};

extern PawnHashTable pawnHashTable;
