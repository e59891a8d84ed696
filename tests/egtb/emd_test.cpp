// Compressed files: round trips through the writer and the reader, the edge
// cases of the block format, and damaged files reported by their codes.
#include <random>

#include "egtb/tbtestutil.h"

using namespace egtb;

namespace {

struct Opened {
    std::vector<uint8_t> file;
    std::unique_ptr<MemorySource> source;
    std::unique_ptr<EmdDecoder> decoder;
    int status = -1;
};

Opened open(std::vector<uint8_t> file) {
    Opened o;
    o.file = std::move(file);
    o.source = std::make_unique<MemorySource>(o.file.data(), o.file.size());
    o.status = emdOpen(*o.source, o.decoder);
    return o;
}

DecodeBlock& work() {
    static std::unique_ptr<DecodeBlock> block;
    if (!block) emdCreateDecodeBlock(EMD_BLOCK_SIZE, block);
    return *block;
}

// Decompresses every block and returns the bytes, or fails the test.
std::vector<uint8_t> inflate(Opened& o) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> block(EMD_BLOCK_SIZE + EMD_OUTPUT_SLACK);
    for (uint32_t b = 0; b < o.decoder->blocks; ++b) {
        EXPECT_EQ(emdDecompress(*o.decoder, *o.source, b, block.data(), work()), EMD_OK) << "block " << b;
        out.insert(out.end(), block.begin(), block.begin() + emdBlockSize(*o.decoder, b));
    }
    return out;
}

std::vector<uint8_t> roundTrip(const std::vector<uint8_t>& data) {
    Opened o = open(emdCompress(data.data(), data.size()));
    EXPECT_EQ(o.status, EMD_OK);
    if (o.status != EMD_OK) return {};
    EXPECT_EQ(o.decoder->decompressedSize(), data.size());
    return inflate(o);
}

// A one-block file from explicit symbols.
std::vector<uint8_t> craft(const std::vector<EmdSymbol>& symbols, const std::vector<uint8_t>& raw,
                           std::vector<uint8_t> lengths = {}, uint32_t distance0 = 1) {
    EmdPlan plan;
    for (int i = 0; i < EMD_DISTANCES; ++i) plan.distances[i] = static_cast<uint32_t>(i + 1);
    plan.distances[0] = distance0;
    plan.blocks.push_back(symbols);
    plan.rawBlocks.push_back(raw);
    plan.forcedLengths = std::move(lengths);
    return emdAssemble(plan);
}

} // namespace

TEST(CompressedFiles, CheckValueUsesTheFormatsOwnTable) {
    // Reference values from an independent implementation of the table rule.
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(emdCheckValue(digits, 9), 0x20d421b6u);
    const uint8_t zero = 0, ff = 0xFF;
    EXPECT_EQ(emdCheckValue(&zero, 1), 0x2d02ef8du);
    EXPECT_EQ(emdCheckValue(&ff, 1), 0u);
    EXPECT_EQ(emdCheckValue(digits, 0), 0u);
}

TEST(CompressedFiles, DataSurvivesTheRoundTrip) {
    std::mt19937 random(3);
    std::vector<std::vector<uint8_t>> cases;
    cases.push_back(std::vector<uint8_t>(20000, 0)); // one long run
    std::vector<uint8_t> noise(30000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    cases.push_back(noise); // incompressible: raw blocks
    std::vector<uint8_t> periodic(50000);
    for (size_t i = 0; i < periodic.size(); ++i)
        periodic[i] = static_cast<uint8_t>((i % 61) * 3 + (i / 977) % 5);
    cases.push_back(periodic); // strides and long matches
    std::vector<uint8_t> skewed(8192 * 3 + 100);
    for (auto& b : skewed) b = static_cast<uint8_t>(random() % 100 < 90 ? 127 : random() % 40);
    cases.push_back(skewed); // short last block
    cases.push_back(std::vector<uint8_t>(1, 42));
    cases.push_back(std::vector<uint8_t>(8192, 7)); // exactly one block
    for (const auto& data : cases) EXPECT_EQ(roundTrip(data), data) << "size " << data.size();
    // Coding noise would make it longer: its blocks are stored raw, at full size.
    const Opened raw = open(emdCompress(noise.data(), noise.size()));
    ASSERT_EQ(raw.status, EMD_OK);
    EXPECT_EQ(raw.decoder->starts[1] - raw.decoder->starts[0], uint64_t{EMD_BLOCK_SIZE});
}

TEST(CompressedFiles, MatchAtDistanceOneRepeatsThePreviousByte) {
    // 'x', then a match of length 20 at distance 1: 21 bytes of 'x', then 'y'.
    std::vector<uint8_t> raw(21, 'x');
    raw.push_back('y');
    const auto file = craft({{'x'}, emdMatchSymbol(0, 20), {'y'}}, raw);
    Opened o = open(file);
    ASSERT_EQ(o.status, EMD_OK);
    EXPECT_EQ(o.decoder->distances[0], 1u);
    EXPECT_NE(o.decoder->starts[1] - o.decoder->starts[0], raw.size()) << "coded, not raw";
    EXPECT_EQ(inflate(o), raw);
}

TEST(CompressedFiles, SingleSymbolAlphabetDecodesWithoutReadingBits) {
    // Only literal 'a' has a code (length 1); a block of 300 'a's needs no bits at all.
    std::vector<uint8_t> lengths(EMD_MAIN_SYMBOLS, 0);
    lengths['a'] = 1;
    std::vector<EmdSymbol> symbols(300, EmdSymbol{'a'});
    const std::vector<uint8_t> raw(300, 'a');
    Opened o = open(craft(symbols, raw, lengths));
    ASSERT_EQ(o.status, EMD_OK);
    EXPECT_EQ(o.decoder->starts[1] - o.decoder->starts[0], 2u) << "two padding bytes";
    EXPECT_EQ(inflate(o), raw);
}

TEST(CompressedFiles, MatchesBeforeTheBlockOrAtDistanceZeroAreErrors) {
    std::vector<uint8_t> out(EMD_BLOCK_SIZE + EMD_OUTPUT_SLACK);
    // A match at the very start reaches before the block; a match at distance
    // 0; fewer symbols than the block needs (the bit stream runs out).
    const std::vector<uint8_t> files[] = {
        craft({emdMatchSymbol(1, 5), {'z'}}, std::vector<uint8_t>(6, 'z')),
        craft({{'q'}, emdMatchSymbol(0, 5)}, std::vector<uint8_t>(6, 'q'), {}, 0),
        craft({{'a'}, {'b'}, {'c'}, {'d'}}, std::vector<uint8_t>(40, 'a'))};
    for (const auto& file : files) {
        Opened o = open(file);
        ASSERT_EQ(o.status, EMD_OK);
        EXPECT_EQ(emdDecompress(*o.decoder, *o.source, 0, out.data(), work()), EMD_MALFORMED);
    }
    EXPECT_EQ(open(files[1]).decoder->distances[0], 0u);
}

TEST(CompressedFiles, DamagedFilesAreReportedByKind) {
    std::vector<uint8_t> data(20000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 13);
    const auto good = emdCompress(data.data(), data.size());
    ASSERT_EQ(open(good).status, EMD_OK);

    // {byte, xor mask, status}: signature; a block check value inside the index
    // (the index check fails); distance count (set to 23); magic; block size
    // above 2^16 (set to 17).
    const std::tuple<size_t, uint8_t, int> damages[] = {
        {3, 1, EMD_READ_ERROR},
        {90, 0x40, EMD_FILE_BROKEN},
        {71, static_cast<uint8_t>(good[71] ^ 23), EMD_FILE_BROKEN},
        {79, 1, EMD_FILE_BROKEN},
        {70, static_cast<uint8_t>(good[70] ^ 17), EMD_FILE_BROKEN}};
    for (const auto& [at, mask, status] : damages) {
        auto damaged = good;
        damaged[at] ^= mask;
        EXPECT_EQ(open(damaged).status, status) << "byte " << at;
    }
    EXPECT_EQ(open(std::vector<uint8_t>(good.begin(), good.begin() + 60)).status, EMD_READ_ERROR);
    EXPECT_EQ(open(std::vector<uint8_t>(good.begin(), good.begin() + 100)).status, EMD_READ_ERROR);

    // A truncated block and a block number out of range.
    Opened cut = open(std::vector<uint8_t>(good.begin(), good.end() - 5));
    ASSERT_EQ(cut.status, EMD_OK);
    std::vector<uint8_t> out(EMD_BLOCK_SIZE + EMD_OUTPUT_SLACK);
    EXPECT_EQ(emdDecompress(*cut.decoder, *cut.source, cut.decoder->blocks - 1, out.data(), work()),
              EMD_SHORT_READ);
    EXPECT_EQ(emdDecompress(*cut.decoder, *cut.source, cut.decoder->blocks, out.data(), work()),
              EMD_BAD_BLOCK_NUMBER);
    DecodeBlock invalid;
    EXPECT_EQ(emdDecompress(*cut.decoder, *cut.source, 0, out.data(), invalid), EMD_BAD_STATE);
}

TEST(CompressedFiles, CodeLengthsMustFormACompletePrefixCode) {
    std::vector<int16_t> table;
    const uint8_t complete[4] = {1, 2, 3, 3};
    EXPECT_EQ(emdBuildDecodeTable(complete, 4, 8, table), EMD_OK);
    EXPECT_EQ(table[0], 0 * 32 + 1);    // 0xxxxxxx: symbol 0
    EXPECT_EQ(table[0x80], 1 * 32 + 2); // 10xxxxxx: symbol 1
    EXPECT_EQ(table[0xC0], 2 * 32 + 3);
    EXPECT_EQ(table[0xE0], 3 * 32 + 3);
    const uint8_t incomplete[3] = {1, 2, 3};
    EXPECT_EQ(emdBuildDecodeTable(incomplete, 3, 8, table), EMD_FILE_BROKEN);
    const uint8_t overfull[3] = {1, 1, 1};
    EXPECT_EQ(emdBuildDecodeTable(overfull, 3, 8, table), EMD_FILE_BROKEN);
    const uint8_t single[3] = {0, 2, 0};
    EXPECT_EQ(emdBuildDecodeTable(single, 3, 8, table), EMD_FILE_BROKEN);
    const uint8_t tooLong[2] = {32, 1};
    EXPECT_EQ(emdBuildDecodeTable(tooLong, 2, 8, table), EMD_FILE_BROKEN);
    // Codes longer than the direct table walk the tree after it.
    uint8_t deep[12];
    for (int i = 0; i < 11; ++i) deep[i] = static_cast<uint8_t>(i + 1);
    deep[11] = 11;
    EXPECT_EQ(emdBuildDecodeTable(deep, 12, 8, table), EMD_OK);
    EXPECT_LT(table[0xFF], 0);
    EXPECT_GT(table.size(), 256u);
}
