// Index functions: the entry counts the file format fixes, and exhaustive
// checks that every legal position of the three- and four-man tables has one
// entry of its own.
#include <random>
#include <unordered_map>

#include "egtb/tbtestutil.h"

using namespace egtb;
using tbtest::Placement;

namespace {

const TableDescriptor& table(const char* name) {
    const int n = tableNumber(name);
    EXPECT_GT(n, 0) << name;
    return descriptor(n);
}

uint64_t indexOf(const TableDescriptor& d, const Placement& p, int side, bool exchanged = false) {
    int first[16], second[16];
    tbtest::slotArrays(p, first, second);
    if (!exchanged) return tableIndex(d.plan[side], first, second, NO_EP_SQUARE, false);
    // The same position with colours exchanged: the first side's men now stand
    // mirrored as Black, the table's side to move is unchanged.
    for (int i = 0; i < 16; ++i) {
        first[i] ^= 56;
        second[i] ^= 56;
    }
    return tableIndex(d.plan[side], first, second, NO_EP_SQUARE, true);
}

// The board's eight symmetries (pawns allow only the file mirror).
int symmetry(int s, int g) {
    int r = s >> 3, f = s & 7;
    if (g & 1) f = 7 - f;
    if (g & 2) r = 7 - r;
    if (g & 4) std::swap(r, f);
    return r * 8 + f;
}

Placement transformed(const Placement& p, int g) {
    Placement q = p;
    for (int i = 0; i < p.men; ++i) q.square[i] = symmetry(p.square[i], g);
    return q;
}

// Both kings on the long diagonal once the mover's king is in a1-d4: such
// positions and their reflections in that diagonal may hold two entries.
bool kingsOnDiagonal(const Placement& p, int side) {
    const IndexTables& t = indexTables();
    const int mask = t.quarterMask[p.square[side]];
    const int a = p.square[side] ^ mask, b = p.square[1 - side] ^ mask;
    return !t.offDiagonal[a] && !t.offDiagonal[b];
}

bool sameMenUpToSymmetry(const Placement& a, const Placement& b, bool pawns) {
    for (int g = 0; g < (pawns ? 2 : 8); ++g) {
        const Placement c = transformed(b, g);
        bool same = true;
        for (int i = 0; i < a.men && same; ++i) {
            bool found = false;
            for (int j = 0; j < a.men && !found; ++j)
                found = c.square[j] == a.square[i] && c.piece[j] == a.piece[i] && c.colour[j] == a.colour[i];
            same = found;
        }
        if (same) return true;
    }
    return false;
}

// The entry `e` of a legal position is shared only with the position's own
// mirror images (`owner` keeps the squares of the first position that took it,
// six bits a man) and, for a symmetry g > 0, is found again from the mirror
// image (unless both kings stand on the long diagonal) and from the
// colour-exchanged position.
void expectOwnEntry(const TableDescriptor& d, const Placement& p, int side, uint64_t e, uint32_t& owner,
                    int g) {
    const bool pawns = d.material.hasPawns();
    if (owner != UINT32_MAX) {
        Placement q = p;
        for (int i = 0; i < p.men; ++i) q.square[i] = static_cast<int>((owner >> (6 * i)) & 63);
        ASSERT_TRUE(sameMenUpToSymmetry(p, q, pawns))
            << d.name << ": " << tbtest::fenOf(p, side) << " and " << tbtest::fenOf(q, side);
    }
    owner = 0;
    for (int i = p.men - 1; i >= 0; --i) owner = owner << 6 | static_cast<uint32_t>(p.square[i]);
    if (g == 0) return;
    if (pawns || !kingsOnDiagonal(p, side)) {
        ASSERT_EQ(indexOf(d, transformed(p, g), side), e) << d.name << " " << tbtest::fenOf(p, side);
    }
    ASSERT_EQ(indexOf(d, p, side, true), e) << d.name << " " << tbtest::fenOf(p, side);
}

} // namespace

// The pair counts and the men's enumerations show in the entry counts below;
// the order of the king pairs does not.
TEST(TablebaseIndex, KingPairsAreNumberedByTheFirstKingThenTheSecond) {
    const IndexTables& t = indexTables();
    EXPECT_EQ(t.pawnPair[0][2], 0); // a1 with c1: a2, b1, b2 touch a1
    EXPECT_EQ(t.pawnlessPair[0][2], 0);
    EXPECT_EQ(t.pawnPair[0][3], 1);
    EXPECT_EQ(t.pawnlessPair[0][16], NO_PAIR); // a3 lies above the diagonal while a1 is on it
    EXPECT_EQ(t.pawnPair[4][0], NO_PAIR);      // e1 is no first-king square with pawns
}

TEST(TablebaseIndex, EntryCountsMatchTheFileFormat) {
    const std::tuple<const char*, uint64_t, uint64_t> counts[] = {{"kpk", 81664, 84012},
                                                                  {"knk", 26282, 28644},
                                                                  {"kpkp", 3863492, 3863492},
                                                                  {"krbkr", 95673600, 98951760},
                                                                  {"kqqpkq", 7297961576, 8514011520}};
    for (const auto& [name, white, black] : counts) {
        EXPECT_EQ(table(name).count[0], white) << name;
        EXPECT_EQ(table(name).count[1], black) << name;
    }
    EXPECT_EQ(table("kpkp").plan[0].normalCount, 3838208u);
    // The product of the pair-offset total and the other radices, not the largest index + 1.
    EXPECT_EQ(table("kbnk").count[0], 1550621u);
}

TEST(TablebaseIndex, DescriptorListHasItsNamesFlagsAndSizes) {
    for (auto [n, name] : {std::pair{0, "kk"},
                           {5, "kqk"},
                           {6, "kpkp"},
                           {35, "kqqk"},
                           {36, "kppkp"},
                           {145, "kqqqk"},
                           {146, "knnknn"},
                           {375, "kqqpkq"}})
        EXPECT_STREQ(TABLE_NAMES[n], name);
    for (int n = 0; n < TABLE_COUNT; ++n) {
        const int men = descriptor(n).material.men();
        EXPECT_EQ(men, n == 0 ? 2 : n <= 5 ? 3 : n <= 35 ? 4 : n <= 145 ? 5 : 6) << TABLE_NAMES[n];
        EXPECT_EQ(tableNumber(TABLE_NAMES[n]), n) << "names are unique";
        EXPECT_GT(descriptor(n).count[0], 0u);
    }
    for (auto [name, flags] : {std::pair<const char*, int>{"kk", TABLE_SYMMETRIC},
                               {"kqrkqr", TABLE_SYMMETRIC},
                               {"krnknn", TABLE_TWO_BYTES},
                               {"krrpkq", TABLE_TWO_BYTES | TABLE_SPLIT},
                               {"kqbnkq", TABLE_SPLIT},
                               {"kqqpkq", TABLE_SPLIT},
                               {"kpppkq", 0},
                               {"krbkr", 0},
                               {"kqbnkn", 0}})
        EXPECT_EQ(tableFlags(name), flags) << name;
    EXPECT_EQ(descriptor(15).count[0], descriptor(15).count[1]) << "krkr is symmetric";
}

// Every legal position of every three- and four-man table, with the mover's
// king in its canonical region (the others follow by symmetry): its entry is
// below the count, it shares it only with its own mirror images, its mirror
// image and its colour-exchanged form find the same entry.
TEST(TablebaseIndex, EveryLegalPositionOfSmallTablesHasAnEntryOfItsOwn) {
    std::mt19937 random(11);
    const IndexTables& t = indexTables();
    for (int n = 1; n <= 35; ++n) {
        const TableDescriptor& d = descriptor(n);
        const bool pawns = d.material.hasPawns();
        for (int side = 0; side < 2; ++side) {
            std::vector<uint32_t> owner(d.count[side], UINT32_MAX);
            Placement p = tbtest::menOf(d);
            uint64_t legal = 0;
            const uint64_t cells = uint64_t{1} << (6 * (p.men - 1));
            // In slow builds a random sample of the same space.
            const uint64_t step = kSlowBuild ? 97 : 1;
            for (int king = 0; king < 64; ++king) {
                if (pawns ? (king & 7) > 3 : !t.inTriangle[king]) continue;
                p.square[side] = king;
                for (uint64_t rest = random() % step; rest < cells; rest += step) {
                    for (int i = 0, digit = 0; i < p.men; ++i)
                        if (i != side) p.square[i] = static_cast<int>((rest >> (6 * digit++)) & 63);
                    if (!tbtest::legalPlacement(p, side)) continue;
                    ++legal;
                    const uint64_t e = indexOf(d, p, side);
                    ASSERT_LT(e, d.count[side]) << d.name << " " << tbtest::fenOf(p, side);
                    // A mirror image and the colour-exchanged position every third position.
                    const int g = rest % 3 ? 0 : pawns ? 1 : 1 + static_cast<int>(rest % 7);
                    ASSERT_NO_FATAL_FAILURE(expectOwnEntry(d, p, side, e, owner[e], g));
                }
            }
            EXPECT_GT(legal, 0u) << d.name;
        }
    }
}

// Five-man tables: random legal positions.
TEST(TablebaseIndex, SampledFiveManPositionsHaveEntriesOfTheirOwn) {
    std::mt19937_64 random(5);
    const int samples = kSlowBuild ? 300 : 4000;
    for (int n = 36; n <= 145; ++n) {
        const TableDescriptor& d = descriptor(n);
        const bool pawns = d.material.hasPawns();
        for (int side = 0; side < 2; ++side) {
            std::unordered_map<uint64_t, uint32_t> owner;
            Placement p = tbtest::menOf(d);
            for (int k = 0; k < samples;) {
                for (int i = 0; i < p.men; ++i) p.square[i] = static_cast<int>(random() % 64);
                if (!tbtest::legalPlacement(p, side)) continue;
                ++k;
                const uint64_t e = indexOf(d, p, side);
                ASSERT_LT(e, d.count[side]) << d.name;
                uint32_t& first = owner.try_emplace(e, UINT32_MAX).first->second;
                ASSERT_NO_FATAL_FAILURE(expectOwnEntry(d, p, side, e, first, pawns ? 1 : 1 + k % 7));
            }
        }
    }
}

TEST(TablebaseIndex, PositionsWithoutEntriesAreRefused) {
    const TableDescriptor& knk = table("knk");
    int first[16] = {}, second[16] = {};
    first[KING_SLOT] = 0, second[KING_SLOT] = 9; // touching kings
    first[KNIGHT_SLOT] = 30;
    EXPECT_EQ(tableIndex(knk.plan[0], first, second, NO_EP_SQUARE, false), NO_INDEX);
    second[KING_SLOT] = 18, first[KNIGHT_SLOT] = 12; // e2 attacks c3: white to move cannot have it
    EXPECT_EQ(tableIndex(knk.plan[0], first, second, NO_EP_SQUARE, false), NO_INDEX);
    first[KNIGHT_SLOT] = 200; // not a square
    EXPECT_EQ(tableIndex(knk.plan[0], first, second, NO_EP_SQUARE, false), NO_INDEX);
    // Only kpkp has en-passant entries.
    first[KNIGHT_SLOT] = 40;
    EXPECT_EQ(tableIndex(knk.plan[0], first, second, 20, false), NO_INDEX);
}

TEST(TablebaseIndex, EnPassantEntriesOfKpkpFollowTheNormalOnes) {
    const TableDescriptor& kpkp = table("kpkp");
    const IndexTables& t = indexTables();
    // White: Ka1, Pe5; Black: Kh8, Pd5 just arrived from d7 (e.p. square d6).
    int white[16] = {}, black[16] = {};
    white[KING_SLOT] = 0, white[PAWN_SLOT] = 36;
    black[KING_SLOT] = 63, black[PAWN_SLOT] = 35;
    const uint64_t e = tableIndex(kpkp.plan[0], white, black, 43, false);
    // Files mirror (the white king is on a1, no mirror): capturer file e (4), victim d (3).
    EXPECT_EQ(e, 3838208u + uint64_t{t.pawnPair[0][63]} * 14 + (2 * 4 - 1));
    // The same position with colours exchanged and Black to move.
    int w2[16] = {}, b2[16] = {};
    for (int i = 0; i < 16; ++i) w2[i] = black[i] ^ 56, b2[i] = white[i] ^ 56;
    EXPECT_EQ(tableIndex(kpkp.plan[1], w2, b2, 43 ^ 56, false), e);
    EXPECT_EQ(tableIndex(kpkp.plan[0], white, black, 44, false), NO_INDEX)
        << "e6 is no en-passant square here";
}
