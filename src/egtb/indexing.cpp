#include "egtb/indexing.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <vector>

namespace egtb {

namespace {

IndexTables tables;
bool tablesBuilt = false;

int rankOf64(int s) { return s >> 3; }
int fileOf64(int s) { return s & 7; }

bool touching(int a, int b) {
    return std::abs(rankOf64(a) - rankOf64(b)) <= 1 && std::abs(fileOf64(a) - fileOf64(b)) <= 1;
}

// Whether a piece of `kind` on s may stand there while the other king is on k.
bool allowedSquare(int kind, int k, int s) {
    if (s == k) return false;
    const int dr = std::abs(rankOf64(s) - rankOf64(k));
    const int df = std::abs(fileOf64(s) - fileOf64(k));
    switch (kind) {
        case KIND_PAWN_FREE:
            return rankOf64(s) >= 1 && rankOf64(s) <= 6;
        case KIND_PAWN:
            if (rankOf64(s) < 1 || rankOf64(s) > 6) return false;
            if (fileOf64(s) != 0 && k == s + 7) return false;
            if (fileOf64(s) != 7 && k == s + 9) return false;
            return true;
        case KIND_KNIGHT:
            return !((dr == 1 && df == 2) || (dr == 2 && df == 1));
        case KIND_BISHOP:
            return !(dr == 1 && df == 1);
        case KIND_ROOK:
            return dr + df != 1;
        default:
            return dr > 1 || df > 1;
    }
}

void buildTables() {
    IndexTables& t = tables;
    for (int s = 0; s < 64; ++s) {
        const int r = rankOf64(s), f = fileOf64(s);
        t.fileMirror[s] = f >= 4 ? 7 : 0;
        t.quarterMask[s] = static_cast<uint8_t>((f >= 4 ? 7 : 0) | (r >= 4 ? 56 : 0));
        t.transpose[s] = static_cast<uint8_t>(f * 8 + r);
        t.inTriangle[s] = f <= 3 && r <= f;
        t.offDiagonal[s] = r != f;
        t.onOrBelowDiagonal[s] = r <= f;
    }
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        for (int k = 0; k < 64; ++k) {
            int number = 0;
            for (int s = 0; s < 64; ++s)
                t.enumeration[kind][k][s] =
                    allowedSquare(kind, k, s) ? static_cast<uint8_t>(number++) : NOT_ALLOWED;
            t.allowed[kind][k] = static_cast<uint8_t>(number);
        }
    }
    int pawnPairs = 0, pawnlessPairs = 0;
    for (int k1 = 0; k1 < 64; ++k1) {
        for (int k2 = 0; k2 < 64; ++k2) {
            t.pawnPair[k1][k2] = NO_PAIR;
            t.pawnlessPair[k1][k2] = NO_PAIR;
            if (touching(k1, k2)) continue;
            if (fileOf64(k1) <= 3) {
                t.pawnPairKings[pawnPairs][0] = static_cast<uint8_t>(k1);
                t.pawnPairKings[pawnPairs][1] = static_cast<uint8_t>(k2);
                t.pawnPair[k1][k2] = static_cast<uint16_t>(pawnPairs++);
            }
            if (t.inTriangle[k1] && (t.offDiagonal[k1] || t.onOrBelowDiagonal[k2])) {
                t.pawnlessPairKings[pawnlessPairs][0] = static_cast<uint8_t>(k1);
                t.pawnlessPairKings[pawnlessPairs][1] = static_cast<uint8_t>(k2);
                t.pawnlessPair[k1][k2] = static_cast<uint16_t>(pawnlessPairs++);
            }
        }
    }
    if (pawnPairs != PAWN_KING_PAIRS || pawnlessPairs != PAWNLESS_KING_PAIRS) std::abort();
}

// Pair offsets of one combination of enumeration kinds over one king-pair
// numbering: entry p is the number of entries of all pairs before p; the last
// entry is the total. Built on first use and kept for the run.
using OffsetKey = std::array<int, 4>; // pawn numbering flag, then up to three kinds (-1 unused)
std::map<OffsetKey, std::vector<uint64_t>>& offsetStore() {
    static std::map<OffsetKey, std::vector<uint64_t>> store;
    return store;
}

const uint64_t* pairOffsets(bool pawnPairs, const std::vector<int>& kinds) {
    OffsetKey key = {pawnPairs ? 1 : 0, -1, -1, -1};
    std::vector<int> sorted = kinds;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) key[i + 1] = sorted[i];
    auto& store = offsetStore();
    auto found = store.find(key);
    if (found != store.end()) return found->second.data();

    const int pairs = pawnPairs ? PAWN_KING_PAIRS : PAWNLESS_KING_PAIRS;
    std::vector<uint64_t> offsets(pairs + 1);
    uint64_t total = 0;
    for (int p = 0; p < pairs; ++p) {
        offsets[p] = total;
        const int k1 = pawnPairs ? tables.pawnPairKings[p][0] : tables.pawnlessPairKings[p][0];
        const int k2 = pawnPairs ? tables.pawnPairKings[p][1] : tables.pawnlessPairKings[p][1];
        uint64_t entries = 1;
        for (size_t i = 0; i < sorted.size();) {
            size_t j = i;
            while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
            const int kind = sorted[i];
            const uint64_t n =
                tables.allowed[kind][k2] - (tables.enumeration[kind][k2][k1] != NOT_ALLOWED ? 1 : 0);
            entries *= choose(n, static_cast<int>(j - i));
            i = j;
        }
        total += entries;
    }
    offsets[pairs] = total;
    return store.emplace(key, std::move(offsets)).first->second.data();
}

// Slot kinds: 0 pawns, 1 knights, 2 bishops, 3 rooks, 4 queens.
constexpr int SLOT_OF_KIND[5] = {PAWN_SLOT, KNIGHT_SLOT, BISHOP_SLOT, ROOK_SLOT, QUEEN_SLOT};
constexpr uint8_t ENUMERATION_OF_KIND[5] = {KIND_PAWN, KIND_KNIGHT, KIND_BISHOP, KIND_ROOK, KIND_QUEEN};

// Rank of a sorted set of up to three numbers in the combinatorial number system.
inline uint64_t combination(int* numbers, int count) {
    if (count == 2 && numbers[0] > numbers[1]) std::swap(numbers[0], numbers[1]);
    if (count == 3) std::sort(numbers, numbers + 3);
    uint64_t rank = 0;
    for (int i = 0; i < count; ++i) rank += choose(static_cast<uint64_t>(numbers[i]), i + 1);
    return rank;
}

// En-passant configurations of kpkp: the capturing pawn's file and the file
// of the pawn beside it, in order of the capturing file then the other file.
inline int epConfiguration(int capturerFile, int victimFile) {
    return capturerFile == 0 ? 0 : 2 * capturerFile - 1 + (victimFile > capturerFile ? 1 : 0);
}

} // namespace

const IndexTables& indexTables() { return tables; }

void initIndexTables() {
    if (tablesBuilt) return;
    buildTables();
    tablesBuilt = true;
}

int TableMaterial::men() const {
    int total = 2;
    for (int k = 0; k < 5; ++k) total += first[k] + second[k];
    return total;
}

bool parseTableName(const char* name, TableMaterial& material) {
    material = TableMaterial{};
    if (!name || name[0] != 'k') return false;
    int side = 0;
    for (const char* c = name + 1; *c; ++c) {
        int* counts = side == 0 ? material.first : material.second;
        switch (*c) {
            case 'k':
                if (side == 1) return false;
                side = 1;
                break;
            case 'p':
                ++counts[0];
                break;
            case 'n':
                ++counts[1];
                break;
            case 'b':
                ++counts[2];
                break;
            case 'r':
                ++counts[3];
                break;
            case 'q':
                ++counts[4];
                break;
            default:
                return false;
        }
    }
    if (side != 1) return false;
    for (int k = 0; k < 5; ++k)
        if (material.first[k] > 3 || material.second[k] > 3) return false;
    return true;
}

bool buildIndexPlan(const TableMaterial& material, int side, IndexPlan& plan) {
    plan = IndexPlan{};
    const int* mover = side == 0 ? material.first : material.second;
    const int* other = side == 0 ? material.second : material.first;
    plan.pawnFrame = material.hasPawns();
    plan.moverIsSecond = side == 1;
    int moverMen = 0;
    for (int k = 0; k < 5; ++k) moverMen += mover[k];

    std::vector<int> offsetKinds;
    int placed = 2;
    auto addOffsetGroup = [&](uint8_t kind, int count, int slot) {
        if (count == 0) return;
        plan.offsetGroups[plan.offsetGroupCount++] = {kind, static_cast<uint8_t>(count),
                                                      static_cast<uint8_t>(slot), false};
        for (int i = 0; i < count; ++i) offsetKinds.push_back(kind);
        placed += count;
    };
    if (moverMen > 0) {
        for (int k = 4; k >= 0; --k) addOffsetGroup(ENUMERATION_OF_KIND[k], mover[k], SLOT_OF_KIND[k]);
        plan.moverPawns = static_cast<uint8_t>(mover[0]);
    } else {
        plan.offsetMenFromMover = 0;
        addOffsetGroup(KIND_PAWN_FREE, other[0], PAWN_SLOT);
    }
    if (plan.offsetGroupCount > 3) return false;

    auto addDigitGroup = [&](int k, bool pawn) {
        const int count = other[k];
        if (count == 0) return true;
        if (plan.digitGroupCount == 4) return false;
        const uint64_t radix = pawn ? choose(48 - plan.moverPawns, count) : choose(64 - placed, count);
        plan.digitGroups[plan.digitGroupCount] = {static_cast<uint8_t>(k), static_cast<uint8_t>(count),
                                                  static_cast<uint8_t>(SLOT_OF_KIND[k]), pawn};
        plan.digitRadix[plan.digitGroupCount++] = radix;
        placed += count;
        return true;
    };
    if (plan.offsetMenFromMover && !addDigitGroup(0, true)) return false;
    for (int k = 4; k >= 1; --k)
        if (!addDigitGroup(k, false)) return false;

    plan.pairCount = plan.pawnFrame ? PAWN_KING_PAIRS : PAWNLESS_KING_PAIRS;
    plan.pairOffsets = pairOffsets(plan.pawnFrame, offsetKinds);
    uint64_t count = plan.pairOffsets[plan.pairCount];
    for (int j = 0; j < plan.digitGroupCount; ++j) count *= plan.digitRadix[j];
    plan.normalCount = count;
    bool onePawnEach = material.first[0] == 1 && material.second[0] == 1;
    for (int k = 1; k < 5; ++k)
        onePawnEach = onePawnEach && material.first[k] == 0 && material.second[k] == 0;
    plan.epEntries = onePawnEach;
    plan.count = count + (onePawnEach ? uint64_t{PAWN_KING_PAIRS} * 14 : 0);
    return true;
}

uint64_t tableIndex(const IndexPlan& plan, const int* first, const int* second, int epSquare,
                    bool exchanged) {
    const IndexTables& t = tables;
    const int* mover = plan.moverIsSecond ? second : first;
    const int* other = plan.moverIsSecond ? first : second;
    int k1 = mover[KING_SLOT], k2 = other[KING_SLOT];
    if ((k1 | k2) & ~63) return NO_INDEX;

    // 1. Frame: bring the position into the canonical part of the board.
    int mask;
    bool transposed = false;
    if (plan.pawnFrame) {
        mask = t.fileMirror[k1] ^ (exchanged != plan.moverIsSecond ? 56 : 0);
    } else {
        mask = t.quarterMask[k1];
        const int a = k1 ^ mask, b = k2 ^ mask;
        transposed = !(t.inTriangle[a] && (t.offDiagonal[a] || t.onOrBelowDiagonal[b]));
    }
    auto frame = [&](int s) { return transposed ? t.transpose[s ^ mask] : s ^ mask; };
    k1 = frame(k1);
    k2 = frame(k2);
    const uint16_t pair = plan.pawnFrame ? t.pawnPair[k1][k2] : t.pawnlessPair[k1][k2];
    if (pair == NO_PAIR) return NO_INDEX;

    // En-passant entries (kpkp only): the mover's pawn beside the pawn that
    // has just advanced two squares, after all normal entries.
    if (epSquare != NO_EP_SQUARE) {
        if (!plan.epEntries || (epSquare & ~63) || ((mover[PAWN_SLOT] | other[PAWN_SLOT]) & ~63))
            return NO_INDEX;
        const int ep = frame(epSquare);
        const int capturer = frame(mover[PAWN_SLOT]), victim = frame(other[PAWN_SLOT]);
        if (rankOf64(victim) != 4 || ep != victim + 8 || rankOf64(capturer) != 4 ||
            std::abs(fileOf64(capturer) - fileOf64(victim)) != 1)
            return NO_INDEX;
        return plan.normalCount + uint64_t{pair} * 14 + epConfiguration(fileOf64(capturer), fileOf64(victim));
    }

    int placed[8] = {k1, k2};
    int placedCount = 2;
    int pawnsPlaced[3];
    int pawnsPlacedCount = 0;
    auto isPlaced = [&](int s) {
        for (int i = 0; i < placedCount; ++i)
            if (placed[i] == s) return true;
        return false;
    };

    // 2. Men numbered through the enumerations, after the pair offset.
    uint64_t local = 0;
    const int* offsetMen = plan.offsetMenFromMover ? mover : other;
    for (int g = 0; g < plan.offsetGroupCount; ++g) {
        const ManGroup& group = plan.offsetGroups[g];
        const uint8_t* numbering = t.enumeration[group.kind][k2];
        const bool kingAllowed = numbering[k1] != NOT_ALLOWED;
        const int n = t.allowed[group.kind][k2] - (kingAllowed ? 1 : 0);
        int numbers[3];
        for (int i = 0; i < group.count; ++i) {
            const int raw = offsetMen[group.slot + i];
            if (raw & ~63) return NO_INDEX;
            const int s = frame(raw);
            int e = numbering[s];
            if (e == NOT_ALLOWED || isPlaced(s)) return NO_INDEX;
            if (kingAllowed && k1 < s) --e;
            numbers[i] = e;
            placed[placedCount++] = s;
            if (group.kind == KIND_PAWN && plan.offsetMenFromMover) pawnsPlaced[pawnsPlacedCount++] = s;
        }
        local = local * choose(static_cast<uint64_t>(n), group.count) + combination(numbers, group.count);
    }
    uint64_t index = plan.pairOffsets[pair] + local;

    // 3. The other side's men as further digits.
    for (int g = 0; g < plan.digitGroupCount; ++g) {
        const ManGroup& group = plan.digitGroups[g];
        int numbers[3], squares[3];
        for (int i = 0; i < group.count; ++i) {
            const int raw = other[group.slot + i];
            if (raw & ~63) return NO_INDEX;
            const int s = frame(raw);
            if (isPlaced(s)) return NO_INDEX;
            int below = 0;
            if (group.pawn) {
                if (s < 8 || s >= 56) return NO_INDEX;
                for (int j = 0; j < pawnsPlacedCount; ++j) below += pawnsPlaced[j] < s;
                numbers[i] = s - 8 - below;
            } else {
                for (int j = 0; j < placedCount; ++j) below += placed[j] < s;
                numbers[i] = s - below;
            }
            squares[i] = s;
        }
        for (int i = 0; i < group.count; ++i) placed[placedCount++] = squares[i];
        index = index * plan.digitRadix[g] + combination(numbers, group.count);
    }
    return index;
}

} // namespace egtb
