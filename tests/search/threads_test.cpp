// Searches on several threads: the helpers share the main search's table and
// must neither change what the main search is allowed to play nor outlive it.
// The ThreadSanitizer build runs every test whose name starts with "Threads".
#include <algorithm>
#include <thread>

#include "search/helpers.h"
#include "searchtest.h"

namespace {

struct Helpers {
    HelperThreads threads;
    Helpers(SearchRig& rig, int count) : threads(rig.table) {
        threads.setCount(count, rig.evaluator.caches());
        inside(rig.search).helpers = &threads;
    }
};

struct StopAfterPolls : SearchListener {
    int pollsLeft;
    explicit StopAfterPolls(int polls) : pollsLeft(polls) {}
    void poll(Search& s) override {
        if (--pollsLeft <= 0) s.stop();
    }
};

} // namespace

TEST(ThreadsSearch, StopReachesEveryHelperAndSearchesStartAgain) {
    auto rig = searchAt("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -", 60);
    HelperThreads helpers(rig->table);
    inside(rig->search).helpers = &helpers;
    rig->search.time.mode = TimeMode::Infinite;
    // Start and stop many times, with the number of helpers changing between
    // searches; the sanitizer builds see any thread or memory left behind.
    for (int round = 0; round < 24; ++round) {
        helpers.setCount(1 + round % 3, rig->evaluator.caches());
        StopAfterPolls listener(1 + round % 4);
        rig->search.setListener(listener);
        const Move best = rig->search.think();
        EXPECT_TRUE(isLegalIn(rig->position, best)) << "round " << round;
        EXPECT_LE(listener.pollsLeft, 0) << "the search ran until it was told to stop";
        EXPECT_EQ(helpers.busyMoves().busyCount(), 0) << "a stopped thread left a move marked busy";
        // Once stopped, the helpers' counts are final.
        const uint64_t total = rig->search.totalNodes();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(rig->search.totalNodes(), total);
    }
}

// A fixed-depth search on any number of helpers plays a legal move (the mate,
// where there is one in one), leaves the root as it was and counts the helpers'
// nodes with its own. Where it has a choice and no mate, it ends with a
// completed iteration of that depth, its own or a helper's, and a legal line
// from the root; a search that follows on the same helpers is not ended early
// by what they reached in the last one.
TEST(ThreadsSearch, EverySearchCompletesItsDepthWithALegalLine) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
        "6k1/5ppp/8/8/8/8/8/R5K1 w - -", // mate in one
        "7k/8/8/8/8/8/1q6/K7 w - -",     // one legal move
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    };
    const int depth = kSlowBuild ? 5 : 7;
    for (const char* fen : fens) {
        const bool mateInOne = fen == fens[3];
        const bool oneLegalMove = legalMoves(*positionAt(fen)).size() == 1;
        auto rig = searchAt(fen, depth);
        Helpers helpers(*rig, 1);
        // The second search follows on the same helper and table; the others start afresh.
        for (const int helperCount : {1, 1, 2, 3}) {
            if (helperCount != helpers.threads.count()) {
                helpers.threads.setCount(helperCount, rig->evaluator.caches());
                rig->table.clear();
            }
            const Move best = rig->search.think();
            EXPECT_TRUE(isLegalIn(rig->position, best)) << helperCount << " helpers: " << fen;
            EXPECT_EQ(rig->board().fen(), positionAt(fen)->board.fen()) << "the root is left as it was";
            EXPECT_GE(rig->search.totalNodes(), inside(rig->search).stats.nodes);
            EXPECT_TRUE(!mateInOne || coord(best) == "a1a8") << "the mate, whatever the helpers store";
            if (mateInOne || oneLegalMove) continue;
            EXPECT_EQ(inside(rig->search).completedIteration, depth)
                << fen << " with " << helperCount << " helpers";
            const PlyRecord& root = rig->search.ply(0);
            ASSERT_GE(root.pvEnd, 1);
            EXPECT_TRUE(sameMove(root.pv[0], best)) << "the move played heads the line";
            auto line = positionAt(fen);
            for (int i = 0; i < root.pvEnd; ++i) {
                ASSERT_TRUE(isLegalIn(*line, root.pv[i])) << fen << " line move " << i;
                line->pushMove(root.pv[i]);
            }
        }
    }
}

TEST(ThreadsSearch, ANodeLimitStopsTheHelpersToo) {
    auto rig = searchAt("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 60);
    Helpers helpers(*rig, 2);
    rig->search.time.nodeLimit = 20000;
    EXPECT_TRUE(isLegalIn(rig->position, rig->search.think()));
    EXPECT_LT(inside(rig->search).stats.nodes, 20000u + 9000u);
}

// The table's entries as the table sees them, through an allocator that
// remembers where it put them.
namespace {
TableSlot* lastSlots = nullptr;
TableSlot* rememberingAllocator(uint64_t count) {
    lastSlots = MainHashTable::defaultEntryAllocator(count);
    return lastSlots;
}
} // namespace

TEST(ThreadsTable, AnEntryWhoseHalvesComeFromTwoWritesIsNeverTrusted) {
    MainHashTable table;
    table.entryAllocator = rememberingAllocator;
    table.mainHashMB = 1;
    table.allocate();
    const uint64_t key = 0x0123456789abcdefULL;
    table.store({WHITE, keyLow(key), keyHigh(key)}, {5, 0, HASH_EXACT, 77, NO_MOVE, 0, 0});
    ASSERT_EQ(table.readEntry({WHITE, keyLow(key), keyHigh(key)}).score, 77);

    // Another thread's data word lands beside this entry's key word.
    TableSlot* slot = std::find_if(lastSlots, lastSlots + table.bucketCount() * 4,
                                   [](const TableSlot& s) { return s.keyWord != 0 || s.data != 0; });
    ASSERT_NE(slot, lastSlots + table.bucketCount() * 4);
    slot->data ^= uint64_t{123} << 32;
    EXPECT_EQ(table.probe({WHITE, keyLow(key), keyHigh(key)}, {5, 0, -1000, 1000, 0}).result, HASH_MISS);
    EXPECT_NE(table.readEntry({WHITE, keyLow(key), keyHigh(key)}).score, 77);
}

TEST(ThreadsTable, ConcurrentStoresAndProbesNeverMixTwoPositions) {
    MainHashTable table;
    table.mainHashMB = 1;
    table.allocate();
    // Every position's entry carries a score and depth derived from its key, so
    // a hit with anything else is an entry made of two writes.
    auto scoreOf = [](uint64_t key) { return static_cast<int>(key % 2001) - 1000; };
    auto depthOf = [](uint64_t key) { return static_cast<int>(key >> 59) + 1; };
    std::atomic<int> mixed{0}, hits{0};
    auto work = [&](int seed) {
        uint64_t state = 0x9e3779b97f4a7c15ULL * (seed + 1);
        for (int i = 0; i < 200000; ++i) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            // Few keys, many collisions in few buckets.
            const uint64_t key = (state % 512 + 1) * 0x9e3779b97f4a7c15ULL;
            if (i % 2 == 0) {
                table.store({WHITE, keyLow(key), keyHigh(key)},
                            {depthOf(key), 0, HASH_EXACT, scoreOf(key), NO_MOVE, 0, 0});
            } else {
                const HashEntry e = table.readEntry({WHITE, keyLow(key), keyHigh(key)});
                if (e.keyLow != keyLow(key) || e.keyHigh != keyHigh(key)) continue;
                ++hits;
                if (e.score != scoreOf(key) || e.depth != depthOf(key)) ++mixed;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work, t);
    for (auto& t : threads) t.join();
    EXPECT_GT(hits.load(), 0);
    EXPECT_EQ(mixed.load(), 0);
}
