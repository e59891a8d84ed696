// The transposition table: 64-byte buckets of four 16-byte entries. For each
// side to move a bucket holds a depth-preferred primary entry and a secondary
// entry that takes what the primary does not keep.
//
// Search threads share the table without locks. An entry is kept as two
// 64-bit words, the data and the key XOR the data, each read and written
// whole; an entry torn by two threads writing it at once gives back a key
// that matches no position, so it is never trusted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "board/counter.h"
#include "board/keys.h"
#include "board/largememory.h"
#include "board/types.h"

struct HashEntry {
    uint32_t keyLow;
    uint32_t keyHigh;
    uint32_t move;
    int16_t score;
    uint8_t depth;
    // bits 0-1 bound type - 3, bit 2 mate threat, bits 3-6 search age,
    // bit 7 learned entry
    uint8_t flags;
};
static_assert(sizeof(HashEntry) == 16);

// An entry as stored: the key XOR the data, and the data (move, score, depth
// and flags packed into 64 bits).
struct TableSlot {
    uint64_t keyWord;
    uint64_t data;
};
static_assert(sizeof(TableSlot) == 16);

// Bound types, and the probe results that report a cut-off.
enum HashResult : int {
    HASH_MISS = 0,
    HASH_AVOID_NULL = 1,
    HASH_HIT = 2,
    HASH_EXACT = 3,
    HASH_UPPER = 4,
    HASH_LOWER = 5
};

constexpr uint8_t HASH_LEARNED = 0x80;

// A position as the table tells positions apart: the side to move and the two
// halves of its key.
struct TableKey {
    int side;
    uint32_t low;
    uint32_t high;
};
constexpr TableKey tableKey(int side, uint64_t key) { return {side, keyLow(key), keyHigh(key)}; }

// What a probe asks for: the depth in plies an entry must have to cut off, the
// node's ply (mate scores are stored relative to the node), the window, and
// the null-move reduction (a shallower upper bound that says the null move
// would fail is reported as HASH_AVOID_NULL).
struct ProbeWindow {
    int depth;
    int ply;
    int alpha;
    int beta;
    int nullReduction;
};

// What a probe found: a HashResult, and the entry's score, move and mate-threat flag.
struct TableProbe {
    int result = HASH_MISS;
    int score = 0;
    Move move = NO_MOVE;
    int threat = 0;
};

// An entry as a search reads it without asking for a cut-off: whether the
// position is there, and its move, score (relative to the node's ply),
// depth in plies, bound type and mate-threat flag.
struct TableEntry {
    bool found = false;
    Move move = NO_MOVE;
    int score = 0;
    int depth = 0;
    int bound = 0;
    int threat = 0;
};

// What a search stores: depth in plies, the node's ply, the bound type
// (HASH_EXACT, HASH_UPPER, HASH_LOWER), score, move, mate threat and search age.
struct TableRecord {
    int depth;
    int ply;
    int bound;
    int score;
    Move move;
    int threat;
    int age;
};

class MainHashTable {
  public:
    uint32_t mainHashMB = 16;
    uint32_t mask = 0;
    RelaxedCounter hits;
    RelaxedCounter probes;

    // Obtains storage for `count` entries (allocateLargeArray storage, or null
    // on failure). Tests substitute an allocator that fails to exercise that path.
    using EntryAllocator = TableSlot* (*)(uint64_t count);
    EntryAllocator entryAllocator = defaultEntryAllocator;

    // Sizes the table from mainHashMB (the largest power of two of bytes not
    // above it, 64 bytes at least, 2^32 buckets at most; a table that has that
    // size already keeps its memory) and clears it. A table that could not be
    // allocated misses every probe and stores nothing. Returns the buckets it
    // was sized for (whether or not the memory could be had).
    uint64_t allocate();
    void clear();
    bool allocated() const { return buckets != nullptr; }
    uint64_t bucketCount() const { return buckets ? uint64_t{mask} + 1 : 0; }

    TableProbe probe(const TableKey& key, const ProbeWindow& window);
    void store(const TableKey& key, const TableRecord& record);
    void storeRaw(int side, const HashEntry& entry);
    HashEntry readEntry(const TableKey& key) const;
    // The entry of a position (the primary slot first), for a node at `ply`.
    TableEntry lookup(const TableKey& key, int ply);
    // Starts loading the bucket of a position that is about to be probed, so
    // that the memory access overlaps the work done before the probe. In memory
    // from allocateLarge a bucket is one cache line; an allocator that aligns
    // less may split it over two, so both ends are requested.
    void prefetch(uint32_t keyLow) const {
        if (!buckets) return;
        const TableSlot* b = bucket(keyLow);
        __builtin_prefetch(b);
        __builtin_prefetch(b + 3);
    }
    // Per mille of a sample of entries (the first thousand) that hold a position.
    int permilleUsed() const;

    static TableSlot* defaultEntryAllocator(uint64_t count);

  private:
    LargeArray<TableSlot> buckets;        // four entries per bucket
    EntryAllocator allocatedBy = nullptr; // the allocator the buckets came from

    TableSlot* bucket(uint32_t keyLow) const { return &buckets[uint64_t{keyLow & mask} * 4]; }
};
