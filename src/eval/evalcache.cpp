// The evaluation cache: a direct-mapped table of 16-byte entries keyed by the
// position key with the side to move mixed in (see Board::evaluate).
#include "eval/evalcache.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "eval/cachesize.h"

EvalCache evalCache;

void EvalCache::allocate() {
    hits = probes = 0;
    const uint64_t count = cacheEntryCount(sizeMB);
    entries.reset(cacheAddressable(count) ? new (std::nothrow) EvalCacheEntry[count]() : nullptr);
    mask = entries ? static_cast<uint32_t>(count - 1) : 0;
    if (!entries) std::printf("Couldn't allocate memory for evaluation cache!\n");
    std::printf("eval cache %5.3g MB [%llu entries]\n", static_cast<double>(count * 16) / 1048576.0,
                static_cast<unsigned long long>(count));
    std::fflush(stdout);
}

void EvalCache::clear() {
    if (entries) std::fill(entries.get(), entries.get() + uint64_t{mask} + 1, EvalCacheEntry{});
}

void EvalCache::release() {
    entries.reset();
    mask = 0;
}

bool EvalCache::probe(uint32_t keyLow, uint32_t keyHigh, int& score, uint8_t info[3]) {
    if (!entries) return false;
    ++probes;
    const EvalCacheEntry& e = entries[keyLow & mask];
    if (e.keyLow != keyLow || e.keyHigh != keyHigh) return false;
    ++hits;
    score = e.score;
    info[0] = e.info[0];
    info[1] = e.info[1];
    info[2] = e.info[2];
    return true;
}

void EvalCache::store(uint32_t keyLow, uint32_t keyHigh, int score, const uint8_t info[3]) {
    if (!entries) return;
    EvalCacheEntry& e = entries[keyLow & mask];
    e.keyLow = keyLow;
    e.keyHigh = keyHigh;
    e.score = static_cast<int16_t>(score);
    e.info[0] = info[0];
    e.info[1] = info[1];
    e.info[2] = info[2];
}
