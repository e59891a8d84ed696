// The opening book file and the learning store: their record layouts and the
// byte-level helpers shared by probing, book writing and learning.
//
// book.dat, little-endian:
//   u32 whiteCount, u32 blackCount,
//   whiteCount records (positions reached by a white move),
//   blackCount records (positions reached by a black move),
// each section sorted by unsigned keyHigh, then keyLow, every key at most once.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/keys.h"
#include "search/tt.h"

struct BookRecord {
    uint32_t keyLow;
    uint32_t keyHigh;
    uint16_t wins;   // games won by the side that made the move
    uint16_t losses; // games lost by that side
    uint16_t draws;
    uint16_t learn; // weight in percent, 100 neutral
};
static_assert(sizeof(BookRecord) == 16);

constexpr int BOOK_HEADER_BYTES = 8;
constexpr int BOOK_RECORD_BYTES = 16;
constexpr uint16_t BOOK_NEUTRAL_LEARN = 100;
constexpr uint32_t COUNTER_LIMIT = 65535; // 16-bit counters and weights stop here

// learn.dat: u32 learnCount, u32 learnWrapped, then a ring of hash entries with
// indices 0 .. LEARN_RING_LAST; bit 7 of flags holds the side to move (set: white).
constexpr int LEARN_HEADER_BYTES = 8;
constexpr uint32_t LEARN_RING_LAST = 5000;
constexpr uint32_t LEARN_RING_SIZE = LEARN_RING_LAST + 1;

constexpr uint64_t bookKey(const BookRecord& r) { return uint64_t{r.keyHigh} << 32 | r.keyLow; }

// A 16-bit counter or weight raised to `value`, stopping at the largest value it holds.
constexpr uint16_t saturate16(uint64_t value) {
    return static_cast<uint16_t>(value > COUNTER_LIMIT ? COUNTER_LIMIT : value);
}

// Little-endian encoding, independent of the host's byte order.
void putU32(unsigned char* out, uint32_t value);
uint32_t getU32(const unsigned char* in);
void encodeBookRecord(const BookRecord& record, unsigned char* out);
BookRecord decodeBookRecord(const unsigned char* in);
void encodeHashEntry(const HashEntry& entry, unsigned char* out);
HashEntry decodeHashEntry(const unsigned char* in);

// File helpers: each seeks first, so reads and writes may alternate on one stream.
bool seekFile(FILE* file, int64_t offset);
bool readAt(FILE* file, int64_t offset, void* buffer, size_t bytes);
bool writeAt(FILE* file, int64_t offset, const void* buffer, size_t bytes);
// Length of an open file in bytes, or -1 when it cannot be told.
// The length of a regular file; -1 for anything else (a directory, a device).
int64_t fileLength(FILE* file);
// The two record counts of a book file; false when the header cannot be read
// or the counts need more records than the file holds.
bool readBookCounts(FILE* file, uint32_t counts[2]);

// Writes a complete book (header and both sections) to a temporary file beside
// `path` and renames it into place. On failure nothing at `path` has changed.
bool writeBookFile(const char* path, const BookRecord* white, uint32_t whiteCount, const BookRecord* black,
                   uint32_t blackCount);

// A value 0 .. 32767 from the C library's generator, whatever its RAND_MAX.
int bookRandom();
// The book's random term added to a non-zero weighted score: 0 to 5 points.
int bookRandomTerm();
