// Index functions: the entry counts the file format fixes, the members given
// formula by formula, and exhaustive checks that every legal position of the
// three- and four-man tables has one entry of its own.
#include <random>
#include <unordered_map>

#include "egtb/tbtestutil.h"

using namespace egtb;
using tbtest::Placement;

namespace {

const TableDescriptor& table(const char* name) {
    initDescriptors();
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

} // namespace

TEST(TablebaseIndex, SharedTablesHaveTheirKingPairCounts) {
    initIndexTables();
    const IndexTables& t = indexTables();
    int pawn = 0, pawnless = 0;
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            pawn += t.pawnPair[a][b] != NO_PAIR;
            pawnless += t.pawnlessPair[a][b] != NO_PAIR;
        }
    EXPECT_EQ(pawn, 1806);
    EXPECT_EQ(pawnless, 462);
    // Pairs are numbered by the first king's square, then the second's.
    EXPECT_EQ(t.pawnPair[0][2], 0); // a1 with c1: a2, b1, b2 touch a1
    EXPECT_EQ(t.pawnlessPair[0][2], 0);
    EXPECT_EQ(t.pawnlessPair[0][8], NO_PAIR);  // a2 touches a1
    EXPECT_EQ(t.pawnlessPair[0][16], NO_PAIR); // a3 lies above the diagonal while a1 is on it
    EXPECT_EQ(t.pawnPair[4][0], NO_PAIR);      // e1 is no first-king square with pawns
    // Enumerations: a knight may not give check; a pawn P may not attack the king.
    EXPECT_EQ(t.allowed[KIND_KNIGHT][0], 64 - 1 - 2);
    EXPECT_EQ(t.enumeration[KIND_KNIGHT][0][10], NOT_ALLOWED); // c2 checks a1
    EXPECT_EQ(t.allowed[KIND_PAWN_FREE][27], 47);
    EXPECT_EQ(t.enumeration[KIND_PAWN][27][18], NOT_ALLOWED); // c3 attacks d4
    EXPECT_EQ(t.enumeration[KIND_PAWN][27][20], NOT_ALLOWED); // e3 attacks d4
    EXPECT_EQ(t.allowed[KIND_QUEEN][27], 64 - 9);
    EXPECT_EQ(t.allowed[KIND_ROOK][27], 64 - 5);
    EXPECT_EQ(t.allowed[KIND_BISHOP][0], 64 - 2);
}

TEST(TablebaseIndex, EntryCountsMatchTheFileFormat) {
    const std::tuple<const char*, uint64_t, uint64_t> counts[] = {
        {"kpk", 81664, 84012},         {"knk", 26282, 28644},           {"kpkp", 3863492, 3863492},
        {"krbkr", 95673600, 98951760}, {"kqqpkq", 7297961576, 8514011520}};
    for (const auto& [name, white, black] : counts) {
        EXPECT_EQ(table(name).count[0], white) << name;
        EXPECT_EQ(table(name).count[1], black) << name;
    }
    EXPECT_EQ(table("kpkp").plan[0].normalCount, 3838208u);
    // The product of the pair-offset total and the other radices, not the largest index + 1.
    EXPECT_EQ(table("kbnk").count[0], 1550621u);
}

TEST(TablebaseIndex, DescriptorListHasItsNamesFlagsAndSizes) {
    initDescriptors();
    for (auto [n, name] : {std::pair{0, "kk"}, {5, "kqk"}, {6, "kpkp"}, {35, "kqqk"}, {36, "kppkp"},
                           {145, "kqqqk"}, {146, "knnknn"}, {375, "kqqpkq"}})
        EXPECT_STREQ(TABLE_NAMES[n], name);
    for (int n = 0; n < TABLE_COUNT; ++n) {
        const int men = descriptor(n).material.men();
        EXPECT_EQ(men, n == 0 ? 2 : n <= 5 ? 3 : n <= 35 ? 4 : n <= 145 ? 5 : 6) << TABLE_NAMES[n];
        EXPECT_EQ(tableNumber(TABLE_NAMES[n]), n) << "names are unique";
        EXPECT_GT(descriptor(n).count[0], 0u);
    }
    for (auto [name, flags] : {std::pair<const char*, int>{"kk", TABLE_SYMMETRIC}, {"kqrkqr", TABLE_SYMMETRIC},
                               {"krnknn", TABLE_TWO_BYTES}, {"krrpkq", TABLE_TWO_BYTES | TABLE_SPLIT},
                               {"kqbnkq", TABLE_SPLIT}, {"kqqpkq", TABLE_SPLIT}, {"kpppkq", 0}, {"krbkr", 0},
                               {"kqbnkn", 0}})
        EXPECT_EQ(tableFlags(name), flags) << name;
    EXPECT_EQ(descriptor(15).count[0], descriptor(15).count[1]) << "krkr is symmetric";
}

// The members written out in full, evaluated from their formulas.
TEST(TablebaseIndex, MembersFollowTheirFormulas) {
    const IndexTables& t = indexTables();
    std::mt19937 random(7);
    const TableDescriptor& knk = table("knk");
    const TableDescriptor& kqkr = table("kqkr");
    const TableDescriptor& kpk = table("kpk");
    int checked = 0;
    while (checked < 20000) {
        Placement p = tbtest::menOf(knk);
        for (int i = 0; i < 3; ++i) p.square[i] = static_cast<int>(random() % 64);
        const int side = static_cast<int>(random() % 2);
        if (!tbtest::legalPlacement(p, side)) continue;
        ++checked;
        // knk: the mover's king first; black to move, kings by the pawnless pair,
        // the knight anywhere else; white to move, the knight by its enumeration.
        const int mask = t.quarterMask[p.square[side]];
        int k1 = p.square[side] ^ mask, k2 = p.square[1 - side] ^ mask, n = p.square[2] ^ mask;
        if (!(t.inTriangle[k1] && (t.offDiagonal[k1] || t.onOrBelowDiagonal[k2]))) {
            k1 = t.transpose[k1], k2 = t.transpose[k2], n = t.transpose[n];
        }
        if (side == 1) {
            const uint64_t expected = uint64_t{t.pawnlessPair[k1][k2]} * 62 + n - (k1 < n) - (k2 < n);
            EXPECT_EQ(indexOf(knk, p, 1), expected);
        } else {
            int m = t.enumeration[KIND_KNIGHT][k2][n];
            if (t.enumeration[KIND_KNIGHT][k2][k1] != NOT_ALLOWED && k1 < n) --m;
            EXPECT_EQ(indexOf(knk, p, 0), knk.plan[0].pairOffsets[t.pawnlessPair[k1][k2]] + m);
        }
    }
    checked = 0;
    while (checked < 20000) {
        Placement p = tbtest::menOf(kqkr);
        for (int i = 0; i < 4; ++i) p.square[i] = static_cast<int>(random() % 64);
        if (!tbtest::legalPlacement(p, 0)) continue;
        ++checked;
        const int mask = t.quarterMask[p.square[0]];
        int sq[4];
        for (int i = 0; i < 4; ++i) sq[i] = p.square[i] ^ mask;
        if (!(t.inTriangle[sq[0]] && (t.offDiagonal[sq[0]] || t.onOrBelowDiagonal[sq[1]])))
            for (int& s : sq) s = t.transpose[s];
        const int k1 = sq[0], k2 = sq[1], q = sq[2], r = sq[3];
        const int queen = t.enumeration[KIND_QUEEN][k2][q] - (k1 < q);
        const int rook = r - (k1 < r) - (k2 < r) - (q < r);
        EXPECT_EQ(indexOf(kqkr, p, 0),
                  (kqkr.plan[0].pairOffsets[t.pawnlessPair[k1][k2]] + queen) * 61 + rook);
    }
    checked = 0;
    while (checked < 20000) {
        Placement p = tbtest::menOf(kpk);
        for (int i = 0; i < 3; ++i) p.square[i] = static_cast<int>(random() % 64);
        const int side = static_cast<int>(random() % 2);
        if (!tbtest::legalPlacement(p, side)) continue;
        ++checked;
        const int flip = side == 1 ? 56 : 0;
        const int mover = p.square[side], other = p.square[1 - side];
        const int mask = t.fileMirror[mover] ^ flip;
        const int k1 = mover ^ mask, k2 = other ^ mask, pawn = p.square[2] ^ mask;
        const int kind = side == 0 ? KIND_PAWN : KIND_PAWN_FREE;
        int m = t.enumeration[kind][k2][pawn];
        if (t.enumeration[kind][k2][k1] != NOT_ALLOWED && k1 < pawn) --m;
        EXPECT_EQ(indexOf(kpk, p, side), kpk.plan[side].pairOffsets[t.pawnPair[k1][k2]] + m);
    }
}

// Every legal position of every three- and four-man table, with the mover's
// king in its canonical region (the others follow by symmetry): its entry is
// below the count, it shares it only with its own mirror images, its mirror
// image and its colour-exchanged form find the same entry.
TEST(TablebaseIndex, EveryLegalPositionOfSmallTablesHasAnEntryOfItsOwn) {
    initDescriptors();
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
                for (uint64_t rest = random() % step; rest < cells; rest += step) {
                    p.square[side] = king;
                    uint64_t r = rest;
                    for (int i = 0; i < p.men; ++i) {
                        if (i == side) continue;
                        p.square[i] = static_cast<int>(r & 63);
                        r >>= 6;
                    }
                    if (!tbtest::legalPlacement(p, side)) continue;
                    ++legal;
                    const uint64_t e = indexOf(d, p, side);
                    ASSERT_LT(e, d.count[side]) << d.name << " " << tbtest::fenOf(p, side);
                    uint32_t packed = 0;
                    for (int i = p.men - 1; i >= 0; --i)
                        packed = packed << 6 | static_cast<uint32_t>(p.square[i]);
                    if (owner[e] != UINT32_MAX) {
                        Placement q = p;
                        for (int i = 0; i < p.men; ++i)
                            q.square[i] = static_cast<int>((owner[e] >> (6 * i)) & 63);
                        ASSERT_TRUE(sameMenUpToSymmetry(p, q, pawns))
                            << d.name << ": " << tbtest::fenOf(p, side) << " and " << tbtest::fenOf(q, side);
                    }
                    owner[e] = packed;
                    // A mirror image and the colour-exchanged position (every third position).
                    if (rest % 3) continue;
                    const int g = pawns ? 1 : 1 + static_cast<int>(rest % 7);
                    if (pawns || !kingsOnDiagonal(p, side)) {
                        ASSERT_EQ(indexOf(d, transformed(p, g), side), e)
                            << d.name << " " << tbtest::fenOf(p, side);
                    }
                    ASSERT_EQ(indexOf(d, p, side, true), e) << d.name << " " << tbtest::fenOf(p, side);
                }
            }
            EXPECT_GT(legal, 0u) << d.name;
        }
    }
}

// Five-man tables: random legal positions.
TEST(TablebaseIndex, SampledFiveManPositionsHaveEntriesOfTheirOwn) {
    initDescriptors();
    std::mt19937_64 random(5);
    const int samples = kSlowBuild ? 300 : 4000;
    for (int n = 36; n <= 145; ++n) {
        const TableDescriptor& d = descriptor(n);
        const bool pawns = d.material.hasPawns();
        for (int side = 0; side < 2; ++side) {
            std::unordered_map<uint64_t, Placement> seen;
            Placement p = tbtest::menOf(d);
            for (int k = 0; k < samples;) {
                for (int i = 0; i < p.men; ++i) p.square[i] = static_cast<int>(random() % 64);
                if (!tbtest::legalPlacement(p, side)) continue;
                ++k;
                const uint64_t e = indexOf(d, p, side);
                ASSERT_LT(e, d.count[side]) << d.name;
                auto [it, fresh] = seen.emplace(e, p);
                if (!fresh) {
                    ASSERT_TRUE(sameMenUpToSymmetry(p, it->second, pawns)) << d.name;
                }
                ASSERT_EQ(indexOf(d, p, side, true), e) << d.name;
                if (pawns || !kingsOnDiagonal(p, side)) {
                    ASSERT_EQ(indexOf(d, transformed(p, pawns ? 1 : 1 + k % 7), side), e) << d.name;
                }
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
