// Sizing shared by the pawn cache and the evaluation cache.
#pragma once

#include <cstdint>

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
