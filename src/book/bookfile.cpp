// Byte-level access to the book and learning files: little-endian records,
// positioned reads and writes, and the safe replacement of a whole book.
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "book/book.h"

namespace {

void putU16(unsigned char* out, uint16_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

uint16_t getU16(const unsigned char* in) { return static_cast<uint16_t>(in[0] | in[1] << 8); }

// Writes the header and both sections; records go out through a block buffer.
bool writeBook(FILE* file, const BookRecord* white, uint32_t whiteCount, const BookRecord* black,
               uint32_t blackCount) {
    unsigned char header[BOOK_HEADER_BYTES];
    putU32(header, whiteCount);
    putU32(header + 4, blackCount);
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header) return false;

    constexpr uint32_t BLOCK = 4096;
    std::vector<unsigned char> buffer(BLOCK * BOOK_RECORD_BYTES);
    unsigned char* block = buffer.data();
    for (const auto& [records, count] : {std::pair{white, whiteCount}, std::pair{black, blackCount}}) {
        for (uint32_t done = 0; done < count;) {
            const uint32_t n = count - done < BLOCK ? count - done : BLOCK;
            for (uint32_t i = 0; i < n; ++i)
                encodeBookRecord(records[done + i], block + i * BOOK_RECORD_BYTES);
            if (std::fwrite(block, BOOK_RECORD_BYTES, n, file) != n) return false;
            done += n;
        }
    }
    return std::fflush(file) == 0;
}

} // namespace

void putU32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t getU32(const unsigned char* in) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

void encodeBookRecord(const BookRecord& r, unsigned char* out) {
    putU32(out, r.keyLow);
    putU32(out + 4, r.keyHigh);
    putU16(out + 8, r.wins);
    putU16(out + 10, r.losses);
    putU16(out + 12, r.draws);
    putU16(out + 14, r.learn);
}

BookRecord decodeBookRecord(const unsigned char* in) {
    return BookRecord{getU32(in),      getU32(in + 4),  getU16(in + 8),
                      getU16(in + 10), getU16(in + 12), getU16(in + 14)};
}

void encodeHashEntry(const HashEntry& e, unsigned char* out) {
    putU32(out, e.keyLow);
    putU32(out + 4, e.keyHigh);
    putU32(out + 8, e.move);
    putU16(out + 12, static_cast<uint16_t>(e.score));
    out[14] = e.depth;
    out[15] = e.flags;
}

HashEntry decodeHashEntry(const unsigned char* in) {
    HashEntry e;
    e.keyLow = getU32(in);
    e.keyHigh = getU32(in + 4);
    e.move = getU32(in + 8);
    e.score = static_cast<int16_t>(getU16(in + 12));
    e.depth = in[14];
    e.flags = in[15];
    return e;
}

bool seekFile(FILE* file, int64_t offset) {
    if (offset < 0 || offset > LONG_MAX) return false;
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
}

bool readAt(FILE* file, int64_t offset, void* buffer, size_t bytes) {
    return file && seekFile(file, offset) && std::fread(buffer, 1, bytes, file) == bytes;
}

bool writeAt(FILE* file, int64_t offset, const void* buffer, size_t bytes) {
    return file && seekFile(file, offset) && std::fwrite(buffer, 1, bytes, file) == bytes;
}

int64_t fileLength(FILE* file) {
    // A directory or a device opens like a file but has no length to trust.
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

bool writeBookFile(const char* path, const BookRecord* white, uint32_t whiteCount, const BookRecord* black,
                   uint32_t blackCount) {
    // The old book stays intact until the new one is complete on disk.
    const std::string temporary = std::string(path) + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool written = writeBook(file, white, whiteCount, black, blackCount);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int bookRandom() { return std::rand() % 32768; }

int bookRandomTerm() { return 5 * bookRandom() / 32767; }

// The two record counts of a book file, checked against the file's length.
bool readBookCounts(FILE* file, uint32_t counts[2]) {
    unsigned char header[BOOK_HEADER_BYTES];
    const int64_t length = fileLength(file);
    if (length < BOOK_HEADER_BYTES || !readAt(file, 0, header, sizeof header)) return false;
    counts[0] = getU32(header);
    counts[1] = getU32(header + 4);
    const uint64_t needed = BOOK_HEADER_BYTES + (uint64_t{counts[0]} + counts[1]) * BOOK_RECORD_BYTES;
    return static_cast<uint64_t>(length) >= needed;
}
