// Compressed tablebase files (".emd"): a block index followed by blocks that
// are compressed independently with a Huffman-coded LZ77 variant whose match
// distances come from a per-file table of 24.
//
// Layout (numbers big-endian): 64-byte signature line; at 64 the index size S;
// at 70 the base-2 logarithm w of the block size B; at 71 the value 24; at 72
// the block count N; at 76 the value 0x004001F5; at 80 two 32-bit check values
// per block (decompressed, compressed); then a bit stream (most significant bit
// first) with N + 1 w-bit sizes (compressed sizes, then the last block's
// decompressed size; 0 stands for B), 24 w-bit distances and the code lengths
// of the 1,024-symbol main alphabet; the last four bytes of the index hold the
// check value of the index bytes before them. The blocks follow at S.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace egtb {

// The signature line every compressed file starts with: 58 visible characters,
// carriage return, line feed and four zero bytes.
extern const char EMD_SIGNATURE[64];

constexpr uint32_t EMD_MAGIC = 0x004001F5;
constexpr int EMD_DISTANCES = 24;
constexpr int EMD_MAIN_SYMBOLS = 1024;
constexpr int EMD_MAIN_TABLE_BITS = 13;
constexpr int EMD_SMALL_TABLE_BITS = 8;
constexpr uint32_t EMD_DECODE_TAG = 0x79A3F29D;
constexpr uint32_t EMD_BLOCK_SIZE = 8192;
constexpr uint32_t EMD_OUTPUT_SLACK = 36;
constexpr uint32_t EMD_INPUT_SLACK = 32;

// Result codes. The low byte of an open error says its kind.
enum EmdStatus : int {
    EMD_OK = 0,
    EMD_READ_ERROR = 2,
    EMD_OUT_OF_MEMORY = 5,
    EMD_FILE_BROKEN = 6,
    EMD_BAD_STATE = 0x10,        // the decode block is not valid
    EMD_BAD_BLOCK_NUMBER = 0x11, // block number not below N
    EMD_SEEK_FAILED = 0x12,
    EMD_SHORT_READ = 0x13,
    EMD_MALFORMED = 0x14, // the block's data does not decode to its size
};

// Where the compressed bytes come from: a file or a memory image.
class EmdSource {
  public:
    virtual ~EmdSource() = default;
    // Reads up to n bytes at offset; returns the number read, or -1 on an error.
    virtual long long readAt(uint64_t offset, void* buffer, size_t n) = 0;
};

class FileSource : public EmdSource {
  public:
    explicit FileSource(FILE* file) : file_(file) {}
    long long readAt(uint64_t offset, void* buffer, size_t n) override;

  private:
    FILE* file_;
};

class MemorySource : public EmdSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    long long readAt(uint64_t offset, void* buffer, size_t n) override;

  private:
    const uint8_t* data_;
    size_t size_;
};

// The index of one compressed file, kept while the file is registered.
struct EmdDecoder {
    uint32_t log2BlockSize = 0;
    uint32_t blockSize = 0;
    uint32_t blocks = 0;
    uint32_t lastBlockSize = 0;
    uint32_t largestCompressed = 0; // plus EMD_INPUT_SLACK
    uint32_t distances[EMD_DISTANCES] = {};
    std::vector<uint64_t> starts;      // N + 1 offsets; the last is the end of the data
    std::vector<uint32_t> blockChecks; // check value of each decompressed block
    std::vector<int16_t> mainTable;    // 13-bit direct table, then tree nodes

    // Bytes the file holds once decompressed.
    uint64_t decompressedSize() const {
        return blocks == 0 ? 0 : uint64_t{blocks - 1} * blockSize + lastBlockSize;
    }
};

// The shared work area of the block decoder.
struct DecodeBlock {
    uint32_t tag = 0;
    uint32_t blockSize = 0;
    std::vector<uint8_t> input; // one compressed block plus slack
};

// The cyclic check value of the format (its own table, see emdreader.cpp).
uint32_t emdCheckValue(const uint8_t* data, size_t size, uint32_t value = 0);

// Reads and checks the index. Returns EMD_OK and the decoder, or an error code.
int emdOpen(EmdSource& source, std::unique_ptr<EmdDecoder>& decoder);

// Creates the shared decode block for blocks of `blockSize` bytes.
int emdCreateDecodeBlock(uint32_t blockSize, std::unique_ptr<DecodeBlock>& block);

// Decompresses block `block` into `output`, which must hold blockSize bytes
// (the slack after them is not needed). Returns EMD_OK or an error code.
int emdDecompress(const EmdDecoder& decoder, EmdSource& source, uint32_t block, uint8_t* output,
                  DecodeBlock& work);

// Decompressed size of block `block` (0 when out of range).
uint32_t emdBlockSize(const EmdDecoder& decoder, uint32_t block);

// Bytes taken by decoders and decode blocks, counted as they are made.
extern uint64_t emdMemoryInUse;

// Builds a canonical Huffman decode table from code lengths (exposed for tests
// and the writer's self-checks). Returns EMD_OK or EMD_FILE_BROKEN.
int emdBuildDecodeTable(const uint8_t* lengths, int symbols, int tableBits, std::vector<int16_t>& table);

// Compresses `size` bytes into a complete compressed file image with blocks of
// 2^log2BlockSize bytes.
std::vector<uint8_t> emdCompress(const uint8_t* data, uint64_t size, uint32_t log2BlockSize = 13);

// Lower-level writer pieces, for tests that craft edge cases: an encoded block
// stream built from explicit symbols is turned into a file by emdAssemble.
struct EmdSymbol {
    uint16_t symbol;    // 0-255 literal, 256 + m match
    uint32_t extra = 0; // extra length bits of long matches
    uint8_t extraBits = 0;
};
struct EmdPlan {
    uint32_t log2BlockSize = 13;
    uint32_t distances[EMD_DISTANCES] = {};
    std::vector<std::vector<EmdSymbol>> blocks;  // symbols of each coded block
    std::vector<std::vector<uint8_t>> rawBlocks; // decompressed bytes of each block
    std::vector<uint8_t> forcedLengths;          // optional main code lengths (1,024)
};
std::vector<uint8_t> emdAssemble(const EmdPlan& plan);

// The symbol of a match of `length` at distance table slot `slot`, with its extra bits.
EmdSymbol emdMatchSymbol(int slot, uint32_t length);

} // namespace egtb
