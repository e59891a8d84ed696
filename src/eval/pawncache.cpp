// The pawn cache: a direct-mapped table of 16-byte entries keyed by the pawn key.
#include "eval/pawncache.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "eval/cachesize.h"

PawnHashTable pawnHashTable;

void PawnHashTable::allocate() {
    hits = probes = 0;
    const uint64_t count = cacheEntryCount(sizeMB);
    entries.reset(cacheAddressable(count) ? new (std::nothrow) PawnHashEntry[count]() : nullptr);
    mask = entries ? static_cast<uint32_t>(count - 1) : 0;
    if (!entries) std::printf("Couldn't allocate memory for pawn hash table!\n");
    std::printf("pawn cache %5.3g MB [%llu entries]\n", static_cast<double>(count * 16) / 1048576.0,
                static_cast<unsigned long long>(count));
    std::fflush(stdout);
}

void PawnHashTable::clear() {
    if (entries) std::fill(entries.get(), entries.get() + uint64_t{mask} + 1, PawnHashEntry{});
}

void PawnHashTable::release() {
    entries.reset();
    mask = 0;
}

bool PawnHashTable::probe(uint32_t keyLow, uint32_t keyHigh, int& score, uint8_t passedFiles[2]) {
    if (!entries) return false;
    ++probes;
    const PawnHashEntry& e = entries[keyLow & mask];
    if (e.keyLow != keyLow || e.keyHigh != keyHigh) return false;
    ++hits;
    score = e.score;
    passedFiles[0] = e.passedFiles[0];
    passedFiles[1] = e.passedFiles[1];
    return true;
}

void PawnHashTable::store(uint32_t keyLow, uint32_t keyHigh, int score, const uint8_t passedFiles[2]) {
    if (!entries) return;
    PawnHashEntry& e = entries[keyLow & mask];
    e.keyLow = keyLow;
    e.keyHigh = keyHigh;
    e.score = static_cast<int16_t>(score);
    e.passedFiles[0] = passedFiles[0];
    e.passedFiles[1] = passedFiles[1];
}
