// The evaluator's caches: direct-mapped tables of 16-byte entries, a 64-bit
// key in two words and eight bytes of payload, sized from megabytes. The pawn
// cache and the evaluation cache are two of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "board/counter.h"
#include "board/largememory.h"
#include "board/types.h"

// Entries of 16 bytes: the largest power of two that fits in sizeMB
// megabytes, at least 2.
inline uint64_t cacheEntryCount(int32_t sizeMB) {
    const uint64_t bytes = sizeMB > 0 ? static_cast<uint64_t>(sizeMB) << 20 : 0;
    uint64_t count = 2;
    while (count * 2 * 16 <= bytes) count *= 2;
    return count;
}

// More than 2^32 entries cannot be indexed by a 32-bit key word; such a size
// is refused like memory that cannot be had.
inline bool cacheAddressable(uint64_t count) { return count <= (uint64_t{1} << 32); }

// What sizing a cache did.
struct CacheAllocation {
    const char* label;       // the cache's name in its size line ("pawn cache")
    const char* failureName; // its name when its memory cannot be had ("pawn hash table")
    uint64_t entries;        // the entries asked for
    uint64_t bytes;          // and their size
    bool allocated;          // false: no memory, the cache is off
};

template <typename Payload> class KeyedCache {
  public:
    struct Entry {
        uint32_t keyLow;
        uint32_t keyHigh;
        Payload data;
    };
    static_assert(sizeof(Entry) == 16);
    // clear() zeroes the table bytewise, so an entry must be plain bytes.
    static_assert(std::is_trivially_copyable_v<Entry>);

    // `label` names the cache in its size line ("pawn cache"), `failureName` in
    // the message when its memory cannot be had ("pawn hash table").
    KeyedCache(int32_t defaultMB, const char* label, const char* failureName)
        : sizeMB(defaultMB), label_(label), failureName_(failureName) {}

    int32_t sizeMB;
    uint32_t mask = 0;
    RelaxedCounter hits;
    RelaxedCounter probes;

    // Sizes (largest power of two of entries within sizeMB, at least 2; a
    // cache that has that size already keeps its memory) and clears; says what
    // it did, for the size line the front end prints. Without memory the table
    // stays unallocated and the evaluator works uncached.
    CacheAllocation allocate() {
        hits = 0;
        probes = 0;
        const uint64_t count = cacheEntryCount(sizeMB);
        // A cache of the same size keeps its memory; either way it starts empty.
        if (!entries || uint64_t{mask} + 1 != count) {
            entries.reset(); // the old and new never coexist
            entries.reset(cacheAddressable(count) ? allocateLargeArray<Entry>(static_cast<size_t>(count))
                                                  : nullptr);
            mask = entries ? static_cast<uint32_t>(count - 1) : 0;
        }
        clear();
        return {label_, failureName_, count, count * sizeof(Entry), entries != nullptr};
    }
    // Frees the entries: probes miss and stores are dropped until the next allocate.
    void release() {
        entries.reset();
        mask = 0;
    }
    // Empties every entry (the bench starts each position from empty caches).
    // One memset over the whole table: an element-wise fill is one call per
    // entry in instrumented builds, where it dominated short searches.
    void clear() {
        if (entries) std::memset(static_cast<void*>(entries.get()), 0, (uint64_t{mask} + 1) * sizeof(Entry));
    }
    bool allocated() const { return entries != nullptr; }

    // The payload stored under the key, or null. A probe of an unallocated
    // table is no probe: it misses and counts nothing.
    const Payload* probe(uint32_t keyLow, uint32_t keyHigh) {
        if (!entries) return nullptr;
        ++probes;
        const Entry& e = entries[keyLow & mask];
        if (e.keyLow != keyLow || e.keyHigh != keyHigh) return nullptr;
        ++hits;
        return &e.data;
    }
    // Starts loading the entry of a key about to be probed, so that the memory
    // access overlaps the work done before the probe.
    void prefetch(uint32_t keyLow) const {
        if (entries) __builtin_prefetch(&entries[keyLow & mask]);
    }
    void store(uint32_t keyLow, uint32_t keyHigh, const Payload& data) {
        if (!entries) return;
        Entry& e = entries[keyLow & mask];
        e.keyLow = keyLow;
        e.keyHigh = keyHigh;
        e.data = data;
    }

  private:
    const char* label_;
    const char* failureName_;
    LargeArray<Entry> entries;
};
