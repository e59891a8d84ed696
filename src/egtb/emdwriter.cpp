// Writing compressed tablebase files: the counterpart of emdreader.cpp, used by
// the generator and by tests that need files with particular properties.
#include <algorithm>
#include <cstring>
#include <queue>

#include "egtb/emd.h"

namespace egtb {

namespace {

class BitWriter {
  public:
    void put(uint32_t value, int bits) {
        for (int b = bits - 1; b >= 0; --b) {
            if (used_ == 0) bytes_.push_back(0);
            if ((value >> b) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
            used_ = (used_ + 1) & 7;
        }
    }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

void putBigEndian32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value >> 24);
    out[at + 1] = static_cast<uint8_t>(value >> 16);
    out[at + 2] = static_cast<uint8_t>(value >> 8);
    out[at + 3] = static_cast<uint8_t>(value);
}

// Huffman code lengths for the given frequencies, no longer than `limit`.
// One used symbol gets length 1 (it is then decoded without reading bits).
std::vector<uint8_t> huffmanLengths(std::vector<uint64_t> frequencies, int limit) {
    const int n = static_cast<int>(frequencies.size());
    std::vector<uint8_t> lengths(n, 0);
    for (;;) {
        using Node = std::pair<uint64_t, int>;
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> heap;
        std::vector<int> parent;
        for (int s = 0; s < n; ++s) {
            if (frequencies[s] == 0) continue;
            heap.push({frequencies[s], static_cast<int>(parent.size())});
            parent.push_back(-1);
        }
        std::vector<int> symbolOf;
        for (int s = 0; s < n; ++s)
            if (frequencies[s]) symbolOf.push_back(s);
        if (symbolOf.empty()) return lengths;
        if (symbolOf.size() == 1) {
            lengths[symbolOf[0]] = 1;
            return lengths;
        }
        const size_t leaves = parent.size();
        while (heap.size() > 1) {
            const Node a = heap.top();
            heap.pop();
            const Node b = heap.top();
            heap.pop();
            const int joined = static_cast<int>(parent.size());
            parent.push_back(-1);
            parent[a.second] = joined;
            parent[b.second] = joined;
            heap.push({a.first + b.first, joined});
        }
        int longest = 0;
        for (size_t leaf = 0; leaf < leaves; ++leaf) {
            int depth = 0;
            for (int node = static_cast<int>(leaf); parent[node] >= 0; node = parent[node]) ++depth;
            lengths[symbolOf[leaf]] = static_cast<uint8_t>(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= limit) return lengths;
        for (auto& f : frequencies)
            if (f) f = f / 2 + 1;
    }
}

// Canonical code values (same order as the reader: by length, then symbol).
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
    std::vector<uint32_t> codes(lengths.size(), 0);
    uint64_t code = 0;
    for (int length = 1; length <= 31; ++length) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] != length) continue;
            codes[s] = static_cast<uint32_t>(code >> (32 - length));
            code += uint64_t{1} << (32 - length);
        }
    }
    return codes;
}

int usedSymbols(const std::vector<uint8_t>& lengths) {
    int used = 0;
    for (auto l : lengths) used += l != 0;
    return used;
}

void putSymbol(BitWriter& out, const std::vector<uint8_t>& lengths, const std::vector<uint32_t>& codes,
               bool single, int symbol) {
    if (!single) out.put(codes[symbol], lengths[symbol]);
}

// Lengths of up to 128 symbols: a width, then each length, with runs of zeros.
void writeSmallLengths(BitWriter& out, const uint8_t* lengths, int n) {
    bool allZero = true;
    int longest = 0;
    for (int i = 0; i < n; ++i) {
        allZero = allZero && lengths[i] == 0;
        longest = std::max<int>(longest, lengths[i]);
    }
    out.put(allZero ? 1 : 0, 1);
    if (allZero) return;
    int width = 1;
    while ((1 << width) <= longest) ++width;
    out.put(static_cast<uint32_t>(width), 5);
    for (int i = 0; i < n;) {
        out.put(lengths[i], width);
        if (lengths[i++] != 0) continue;
        int run = 0;
        while (run < 15 && i + run < n && lengths[i + run] == 0) ++run;
        out.put(static_cast<uint32_t>(run), 4);
        i += run;
    }
}

// The main alphabet's lengths as symbols of a length alphabet (0-31 a length,
// 32 + v a run of v) and a count alphabet for the runs.
void writeMainLengths(BitWriter& out, const std::vector<uint8_t>& lengths) {
    if (usedSymbols(lengths) == 0) {
        out.put(1, 1);
        return;
    }
    out.put(0, 1);
    struct Item {
        int lengthSymbol;
        int countSymbol = -1;
        uint32_t extra = 0;
        int extraBits = 0;
    };
    std::vector<Item> items;
    const int n = static_cast<int>(lengths.size());
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && lengths[i + run] == lengths[i]) ++run;
        if (run < 3) {
            items.push_back({lengths[i]});
            ++i;
            continue;
        }
        const uint32_t count = static_cast<uint32_t>(run - 2);
        Item item{32 + lengths[i]};
        if (count <= 31) {
            item.countSymbol = static_cast<int>(count);
        } else {
            int k = 0;
            while ((uint32_t{2} << k) <= count - 31) ++k;
            item.countSymbol = 32 + k;
            item.extra = count - 31 - (uint32_t{1} << k);
            item.extraBits = k;
        }
        items.push_back(item);
        i += run;
    }
    std::vector<uint64_t> lengthFreq(64, 0), countFreq(64, 0);
    for (const auto& item : items) {
        ++lengthFreq[item.lengthSymbol];
        if (item.countSymbol >= 0) ++countFreq[item.countSymbol];
    }
    const auto lengthLengths = huffmanLengths(lengthFreq, 20);
    const auto countLengths = huffmanLengths(countFreq, 20);
    uint8_t small[128];
    std::copy(lengthLengths.begin(), lengthLengths.end(), small);
    std::copy(countLengths.begin(), countLengths.end(), small + 64);
    writeSmallLengths(out, small, 128);
    const auto lengthCodes = canonicalCodes(lengthLengths);
    const auto countCodes = canonicalCodes(countLengths);
    const bool lengthSingle = usedSymbols(lengthLengths) == 1;
    const bool countSingle = usedSymbols(countLengths) == 1;
    for (const auto& item : items) {
        putSymbol(out, lengthLengths, lengthCodes, lengthSingle, item.lengthSymbol);
        if (item.countSymbol < 0) continue;
        putSymbol(out, countLengths, countCodes, countSingle, item.countSymbol);
        out.put(item.extra, item.extraBits);
    }
}

// The 24 distances that repeat bytes most often in a sample of the data.
void chooseDistances(const uint8_t* data, uint64_t size, uint32_t blockSize, uint32_t* distances) {
    const uint32_t maxDistance = std::min<uint32_t>(blockSize - 1, 2048);
    std::vector<uint64_t> score(maxDistance + 1, 0);
    const uint64_t blocks = (size + blockSize - 1) / blockSize;
    const uint64_t samples = std::min<uint64_t>(blocks, 16);
    for (uint64_t s = 0; s < samples; ++s) {
        const uint64_t block = blocks <= 16 ? s : s * blocks / samples;
        const uint8_t* start = data + block * blockSize;
        const uint64_t length = std::min<uint64_t>(blockSize, size - block * blockSize);
        for (uint64_t i = 1; i < length; i += 3)
            for (uint32_t d = 1; d <= maxDistance && d <= i; ++d) score[d] += start[i] == start[i - d];
    }
    std::vector<uint32_t> order;
    for (uint32_t d = 1; d <= maxDistance; ++d) order.push_back(d);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return score[a] > score[b]; });
    distances[0] = 1;
    int chosen = 1;
    for (uint32_t d : order) {
        if (chosen == EMD_DISTANCES) break;
        if (d != 1) distances[chosen++] = d;
    }
    for (uint32_t d = 2; chosen < EMD_DISTANCES && d < blockSize; ++d) {
        bool taken = false;
        for (int i = 0; i < chosen; ++i) taken = taken || distances[i] == d;
        if (!taken) distances[chosen++] = d;
    }
    while (chosen < EMD_DISTANCES) distances[chosen++] = 1;
}

// Greedy parse of one block with the file's distances.
std::vector<EmdSymbol> tokenize(const uint8_t* block, uint32_t length, const uint32_t* distances) {
    std::vector<EmdSymbol> symbols;
    constexpr uint32_t LONGEST = (1u << 17) + (1u << 17) - 1 + 14;
    for (uint32_t i = 0; i < length;) {
        uint32_t bestLength = 0;
        int bestSlot = 0;
        for (int slot = 0; slot < EMD_DISTANCES; ++slot) {
            const uint32_t d = distances[slot];
            if (d == 0 || d > i) continue;
            const uint32_t limit = std::min(length - i, LONGEST);
            uint32_t l = 0;
            while (l < limit && block[i + l] == block[i + l - d]) ++l;
            if (l > bestLength) {
                bestLength = l;
                bestSlot = slot;
            }
        }
        if (bestLength >= 3) {
            symbols.push_back(emdMatchSymbol(bestSlot, bestLength));
            i += bestLength;
        } else {
            symbols.push_back({block[i]});
            ++i;
        }
    }
    return symbols;
}

} // namespace

EmdSymbol emdMatchSymbol(int slot, uint32_t length) {
    EmdSymbol symbol;
    int code;
    if (length <= 15) {
        code = static_cast<int>(length) - 1;
    } else {
        int k = 1;
        while ((uint32_t{2} << k) <= length - 14) ++k;
        code = k + 14;
        symbol.extra = length - 14 - (uint32_t{1} << k);
        symbol.extraBits = static_cast<uint8_t>(k);
    }
    symbol.symbol = static_cast<uint16_t>(256 + slot * 32 + code);
    return symbol;
}

std::vector<uint8_t> emdAssemble(const EmdPlan& plan) {
    const uint32_t blockSize = uint32_t{1} << plan.log2BlockSize;
    const int w = static_cast<int>(plan.log2BlockSize);
    const uint32_t blocks = static_cast<uint32_t>(plan.rawBlocks.size());

    // 1. One code for the whole file.
    std::vector<uint8_t> lengths = plan.forcedLengths;
    if (lengths.empty()) {
        std::vector<uint64_t> frequencies(EMD_MAIN_SYMBOLS, 0);
        for (const auto& block : plan.blocks)
            for (const auto& symbol : block) ++frequencies[symbol.symbol];
        lengths = huffmanLengths(frequencies, 24);
    }
    const auto codes = canonicalCodes(lengths);
    const bool single = usedSymbols(lengths) == 1;

    // 2. Each block coded, or kept raw when coding does not make it smaller.
    std::vector<std::vector<uint8_t>> stored(blocks);
    for (uint32_t b = 0; b < blocks; ++b) {
        const auto& raw = plan.rawBlocks[b];
        if (b < plan.blocks.size() && !plan.blocks[b].empty()) {
            BitWriter out;
            for (const auto& symbol : plan.blocks[b]) {
                putSymbol(out, lengths, codes, single, symbol.symbol);
                out.put(symbol.extra, symbol.extraBits);
            }
            auto& bytes = out.bytes();
            while (bytes.size() < 2) bytes.push_back(0);
            if (bytes.size() < raw.size()) {
                stored[b] = std::move(bytes);
                continue;
            }
        }
        stored[b] = raw;
    }

    // 3. The bit stream of the index.
    BitWriter stream;
    for (uint32_t b = 0; b < blocks; ++b)
        stream.put(stored[b].size() == blockSize ? 0 : static_cast<uint32_t>(stored[b].size()), w);
    const uint32_t last = blocks ? static_cast<uint32_t>(plan.rawBlocks.back().size()) : 0;
    stream.put(last == blockSize ? 0 : last, w);
    for (uint32_t d : plan.distances) stream.put(d, w);
    writeMainLengths(stream, lengths);
    auto& streamBytes = stream.bytes();
    if (streamBytes.size() & 1) streamBytes.push_back(0);

    // 4. Header, check values, index check value, blocks.
    const size_t indexSize = 80 + size_t{8} * blocks + streamBytes.size() + 4;
    std::vector<uint8_t> file(indexSize, 0);
    std::memcpy(file.data(), EMD_SIGNATURE, 64);
    putBigEndian32(file, 64, static_cast<uint32_t>(indexSize));
    file[70] = static_cast<uint8_t>(w);
    file[71] = EMD_DISTANCES;
    putBigEndian32(file, 72, blocks);
    putBigEndian32(file, 76, EMD_MAGIC);
    for (uint32_t b = 0; b < blocks; ++b) {
        putBigEndian32(file, 80 + 8 * b, emdCheckValue(plan.rawBlocks[b].data(), plan.rawBlocks[b].size()));
        putBigEndian32(file, 84 + 8 * b, emdCheckValue(stored[b].data(), stored[b].size()));
    }
    std::memcpy(file.data() + 80 + 8 * blocks, streamBytes.data(), streamBytes.size());
    putBigEndian32(file, indexSize - 4, emdCheckValue(file.data(), indexSize - 4));
    for (const auto& block : stored) file.insert(file.end(), block.begin(), block.end());
    return file;
}

std::vector<uint8_t> emdCompress(const uint8_t* data, uint64_t size, uint32_t log2BlockSize) {
    const uint32_t blockSize = uint32_t{1} << log2BlockSize;
    EmdPlan plan;
    plan.log2BlockSize = log2BlockSize;
    chooseDistances(data, size, blockSize, plan.distances);
    for (uint64_t start = 0; start < size; start += blockSize) {
        const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(blockSize, size - start));
        plan.rawBlocks.emplace_back(data + start, data + start + length);
        plan.blocks.push_back(tokenize(data + start, length, plan.distances));
    }
    return emdAssemble(plan);
}

} // namespace egtb
