// The block cache: 8 KB blocks of table files in one buffer, with a global
// recency list (least recently used first out) and 32 hash chains per table
// and side. Nothing is allocated once the cache exists.
#include <cstring>

#include "board/types.h"
#include "egtb/registry.h"

namespace egtb {

extern std::unique_ptr<DecodeBlock> sharedDecodeBlock;

CacheCounters cacheCounters;

namespace {

// One 32-byte header per entry at the start of the buffer; links are entry numbers, -1 none.
struct CacheHeader {
    int16_t table;
    int8_t side;
    int8_t unused;
    uint32_t block;
    int32_t older, newer; // recency list
    int32_t next, prev;   // chain
    uint32_t dataOffset;
    uint32_t spare;
};
static_assert(sizeof(CacheHeader) == CACHE_HEADER_BYTES, "cache headers are 32 bytes");

uint8_t* cacheBuffer = nullptr;
size_t entryCount = 0;
int32_t oldest = -1, newest = -1, freeList = -1;

CacheHeader& header(int32_t e) { return reinterpret_cast<CacheHeader*>(cacheBuffer)[e]; }
uint8_t* dataOf(int32_t e) { return cacheBuffer + header(e).dataOffset; }

void unlinkRecency(int32_t e) {
    CacheHeader& h = header(e);
    if (h.older >= 0)
        header(h.older).newer = h.newer;
    else
        oldest = h.newer;
    if (h.newer >= 0)
        header(h.newer).older = h.older;
    else
        newest = h.older;
    h.older = h.newer = -1;
}

void appendNewest(int32_t e) {
    CacheHeader& h = header(e);
    h.older = newest;
    h.newer = -1;
    if (newest >= 0)
        header(newest).newer = e;
    else
        oldest = e;
    newest = e;
}

void unlinkChain(int32_t e) {
    CacheHeader& h = header(e);
    if (h.prev >= 0) {
        header(h.prev).next = h.next;
    } else {
        auto& chains = descriptor(h.table).chains[h.side];
        if (!chains.empty() && chains[h.block & (CACHE_CHAINS - 1)] == e)
            chains[h.block & (CACHE_CHAINS - 1)] = h.next;
    }
    if (h.next >= 0) header(h.next).prev = h.prev;
    h.next = h.prev = -1;
}

void pushChainFront(int32_t e, std::vector<int32_t>& chains) {
    CacheHeader& h = header(e);
    int32_t& head = chains[h.block & (CACHE_CHAINS - 1)];
    h.prev = -1;
    h.next = head;
    if (head >= 0) header(head).prev = e;
    head = e;
}

void release(int32_t e) {
    header(e).next = freeList;
    freeList = e;
}

// Forgets a failed extent for the rest of the run.
void disableExtent(TableFile& file) {
    if (file.file) std::fclose(file.file);
    file.file = nullptr;
    file.name.clear();
}

// Fills entry e with block `blockInExtent` of the extent's file.
bool loadBlock(TableFile& file, uint64_t blockInExtent, int32_t e) {
    if (!file.file) {
        file.file = std::fopen(file.name.c_str(), "rb");
        if (!file.file) {
            closeTableFiles();
            file.file = std::fopen(file.name.c_str(), "rb");
        }
        if (!file.file) return false;
    }
    uint8_t* data = dataOf(e);
    if (file.decoder) {
        if (!sharedDecodeBlock || blockInExtent >= file.decoder->blocks) return false;
        FileSource source(file.file);
        return emdDecompress(*file.decoder, source, static_cast<uint32_t>(blockInExtent), data,
                             *sharedDecodeBlock) == EMD_OK;
    }
    // Offsets of 2^31 and beyond need the 64-bit seek.
    if (fseeko(file.file, static_cast<off_t>(blockInExtent * BLOCK_BYTES), SEEK_SET) != 0) return false;
    const size_t got = std::fread(data, 1, BLOCK_BYTES, file.file);
    if (got < static_cast<size_t>(BLOCK_BYTES)) {
        if (std::ferror(file.file)) {
            std::clearerr(file.file);
            return false;
        }
        std::memset(data + got, 0, BLOCK_BYTES - got);
    }
    return true;
}

} // namespace

bool setUpCache(uint8_t* buffer, size_t size) {
    closeTableFiles();
    cacheBuffer = nullptr;
    entryCount = 0;
    oldest = newest = freeList = -1;
    for (int n = 0; n < TABLE_COUNT; ++n)
        for (auto& chains : descriptor(n).chains)
            for (auto& head : chains) head = -1;
    if (!buffer || size < CACHE_HEADER_BYTES) return false;
    cacheBuffer = buffer;
    entryCount = size / CACHE_ENTRY_BYTES;
    for (size_t i = entryCount; i-- > 0;) {
        const int32_t e = static_cast<int32_t>(i);
        CacheHeader& h = header(e);
        h = CacheHeader{};
        h.older = h.newer = h.next = h.prev = -1;
        h.dataOffset = static_cast<uint32_t>(entryCount * CACHE_HEADER_BYTES + i * CACHE_DATA_BYTES);
        release(e);
    }
    return true;
}

size_t cacheEntries() { return entryCount; }

bool cachedByte(int table, int side, uint64_t block, uint32_t offset, uint8_t& value) {
    FM_ASSERT(table >= 0 && table < TABLE_COUNT && (side == 0 || side == 1) && offset < CACHE_DATA_BYTES);
    TableDescriptor& d = descriptor(table);
    auto& chains = d.chains[side];
    if (entryCount == 0 || chains.empty()) return false;

    // Hit: freshen the entry in the recency list and its chain.
    for (int32_t e = chains[block & (CACHE_CHAINS - 1)]; e >= 0; e = header(e).next) {
        if (header(e).block != block) continue;
        if (newest != e) {
            unlinkRecency(e);
            appendNewest(e);
        }
        if (header(e).prev >= 0) {
            unlinkChain(e);
            pushChainFront(e, chains);
        }
        ++cacheCounters.hits;
        value = dataOf(e)[offset];
        return true;
    }

    // Miss: a free entry or the least recently used one.
    ++cacheCounters.misses;
    int32_t e = freeList;
    if (e >= 0) {
        freeList = header(e).next;
    } else {
        e = oldest;
        unlinkRecency(e);
        unlinkChain(e);
    }
    CacheHeader& h = header(e);
    h.table = static_cast<int16_t>(table);
    h.side = static_cast<int8_t>(side);
    h.block = static_cast<uint32_t>(block);
    h.next = h.prev = h.older = h.newer = -1;
    const bool split = (d.flags & TABLE_SPLIT) != 0;
    const int extent = split ? static_cast<int>(block >> 18) : 0;
    const uint64_t blockInExtent = split ? (block & 0x3FFFF) : block;
    TableFile& file = d.files[side][extent < EXTENTS ? extent : 0];
    if (extent >= EXTENTS || file.name.empty() || !loadBlock(file, blockInExtent, e)) {
        if (extent < EXTENTS && !file.name.empty()) disableExtent(file);
        release(e);
        return false;
    }
    appendNewest(e);
    pushChainFront(e, chains);
    value = dataOf(e)[offset];
    return true;
}

} // namespace egtb
