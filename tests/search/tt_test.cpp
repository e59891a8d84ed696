// The transposition table: sizing, probe results, mate scores and replacement.
#include "board/score.h"
#include "search/tt.h"
#include "shell/settings.h"
#include "testutil.h"

namespace {

// Sizes the table as the program does, and returns the size line it prints.
std::string allocate(MainHashTable& table, uint32_t megabytes) {
    table.mainHashMB = megabytes;
    testing::internal::CaptureStdout();
    sizeMainTable(table, true);
    return testing::internal::GetCapturedStdout();
}

using Probe = TableProbe;

Probe probe(MainHashTable& t, int side, uint32_t low, uint32_t high, int depth, int ply, int alpha,
            int beta) {
    return t.probe({side, low, high}, {depth, ply, alpha, beta, 2});
}

class TranspositionTable : public ::testing::Test {
  protected:
    MainHashTable t;
    void SetUp() override { allocate(t, 1); }
};

} // namespace

TEST(TranspositionTableSizing, SizingLines) {
    MainHashTable t;
    EXPECT_EQ(allocate(t, 1), "main cache     1 MB [16384 entries]\n");
    EXPECT_EQ(t.bucketCount(), 16384u);
    EXPECT_EQ(allocate(t, 24), "main cache    16 MB [262144 entries]\n");
    EXPECT_EQ(allocate(t, 48), "main cache    32 MB [524288 entries]\n");
    EXPECT_EQ(t.bucketCount(), 524288u);
    EXPECT_EQ(allocate(t, 0), "main cache 6.1e-05 MB [1 entries]\n");
    EXPECT_EQ(t.bucketCount(), 1u);
}

TEST_F(TranspositionTable, MissHitAndCutoffs) {
    EXPECT_EQ(probe(t, WHITE, 5, 7, 3, 0, -100, 100).result, HASH_MISS);
    t.store({WHITE, 5, 7}, {4, 0, HASH_EXACT, 33, 0x1234, 0, 0});
    const Probe exact = probe(t, WHITE, 5, 7, 4, 0, -100, 100);
    EXPECT_EQ(exact.result, HASH_EXACT);
    EXPECT_EQ(exact.score, 33);
    EXPECT_EQ(exact.move, 0x1234u);
    EXPECT_EQ(probe(t, WHITE, 5, 7, 5, 0, -100, 100).result, HASH_HIT) << "too shallow";
    EXPECT_EQ(probe(t, BLACK, 5, 7, 1, 0, -100, 100).result, HASH_MISS) << "sides never share entries";
    EXPECT_EQ(probe(t, WHITE, 5, 8, 1, 0, -100, 100).result, HASH_MISS) << "both key halves must match";

    t.store({BLACK, 9, 1}, {6, 0, HASH_LOWER, 150, 0, 1, 0});
    const Probe lower = probe(t, BLACK, 9, 1, 6, 0, -100, 100);
    EXPECT_EQ(lower.result, HASH_LOWER);
    EXPECT_EQ(lower.threat, 1);
    EXPECT_EQ(probe(t, BLACK, 9, 1, 6, 0, -100, 200).result, HASH_HIT);

    t.store({WHITE, 11, 1}, {6, 0, HASH_UPPER, -150, 0, 0, 0});
    EXPECT_EQ(probe(t, WHITE, 11, 1, 6, 0, -100, 100).result, HASH_UPPER);
    // An upper bound below beta, deep enough for a null-move search: avoid it.
    EXPECT_EQ(probe(t, WHITE, 11, 1, 9, 0, -200, 100).result, HASH_AVOID_NULL);
    EXPECT_EQ(probe(t, WHITE, 11, 1, 10, 0, -200, 100).result, HASH_HIT);
}

TEST_F(TranspositionTable, MateScoresKeepTheirDistanceFromTheNodeAndTheRoot) {
    // Stored at ply 5, read at ply 7: a mate is two plies further from the root.
    const int mateIn3 = MATE_SCORE - 10;
    for (auto [stored, read] : {std::pair{mateIn3, mateIn3 - 2}, {-mateIn3, -mateIn3 + 2}, {9935, 9935}}) {
        t.store({WHITE, 1, 2}, {5, 5, HASH_EXACT, stored, 0, 0, 0});
        EXPECT_EQ(probe(t, WHITE, 1, 2, 0, 7, -INFINITE_SCORE, INFINITE_SCORE).score, read) << stored;
    }
    // Mate scores stored at the root come back unchanged at the root.
    for (int score : {MATE_SCORE - 1, MATE_SCORE - 64, -(MATE_SCORE - 3), 9935, -9935, 0}) {
        t.store({BLACK, 100, 1}, {3, 0, HASH_EXACT, score, 0, 0, 0});
        EXPECT_EQ(probe(t, BLACK, 100, 1, 0, 0, -INFINITE_SCORE, INFINITE_SCORE).score, score);
    }
    // A mate found 3 plies below a node at ply 4 is stored relative to that node.
    t.store({WHITE, 101, 1}, {3, 4, HASH_EXACT, MATE_SCORE - 7, 0, 0, 0});
    EXPECT_EQ(t.readEntry({WHITE, 101, 1}).score, MATE_SCORE - 7 + 4 + 1);
}

TEST_F(TranspositionTable, ReplacementPrefersDepthOfTheCurrentSearch) {
    const uint32_t low = 77; // one bucket for all keys below
    t.store({WHITE, low, 1}, {8, 0, HASH_EXACT, 10, 0, 0, 3});
    t.store({WHITE, low, 2}, {4, 0, HASH_EXACT, 20, 0, 0, 3}); // shallower, same age: secondary
    EXPECT_EQ(t.readEntry({WHITE, low, 1}).score, 10);
    EXPECT_EQ(t.readEntry({WHITE, low, 2}).score, 20);
    EXPECT_EQ(probe(t, WHITE, low, 1, 8, 0, -100, 100).result, HASH_EXACT);

    t.store({WHITE, low, 3}, {2, 0, HASH_EXACT, 30, 0, 0, 4}); // older primary: replaced, moves to secondary
    EXPECT_EQ(t.readEntry({WHITE, low, 3}).score, 30);
    EXPECT_EQ(t.readEntry({WHITE, low, 1}).score, 10);
    EXPECT_EQ(t.readEntry({WHITE, low, 2}).keyLow, 0u) << "the old secondary is gone";

    t.store({WHITE, low, 3}, {1, 0, HASH_LOWER, 31, 0, 0, 5}); // same key: overwrites in place
    EXPECT_EQ(t.readEntry({WHITE, low, 3}).score, 31);
    EXPECT_EQ(t.readEntry({WHITE, low, 1}).score, 10) << "secondary untouched";
}

TEST_F(TranspositionTable, LearnedEntriesStayAgainstShallowerResults) {
    HashEntry learned{42, 1, 0x99, 55, 12, static_cast<uint8_t>(HASH_LEARNED | 0)};
    t.storeRaw(BLACK, learned);
    t.store({BLACK, 42, 2}, {3, 0, HASH_EXACT, 1, 0, 0, 9});
    EXPECT_EQ(t.readEntry({BLACK, 42, 1}).flags & HASH_LEARNED, HASH_LEARNED);
    EXPECT_EQ(t.readEntry({BLACK, 42, 2}).score, 1);
    t.clear();
    EXPECT_EQ(t.readEntry({BLACK, 42, 1}).keyLow, 0u);
}

TEST_F(TranspositionTable, SecondaryMatchReportsItsOwnScore) {
    t.store({WHITE, 5, 1}, {8, 0, HASH_EXACT, 10, 0x11, 0, 1}); // deep primary of this search
    t.store({WHITE, 5, 9}, {2, 0, HASH_EXACT, 80, 0x33, 0, 1}); // shallower: secondary
    HashEntry learned{5, 9, 0x44, 60, 1, static_cast<uint8_t>(HASH_LEARNED | 1)}; // upper bound 60
    t.storeRaw(WHITE, learned); // primary now has the same key
    const Probe p = probe(t, WHITE, 5, 9, 3, 0, -100, 100);
    EXPECT_EQ(p.result, HASH_AVOID_NULL) << "the primary's upper bound still says so";
    EXPECT_EQ(p.score, 80);
    EXPECT_EQ(p.move, 0x33u);
    EXPECT_EQ(t.hits, 1u) << "two matching entries count one hit";
}

namespace {

// Records the entry count asked for and fails, like a machine out of memory.
uint64_t requestedEntries = 0;
TableSlot* failingAllocator(uint64_t count) {
    requestedEntries = count;
    return nullptr;
}

} // namespace

TEST_F(TranspositionTable, FailedAllocationLeavesATableThatMissesEveryProbeAndStoresNothing) {
    t.store({WHITE, 5, 7}, {4, 0, HASH_EXACT, 33, 0x1234, 0, 0});
    t.entryAllocator = failingAllocator;
    EXPECT_EQ(allocate(t, 1),
              "Couldn't allocate memory for main hash table!\nmain cache     1 MB [16384 entries]\n");
    EXPECT_FALSE(t.allocated());
    EXPECT_EQ(t.bucketCount(), 0u);
    EXPECT_EQ(probe(t, WHITE, 5, 7, 0, 0, -100, 100).result, HASH_MISS) << "the old table is gone";

    t.store({WHITE, 5, 7}, {4, 0, HASH_EXACT, 33, 0x1234, 0, 0});
    t.storeRaw(BLACK, HashEntry{9, 9, 1, 2, 3, HASH_LEARNED});
    t.clear();
    const Probe p = probe(t, WHITE, 5, 7, 0, 0, -100, 100);
    EXPECT_EQ(p.result, HASH_MISS);
    EXPECT_EQ(p.move, NO_MOVE);
    EXPECT_EQ(t.readEntry({BLACK, 9, 9}).keyLow, 0u);
    EXPECT_EQ(t.probes, 2u) << "probes are still counted";
    EXPECT_EQ(t.hits, 0u);
}

namespace {
int allocations = 0;
TableSlot* countingAllocator(uint64_t count) {
    ++allocations;
    return MainHashTable::defaultEntryAllocator(count);
}
} // namespace

TEST(TranspositionTableSizing, TheSameSizeKeepsItsMemoryButNotItsEntries) {
    MainHashTable t;
    t.entryAllocator = countingAllocator;
    allocations = 0;
    allocate(t, 1);
    t.store({WHITE, 5, 7}, {4, 0, HASH_EXACT, 33, 0x1234, 0, 0});
    EXPECT_EQ(allocate(t, 1), "main cache     1 MB [16384 entries]\n");
    EXPECT_EQ(allocations, 1) << "the table of the same size is reused";
    EXPECT_EQ(probe(t, WHITE, 5, 7, 0, 0, -100, 100).result, HASH_MISS) << "and emptied";
    allocate(t, 2);
    EXPECT_EQ(allocations, 2);
    EXPECT_EQ(t.bucketCount(), 32768u);
    // Another allocator is always asked, as the tests of failure need.
    t.entryAllocator = failingAllocator;
    allocate(t, 2);
    EXPECT_FALSE(t.allocated());
}

TEST(TranspositionTableSizing, RequestsOf4096MegabytesAndMoreSizeWithoutOverflow) {
    MainHashTable t;
    t.entryAllocator = failingAllocator;
    const std::string failed = "Couldn't allocate memory for main hash table!\n";
    EXPECT_EQ(allocate(t, 4095), failed + "main cache 2.05e+03 MB [33554432 entries]\n");
    EXPECT_EQ(requestedEntries, 4u << 25);
    EXPECT_EQ(allocate(t, 4096), failed + "main cache 4.1e+03 MB [67108864 entries]\n");
    EXPECT_EQ(requestedEntries, 4u << 26);
    EXPECT_EQ(allocate(t, 8192), failed + "main cache 8.19e+03 MB [134217728 entries]\n");
    EXPECT_EQ(requestedEntries, uint64_t{4} << 27);
    // The bucket index has 32 bits: 2^32 buckets (256 GB) is the most asked for.
    allocate(t, 0xFFFFFFFFu);
    EXPECT_EQ(requestedEntries, uint64_t{4} << 32);
}
