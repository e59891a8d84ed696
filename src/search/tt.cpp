#include "search/tt.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "board/score.h"

namespace {

// Slots inside a bucket: secondary white, secondary black, primary white, primary black.
inline int primarySlot(int side) { return 2 + side; }
inline int secondarySlot(int side) { return side; }

// One entry as a whole: the two words are each read (and written) at once,
// the key recovered from the data; a torn entry yields a key of no position.
HashEntry loadSlot(const TableSlot& slot) {
    TableSlot& s = const_cast<TableSlot&>(slot);
    const uint64_t data = std::atomic_ref<uint64_t>(s.data).load(std::memory_order_relaxed);
    const uint64_t key = std::atomic_ref<uint64_t>(s.keyWord).load(std::memory_order_relaxed) ^ data;
    HashEntry e;
    e.keyLow = static_cast<uint32_t>(key);
    e.keyHigh = static_cast<uint32_t>(key >> 32);
    e.move = static_cast<uint32_t>(data);
    e.score = static_cast<int16_t>(static_cast<uint16_t>(data >> 32));
    e.depth = static_cast<uint8_t>(data >> 48);
    e.flags = static_cast<uint8_t>(data >> 56);
    return e;
}

void storeSlot(TableSlot& s, const HashEntry& e) {
    const uint64_t data = uint64_t{e.move} | uint64_t{static_cast<uint16_t>(e.score)} << 32 |
                          uint64_t{e.depth} << 48 | uint64_t{e.flags} << 56;
    const uint64_t key = uint64_t{e.keyHigh} << 32 | e.keyLow;
    std::atomic_ref<uint64_t>(s.data).store(data, std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(s.keyWord).store(key ^ data, std::memory_order_relaxed);
}

inline bool matches(const HashEntry& e, uint32_t keyLow, uint32_t keyHigh) {
    return e.keyLow == keyLow && e.keyHigh == keyHigh;
}

inline int ageOf(const HashEntry& e) { return (e.flags >> 3) & 15; }
inline int boundOf(const HashEntry& e) { return (e.flags & 3) + 3; }

// Mate scores are kept relative to the node, not the root.
inline int scoreFromTable(int stored, int ply) {
    if (stored > MATE_THRESHOLD - 1) return stored - ply - 1;
    if (stored < -(MATE_THRESHOLD - 1)) return stored + ply + 1;
    return stored;
}
inline int scoreToTable(int score, int ply) {
    if (score > MATE_THRESHOLD - 1) return score + ply + 1;
    if (score < -(MATE_THRESHOLD - 1)) return score - ply - 1;
    return score;
}

} // namespace

TableSlot* MainHashTable::defaultEntryAllocator(uint64_t count) {
    const auto wanted = static_cast<size_t>(count);
    if (wanted != count) return nullptr; // more than this machine can address
    return allocateLargeArray<TableSlot>(wanted);
}

uint64_t MainHashTable::allocate() {
    hits = 0;
    probes = 0;
    // Largest power of two of buckets whose bytes do not exceed the request, in
    // 64-bit arithmetic so that requests of 4096 MB and more size correctly; the
    // bucket index is 32 bits wide, so 2^32 buckets is the most that can be used.
    const uint64_t bytesWanted = uint64_t{mainHashMB} << 20;
    uint64_t count = 1;
    while (count * 2 * 64 <= bytesWanted && count < (uint64_t{1} << 32)) count *= 2;
    // A table of the same size keeps its memory and is only cleared: a fresh
    // block would cost the system's work of mapping every page again.
    const bool sameTable = buckets && uint64_t{mask} + 1 == count && allocatedBy == entryAllocator;
    if (!sameTable) {
        // Release the old table first so that the old and new never coexist.
        buckets.reset();
        mask = 0;
        buckets.reset(entryAllocator(count * 4));
        allocatedBy = entryAllocator;
    }
    if (buckets) {
        mask = static_cast<uint32_t>(count - 1);
        clear();
    }
    return count;
}

void MainHashTable::clear() {
    if (buckets)
        std::memset(static_cast<void*>(buckets.get()), 0, (uint64_t{mask} + 1) * 4 * sizeof(TableSlot));
}

TableProbe MainHashTable::probe(const TableKey& key, const ProbeWindow& window) {
    TableProbe found;
    ++probes;
    if (!buckets) return found;
    const TableSlot* b = bucket(key.low);
    bool avoidNull = false;
    bool matched = false;

    // Reports the entry and answers a cut-off result, or 0 when it gives none.
    auto examine = [&](const HashEntry& e) -> int {
        found.score = scoreFromTable(e.score, window.ply);
        found.move = e.move;
        found.threat |= (e.flags >> 2) & 1;
        const int bound = boundOf(e);
        if (e.depth >= window.depth) {
            if (bound == HASH_EXACT) return HASH_EXACT;
            if (bound == HASH_LOWER && found.score >= window.beta) return HASH_LOWER;
            if (bound == HASH_UPPER && found.score <= window.alpha) return HASH_UPPER;
        }
        if (e.depth >= window.depth - window.nullReduction - 1 && bound == HASH_UPPER &&
            found.score < window.beta)
            avoidNull = true;
        return 0;
    };

    const HashEntry primary = loadSlot(b[primarySlot(key.side)]);
    if (matches(primary, key.low, key.high)) {
        ++hits;
        matched = true;
        if (int cut = examine(primary)) {
            found.result = cut;
            return found;
        }
    }
    const HashEntry secondary = loadSlot(b[secondarySlot(key.side)]);
    if (matches(secondary, key.low, key.high)) {
        if (!matched) ++hits;
        const int cut = examine(secondary);
        found.result = cut ? cut : avoidNull ? HASH_AVOID_NULL : HASH_HIT;
        return found;
    }
    found.result = avoidNull ? HASH_AVOID_NULL : matched ? HASH_HIT : HASH_MISS;
    return found;
}

void MainHashTable::store(const TableKey& key, const TableRecord& record) {
    if (!buckets) return;
    TableSlot* b = bucket(key.low);
    const int side = key.side;
    const HashEntry primary = loadSlot(b[primarySlot(side)]);
    const HashEntry secondary = loadSlot(b[secondarySlot(side)]);

    HashEntry entry;
    entry.keyLow = key.low;
    entry.keyHigh = key.high;
    entry.move = record.move;
    entry.score = static_cast<int16_t>(scoreToTable(record.score, record.ply));
    entry.depth = static_cast<uint8_t>(record.depth < 0 ? 0 : record.depth > 255 ? 255 : record.depth);
    entry.flags =
        static_cast<uint8_t>((record.age & 15) << 3 | (record.threat & 1) << 2 | ((record.bound - 3) & 3));

    // A deeper primary entry of this search, or a learned one, stays.
    if (entry.depth < primary.depth &&
        (ageOf(primary) == (record.age & 15) || (primary.flags & HASH_LEARNED))) {
        storeSlot(b[secondarySlot(side)], entry);
        return;
    }
    const bool keepSecondary = secondary.depth > primary.depth && ageOf(secondary) == ageOf(primary);
    if (!keepSecondary && !matches(primary, key.low, key.high)) storeSlot(b[secondarySlot(side)], primary);
    storeSlot(b[primarySlot(side)], entry);
}

void MainHashTable::storeRaw(int side, const HashEntry& entry) {
    if (!buckets) return;
    storeSlot(bucket(entry.keyLow)[primarySlot(side)], entry);
}

TableEntry MainHashTable::lookup(const TableKey& key, int ply) {
    ++probes;
    TableEntry found;
    if (!buckets) return found;
    const TableSlot* b = bucket(key.low);
    HashEntry e = loadSlot(b[primarySlot(key.side)]);
    if (!matches(e, key.low, key.high)) {
        e = loadSlot(b[secondarySlot(key.side)]);
        if (!matches(e, key.low, key.high)) return found;
    }
    ++hits;
    found.found = true;
    found.move = e.move;
    found.score = scoreFromTable(e.score, ply);
    found.depth = e.depth;
    found.bound = boundOf(e);
    found.threat = (e.flags >> 2) & 1;
    return found;
}

HashEntry MainHashTable::readEntry(const TableKey& key) const {
    if (buckets) {
        const TableSlot* b = bucket(key.low);
        const HashEntry primary = loadSlot(b[primarySlot(key.side)]);
        if (matches(primary, key.low, key.high)) return primary;
        const HashEntry secondary = loadSlot(b[secondarySlot(key.side)]);
        if (matches(secondary, key.low, key.high)) return secondary;
    }
    return HashEntry{};
}

int MainHashTable::permilleUsed() const {
    if (!buckets) return 0;
    const uint64_t sample = std::min<uint64_t>(1000, (uint64_t{mask} + 1) * 4);
    uint64_t used = 0;
    for (uint64_t i = 0; i < sample; ++i) {
        const HashEntry e = loadSlot(buckets[i]);
        used += (e.keyLow | e.keyHigh) != 0;
    }
    return static_cast<int>(used * 1000 / sample);
}
