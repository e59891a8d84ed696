// Learning: the store of searched positions, and game results written into the book.
#include "book/booktest.h"

namespace {

// A game at the initial position with a small transposition table and a
// learning store at `learnPath` (not yet opened).
std::unique_ptr<BookRig> learningEngine(const std::string& learnPath) {
    auto engine = std::make_unique<BookRig>();
    std::snprintf(engine->learnStore.path, sizeof engine->learnStore.path, "%s", learnPath.c_str());
    return engine;
}

// Stores a search result for the engine's position with the given score.
void storeRoot(BookRig& engine, int score, int depth = 7) {
    const Board& b = engine.board();
    engine.table.store({b.side, keyLow(b.key), keyHigh(b.key)},
                       {depth, 0, HASH_LOWER, score, buildMove(G1, F3, KNIGHT), 0, 3});
}

HashEntry entryOf(const MainHashTable& table, int side, uint64_t key) {
    return table.readEntry({side, keyLow(key), keyHigh(key)});
}

HashEntry storedRecord(const std::string& bytes, size_t index) {
    return decodeHashEntry(reinterpret_cast<const unsigned char*>(bytes.data()) + 8 + 16 * index);
}

uint32_t header(const std::string& bytes, int field) {
    return getU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * field);
}

// Wins, losses, draws and learning weight of the record of the position after
// `moves` in the book section.
std::tuple<int, int, int, int> counts(BookRig& engine, const std::vector<std::string>& moves, int section) {
    const uint64_t key = keyAfter(moves);
    BookRecord r{0, 0, 0, 0, 0, 0};
    EXPECT_NE(engine.book.lookup(keyLow(key), keyHigh(key), section, r), 0);
    return {r.wins, r.losses, r.draws, r.learn};
}

const std::vector<std::string> RUY_LOPEZ = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6"};
// The positions of RUY_LOPEZ that black's moves reached.
const std::vector<std::string> BLACK_PLIES[] = {{"e4", "e5"}, {"e4", "e5", "Nf3", "Nc6"}, RUY_LOPEZ};

// A book with positions of 1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 in both sections.
struct ResultFixture : BookOnDisk {
    ResultFixture()
        : BookOnDisk({recordAfter({"e4"}, 5, 0, 0, 100), recordAfter({"e4", "e5", "Nf3"}, 0, 0, 0, 120),
                      recordAfter({"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0, 0, 0, 100),
                      recordAfter({"d4"}, 0, 0, 0, 100)},
                     {recordAfter(BLACK_PLIES[0], 0, 0, 0, 100), recordAfter(BLACK_PLIES[1], 0, 0, 0, 100),
                      recordAfter(BLACK_PLIES[2], 0, 0, 0, 100)}) {}
};

} // namespace

TEST(LearnFile, AMissingStoreIsCreatedEmptyThenKeepsPositionsForTheRightHalfOfTheBucket) {
    TempDir dir;
    EXPECT_EQ(learningEngine(dir.path("no-such-dir/learn.dat"))->learnStore.open(), 0);
    auto engine = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(engine->learnStore.open(), 1);
    EXPECT_EQ(dir.read("learn.dat"), std::string(8, '\0'));
    // A new store is open for reading too: it can be loaded at once.
    EXPECT_EQ(captureOutput([&] { engine->learnStore.load(engine->table, engine->out); }),
              "0 learned positions\n");

    // Nothing in the table for the root: nothing learned.
    engine->learnStore.learnPosition(engine->position, engine->table);
    EXPECT_EQ(engine->learnStore.count(), 0u);

    const uint64_t start = keyAfter({}), afterE4 = keyAfter({"e4"});
    storeRoot(*engine, 35);
    const HashEntry white = entryOf(engine->table, WHITE, start);
    engine->learnStore.learnPosition(engine->position, engine->table);
    ASSERT_TRUE(playMoves(engine->position, {"e4"}));
    storeRoot(*engine, -20);
    HashEntry black = entryOf(engine->table, BLACK, afterE4);
    // A black entry that carries bit 7 (as a learned one does) is stored with it clear.
    black.flags |= HASH_LEARNED;
    engine->table.storeRaw(BLACK, black);
    engine->learnStore.learnPosition(engine->position, engine->table);
    EXPECT_EQ(engine->learnStore.count(), 2u);

    const std::string bytes = dir.read("learn.dat");
    ASSERT_EQ(bytes.size(), 8u + 2 * 16);
    EXPECT_EQ(std::pair(header(bytes, 0), header(bytes, 1)), std::pair(2u, 0u)); // count, wrapped
    const HashEntry first = storedRecord(bytes, 0), second = storedRecord(bytes, 1);
    EXPECT_EQ(std::tuple(first.keyLow, first.keyHigh, first.move, first.score, first.depth, first.flags),
              std::tuple(white.keyLow, white.keyHigh, white.move, int32_t{35}, uint8_t{7},
                         uint8_t(white.flags | 0x80)));
    EXPECT_EQ(second.score, -20);
    EXPECT_EQ(second.flags, black.flags & 0x7F);

    // A new engine loads both, marked learned, each in its own side's half.
    auto next = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(next->learnStore.open(), 1);
    EXPECT_EQ(captureOutput([&] { next->learnStore.load(next->table, next->out); }), "2 learned positions\n");
    const HashEntry loadedWhite = entryOf(next->table, WHITE, start);
    EXPECT_EQ(loadedWhite.score, 35);
    EXPECT_EQ(loadedWhite.flags, white.flags | HASH_LEARNED);
    EXPECT_EQ(entryOf(next->table, BLACK, start).keyLow, 0u);
    const HashEntry loadedBlack = entryOf(next->table, BLACK, afterE4);
    EXPECT_EQ(loadedBlack.score, -20);
    EXPECT_EQ(loadedBlack.flags, black.flags);
    EXPECT_EQ(entryOf(next->table, WHITE, afterE4).keyLow, 0u);
}

TEST(LearnFile, TheRingHolds5001EntriesAndWrapsToTheStart) {
    TempDir dir;
    auto engine = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(engine->learnStore.open(), 1);
    auto learn = [&](int score) {
        storeRoot(*engine, score);
        engine->learnStore.learnPosition(engine->position, engine->table);
    };
    auto load = [&] { return captureOutput([&] { engine->learnStore.load(engine->table, engine->out); }); };
    for (int i = 0; i < 5001; ++i) learn(i);
    EXPECT_EQ(std::pair(engine->learnStore.count(), engine->learnStore.wrapped()), std::pair(5001u, 0u));
    EXPECT_EQ(load(), "5001 learned positions\n");

    // The 5002nd write goes to the first place, and the ring is marked wrapped.
    learn(7777);
    EXPECT_EQ(std::pair(engine->learnStore.count(), engine->learnStore.wrapped()), std::pair(1u, 1u));
    const std::string bytes = dir.read("learn.dat");
    ASSERT_EQ(bytes.size(), 8u + 5001 * 16);
    EXPECT_EQ(std::pair(header(bytes, 0), header(bytes, 1)), std::pair(1u, 1u));
    EXPECT_EQ(storedRecord(bytes, 0).score, 7777);
    EXPECT_EQ(storedRecord(bytes, 1).score, 1);
    EXPECT_EQ(storedRecord(bytes, 5000).score, 5000);
    // A wrapped ring is full: every one of its 5001 entries is loaded.
    EXPECT_EQ(load(), "5001 learned positions\n");
    engine->learnStore.close();

    // A store reopened later carries on where the header says.
    auto reopened = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(reopened->learnStore.open(), 1);
    EXPECT_EQ(std::pair(reopened->learnStore.count(), reopened->learnStore.wrapped()), std::pair(1u, 1u));
}

TEST(ResultLearning, AWinRaisesTheEnginesOwnPositionsByOneFifth) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    // The engine's moves reached plies 1, 3 and 5.
    EXPECT_EQ(counts(engine, {"e4"}, 0), std::tuple(6, 0, 0, 120));
    EXPECT_EQ(counts(engine, {"e4", "e5", "Nf3"}, 0), std::tuple(1, 0, 0, 144));
    EXPECT_EQ(counts(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0), std::tuple(1, 0, 0, 120));
    // The opponent's positions and positions of other games stay as they were.
    for (const auto& moves : BLACK_PLIES) EXPECT_EQ(counts(engine, moves, 1), std::tuple(0, 0, 0, 100));
    EXPECT_EQ(counts(engine, {"d4"}, 0), std::tuple(0, 0, 0, 100));
}

TEST(ResultLearning, ALossLowersByTheFactorPoint833AndTheLastPositionIsNotLearned) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    // The game ends right after the engine's Bb5: that final position is not looked at.
    ASSERT_TRUE(playMoves(engine.position, {"e4", "e5", "Nf3", "Nc6", "Bb5"}));
    engine.book.learnFromResult(engine.position, 2, WHITE);
    EXPECT_EQ(counts(engine, {"e4"}, 0), std::tuple(5, 1, 0, 83));
    EXPECT_EQ(counts(engine, {"e4", "e5", "Nf3"}, 0), std::tuple(0, 1, 0, 99)); // 120 x 0.833 = 99.96
    EXPECT_EQ(counts(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0), std::tuple(0, 0, 0, 100));
}

TEST(ResultLearning, ADrawWithTheEnginePlayingBlackCountsInTheBlackSectionOnly) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    ASSERT_TRUE(playMoves(engine.position, {"Ba4"}));
    engine.book.learnFromResult(engine.position, 3, BLACK);
    for (const auto& moves : BLACK_PLIES) EXPECT_EQ(counts(engine, moves, 1), std::tuple(0, 0, 1, 100));
    EXPECT_EQ(counts(engine, {"e4"}, 0), std::tuple(5, 0, 0, 100));

    // Black's win is a white-won result exchanged: learn rises for black's positions.
    engine.book.learnFromResult(engine.position, 2, BLACK);
    EXPECT_EQ(counts(engine, {"e4", "e5"}, 1), std::tuple(1, 0, 1, 120));
}

TEST(ResultLearning, AnOpponentsPositionIsNotLearnedEvenWhenTheEnginesSectionHoldsItsKey) {
    // 1. e3 Nf6 2. e4 and 1. e4 Nf6 reach the same placement: the first by a
    // white move, the second by a black one. After 1. e4 Nf6 the white section
    // holds that key, but the engine (white) did not reach it.
    ASSERT_EQ(keyAfter({"e3", "Nf6", "e4"}), keyAfter({"e4", "Nf6"}));
    BookOnDisk book({recordAfter({"e3", "Nf6", "e4"}, 0, 0, 0), recordAfter({"e4", "Nf6", "Nc3"}, 0, 0, 0)},
                    {});
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, {"e4", "Nf6", "Nc3", "d6"}));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    EXPECT_EQ(counts(engine, {"e4", "Nf6"}, 0), std::tuple(0, 0, 0, 100));
    EXPECT_EQ(counts(engine, {"e4", "Nf6", "Nc3"}, 0), std::tuple(1, 0, 0, 120));
}

TEST(ResultLearning, GamesFromASetUpPositionAndUnknownResultsChangeNothing) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    const std::string before = book.dir.read("book.dat");
    // The initial placement, but set up without castling rights: another position.
    ASSERT_EQ(engine.board().readFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - -"), 1);
    engine.position.resetHistory();
    ASSERT_TRUE(playMoves(engine.position, {"e4", "e5", "Nf3"}));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    EXPECT_EQ(book.dir.read("book.dat"), before);

    engine.newGame();
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    engine.book.learnFromResult(engine.position, 0, WHITE);
    EXPECT_EQ(book.dir.read("book.dat"), before);
}

TEST(ResultLearning, CountersAndWeightsStopAtTheirLargestValue) {
    BookOnDisk book({recordAfter({"e4"}, 65535, 0, 0, 60000)}, {});
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, {"e4", "e5"}));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    EXPECT_EQ(counts(engine, {"e4"}, 0), std::tuple(65535, 0, 0, 65535));
}
