// Reading compressed tablebase files: the index at registration, one block at a
// time while probing. Every read is bounded by its buffer; malformed data is an
// error code, never a read or write outside the buffers.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "egtb/emd.h"

namespace egtb {

const char EMD_SIGNATURE[64] = "Falkmere compressed endgame table, Huffman-coded LZ77 v1.0\r\n\0\0\0";
static_assert(sizeof("Falkmere compressed endgame table, Huffman-coded LZ77 v1.0") == 59,
              "58 visible characters before the line end");

uint64_t emdMemoryInUse = 0;

long long FileSource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return -1;
    const size_t got = std::fread(buffer, 1, n, file_);
    if (got < n && std::ferror(file_)) {
        std::clearerr(file_);
        return -1;
    }
    return static_cast<long long>(got);
}

long long MemorySource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset >= size_) return 0;
    const size_t got = std::min<uint64_t>(n, size_ - offset);
    std::memcpy(buffer, data_ + offset, got);
    return static_cast<long long>(got);
}

namespace {

// The table runs the shift register the other way round from the common
// CRC-32 table: odd values are only shifted, even ones also take the polynomial.
struct CheckTable {
    uint32_t entry[256];
    CheckTable() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? c >> 1 : (c >> 1) ^ 0xEDB88320u;
            entry[n] = c;
        }
    }
};
const CheckTable checkTable;

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Most-significant-bit-first reader over a byte range. Peeking past the end
// gives zero bits; consuming past it is an error.
class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : data_(data), bits_(uint64_t{size} * 8) {}

    uint32_t peek(int n) const {
        uint64_t window = 0;
        const uint64_t first = position_ >> 3;
        for (int i = 0; i < 5; ++i) {
            const uint64_t at = first + i;
            window = window << 8 | (at < bits_ / 8 ? data_[at] : 0);
        }
        const int shift = 40 - static_cast<int>(position_ & 7) - n;
        return static_cast<uint32_t>((window >> shift) & ((uint64_t{1} << n) - 1));
    }
    bool skip(int n) {
        position_ += static_cast<uint64_t>(n);
        return position_ <= bits_;
    }
    // Reads n bits (0 to 32).
    bool read(int n, uint32_t& value) {
        if (n == 0) {
            value = 0;
            return true;
        }
        if (n > 24) {
            uint32_t high = 0, low = 0;
            if (!read(n - 16, high) || !read(16, low)) return false;
            value = high << 16 | low;
            return true;
        }
        value = peek(n);
        return skip(n);
    }
    bool exhausted() const { return position_ > bits_; }

  private:
    const uint8_t* data_;
    uint64_t bits_;
    uint64_t position_ = 0;
};

// Decodes one symbol through a table built by emdBuildDecodeTable.
bool decodeSymbol(BitReader& bits, const std::vector<int16_t>& table, int tableBits, int& symbol) {
    const int entry = table[bits.peek(tableBits)];
    if (entry >= 0) {
        symbol = entry >> 5;
        return bits.skip(entry & 31);
    }
    if (!bits.skip(tableBits)) return false;
    size_t node = static_cast<size_t>(-entry);
    for (int step = 0; step < 32; ++step) {
        uint32_t bit;
        if (!bits.read(1, bit) || node + 1 >= table.size()) return false;
        const int next = table[node + bit];
        if (next >= 0) {
            symbol = next;
            return true;
        }
        node = static_cast<size_t>(-next);
    }
    return false;
}

// Code lengths of n symbols. The main alphabet's lengths are coded with two
// small alphabets (lengths and run counts) whose own lengths come first.
bool readCodeLengths(BitReader& bits, int n, uint8_t* lengths) {
    uint32_t allZero;
    if (!bits.read(1, allZero)) return false;
    if (allZero) {
        std::memset(lengths, 0, static_cast<size_t>(n));
        return true;
    }
    if (n <= 128) {
        uint32_t width;
        if (!bits.read(5, width)) return false;
        for (int i = 0; i < n;) {
            uint32_t length;
            if (!bits.read(static_cast<int>(width), length) || length > 255) return false;
            lengths[i++] = static_cast<uint8_t>(length);
            if (length == 0) {
                uint32_t run;
                if (!bits.read(4, run) || i + static_cast<int>(run) > n) return false;
                std::memset(lengths + i, 0, run);
                i += static_cast<int>(run);
            }
        }
        return true;
    }
    uint8_t small[128];
    if (!readCodeLengths(bits, 128, small)) return false;
    std::vector<int16_t> lengthCodes, countCodes;
    if (emdBuildDecodeTable(small, 64, EMD_SMALL_TABLE_BITS, lengthCodes) != EMD_OK ||
        emdBuildDecodeTable(small + 64, 64, EMD_SMALL_TABLE_BITS, countCodes) != EMD_OK)
        return false;
    for (int i = 0; i < n;) {
        int symbol;
        if (!decodeSymbol(bits, lengthCodes, EMD_SMALL_TABLE_BITS, symbol)) return false;
        if (symbol < 32) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        int countSymbol;
        if (!decodeSymbol(bits, countCodes, EMD_SMALL_TABLE_BITS, countSymbol)) return false;
        uint64_t count = static_cast<uint64_t>(countSymbol);
        if (countSymbol > 31) {
            const int k = countSymbol - 32;
            uint32_t extra;
            if (!bits.read(k, extra)) return false;
            count = (uint64_t{1} << k) + extra + 31;
        }
        if (static_cast<uint64_t>(i) + count + 2 > static_cast<uint64_t>(n)) return false;
        std::memset(lengths + i, symbol & 31, count + 2);
        i += static_cast<int>(count + 2);
    }
    return true;
}

} // namespace

uint32_t emdCheckValue(const uint8_t* data, size_t size, uint32_t value) {
    for (size_t i = 0; i < size; ++i) value = checkTable.entry[(value ^ data[i]) & 0xFF] ^ (value >> 8);
    return value;
}

int emdBuildDecodeTable(const uint8_t* lengths, int symbols, int tableBits, std::vector<int16_t>& table) {
    const size_t direct = size_t{1} << tableBits;
    int used = 0, single = 0;
    for (int s = 0; s < symbols; ++s) {
        if (lengths[s] > 31) return EMD_FILE_BROKEN;
        if (lengths[s]) {
            ++used;
            single = s;
        }
    }
    table.assign(direct, 0);
    if (used == 0) return EMD_OK;
    if (used == 1) {
        if (lengths[single] != 1) return EMD_FILE_BROKEN;
        std::fill(table.begin(), table.end(), static_cast<int16_t>(single * 32));
        return EMD_OK;
    }
    // A complete prefix code: the lengths fill the code space exactly.
    uint64_t space = 0;
    for (int s = 0; s < symbols; ++s)
        if (lengths[s]) space += uint64_t{1} << (32 - lengths[s]);
    if (space != uint64_t{1} << 32) return EMD_FILE_BROKEN;

    constexpr int16_t UNSET = INT16_MIN;
    uint64_t code = 0; // canonical code of the current symbol, left-aligned in 32 bits
    for (int length = 1; length <= 31; ++length) {
        for (int s = 0; s < symbols; ++s) {
            if (lengths[s] != length) continue;
            const uint32_t value = static_cast<uint32_t>(code >> (32 - length));
            if (length <= tableBits) {
                const size_t first = size_t{value} << (tableBits - length);
                const size_t span = size_t{1} << (tableBits - length);
                for (size_t i = 0; i < span; ++i) table[first + i] = static_cast<int16_t>(s * 32 + length);
            } else {
                const size_t prefix = value >> (length - tableBits);
                if (table[prefix] >= 0) {
                    if (table.size() + 2 > 32767) return EMD_FILE_BROKEN;
                    table[prefix] = static_cast<int16_t>(-static_cast<int>(table.size()));
                    table.push_back(UNSET);
                    table.push_back(UNSET);
                }
                size_t node = static_cast<size_t>(-table[prefix]);
                for (int bit = length - tableBits - 1; bit >= 0; --bit) {
                    const size_t slot = node + ((value >> bit) & 1);
                    if (bit == 0) {
                        table[slot] = static_cast<int16_t>(s);
                        break;
                    }
                    if (table[slot] == UNSET) {
                        if (table.size() + 2 > 32767) return EMD_FILE_BROKEN;
                        table[slot] = static_cast<int16_t>(-static_cast<int>(table.size()));
                        table.push_back(UNSET);
                        table.push_back(UNSET);
                    }
                    if (table[slot] >= 0) return EMD_FILE_BROKEN;
                    node = static_cast<size_t>(-table[slot]);
                }
            }
            code += uint64_t{1} << (32 - length);
        }
    }
    for (size_t i = direct; i < table.size(); ++i)
        if (table[i] == UNSET) return EMD_FILE_BROKEN;
    return EMD_OK;
}

int emdOpen(EmdSource& source, std::unique_ptr<EmdDecoder>& result) {
    result.reset();
    uint8_t head[80];
    if (source.readAt(0, head, sizeof head) != static_cast<long long>(sizeof head)) return EMD_READ_ERROR;
    if (std::memcmp(head, EMD_SIGNATURE, 64) != 0) return EMD_READ_ERROR;
    const uint32_t indexSize = bigEndian32(head + 64);
    const uint32_t log2Block = head[70];
    const uint32_t blocks = bigEndian32(head + 72);
    if (indexSize < 84 || log2Block > 16 || head[71] != EMD_DISTANCES || bigEndian32(head + 76) != EMD_MAGIC)
        return EMD_FILE_BROKEN;
    if (uint64_t{80} + uint64_t{8} * blocks + 4 > indexSize) return EMD_FILE_BROKEN;

    // The file must hold the whole index before memory is taken for it.
    uint8_t last;
    if (source.readAt(indexSize - 1, &last, 1) != 1) return EMD_READ_ERROR;
    uint8_t* index = static_cast<uint8_t*>(std::malloc(indexSize));
    if (!index) return EMD_OUT_OF_MEMORY;
    struct Release {
        uint8_t* p;
        ~Release() { std::free(p); }
    } release{index};
    if (source.readAt(0, index, indexSize) != static_cast<long long>(indexSize)) return EMD_READ_ERROR;
    if (emdCheckValue(index, indexSize - 4) != bigEndian32(index + indexSize - 4)) return EMD_FILE_BROKEN;

    auto decoder = std::make_unique<EmdDecoder>();
    decoder->log2BlockSize = log2Block;
    decoder->blockSize = uint32_t{1} << log2Block;
    decoder->blocks = blocks;
    decoder->blockChecks.resize(blocks);
    for (uint32_t b = 0; b < blocks; ++b) decoder->blockChecks[b] = bigEndian32(index + 80 + 8 * b);

    const size_t streamStart = 80 + size_t{8} * blocks;
    BitReader bits(index + streamStart, indexSize - 4 - streamStart);
    std::vector<uint32_t> sizes(size_t{blocks} + 1);
    uint32_t largest = 0;
    for (auto& size : sizes) {
        if (!bits.read(static_cast<int>(log2Block), size)) return EMD_FILE_BROKEN;
        if (size == 0) size = decoder->blockSize;
    }
    for (uint32_t b = 0; b < blocks; ++b) largest = std::max(largest, sizes[b]);
    decoder->largestCompressed = largest + EMD_INPUT_SLACK;
    for (auto& distance : decoder->distances)
        if (!bits.read(static_cast<int>(log2Block), distance)) return EMD_FILE_BROKEN;

    uint8_t lengths[EMD_MAIN_SYMBOLS];
    if (!readCodeLengths(bits, EMD_MAIN_SYMBOLS, lengths)) return EMD_FILE_BROKEN;
    if (emdBuildDecodeTable(lengths, EMD_MAIN_SYMBOLS, EMD_MAIN_TABLE_BITS, decoder->mainTable) != EMD_OK)
        return EMD_FILE_BROKEN;

    decoder->lastBlockSize = sizes[blocks];
    decoder->starts.resize(size_t{blocks} + 1);
    uint64_t offset = indexSize;
    for (uint32_t b = 0; b <= blocks; ++b) {
        decoder->starts[b] = offset;
        if (b < blocks) offset += sizes[b];
    }
    emdMemoryInUse += sizeof(EmdDecoder) + decoder->starts.size() * 8 + decoder->blockChecks.size() * 4 +
                      decoder->mainTable.size() * 2;
    result = std::move(decoder);
    return EMD_OK;
}

int emdCreateDecodeBlock(uint32_t blockSize, std::unique_ptr<DecodeBlock>& block) {
    block = std::make_unique<DecodeBlock>();
    block->blockSize = blockSize;
    block->input.resize(size_t{blockSize} + EMD_INPUT_SLACK);
    block->tag = EMD_DECODE_TAG;
    emdMemoryInUse += sizeof(DecodeBlock) + block->input.size();
    return EMD_OK;
}

uint32_t emdBlockSize(const EmdDecoder& decoder, uint32_t block) {
    if (block >= decoder.blocks) return 0;
    return block + 1 == decoder.blocks ? decoder.lastBlockSize : decoder.blockSize;
}

int emdDecompress(const EmdDecoder& decoder, EmdSource& source, uint32_t block, uint8_t* output,
                  DecodeBlock& work) {
    // 1. Fetch the block's bytes.
    if (work.tag != EMD_DECODE_TAG) return EMD_BAD_STATE;
    if (block >= decoder.blocks) return EMD_BAD_BLOCK_NUMBER;
    const uint32_t expected = emdBlockSize(decoder, block);
    const uint64_t compressed = decoder.starts[block + 1] - decoder.starts[block];
    if (compressed > work.input.size()) return EMD_MALFORMED;
    const long long got = source.readAt(decoder.starts[block], work.input.data(), compressed);
    if (got < 0) return EMD_SEEK_FAILED;
    if (static_cast<uint64_t>(got) != compressed) return EMD_SHORT_READ;
    if (compressed == expected) {
        std::memcpy(output, work.input.data(), expected);
        return EMD_OK;
    }

    // 2. Literals and matches until the block is complete.
    BitReader bits(work.input.data(), compressed);
    uint32_t cursor = 0;
    while (cursor < expected) {
        int symbol;
        if (!decodeSymbol(bits, decoder.mainTable, EMD_MAIN_TABLE_BITS, symbol) || bits.exhausted())
            return EMD_MALFORMED;
        if (symbol < 256) {
            output[cursor++] = static_cast<uint8_t>(symbol);
            continue;
        }
        const int match = symbol - 256;
        const uint32_t distance = decoder.distances[match >> 5];
        const int code = match & 31;
        uint64_t length = static_cast<uint64_t>(code) + 1;
        if (code >= 15) {
            const int k = code - 14;
            uint32_t extra;
            if (!bits.read(k, extra)) return EMD_MALFORMED;
            length = (uint64_t{1} << k) + extra + 14;
        }
        if (distance == 0 || distance > cursor) return EMD_MALFORMED;
        const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(expected, cursor + length));
        const uint8_t* from = output + (cursor - distance);
        if (distance >= end - cursor) {
            std::memcpy(output + cursor, from, end - cursor);
            cursor = end;
        } else {
            while (cursor < end) output[cursor++] = *from++;
        }
    }
    return EMD_OK;
}

} // namespace egtb
