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
    engine.table.store(b.side, keyLowOf(b.key), keyHighOf(b.key), depth, 0, HASH_LOWER, score,
                       buildMove(G1, F3, KNIGHT), 0, 3);
}

HashEntry storedRecord(const std::string& bytes, size_t index) {
    return decodeHashEntry(reinterpret_cast<const unsigned char*>(bytes.data()) + 8 + 16 * index);
}

uint32_t header(const std::string& bytes, int field) {
    return getU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * field);
}

BookRecord lookup(BookRig& engine, const std::vector<std::string>& moves, int section) {
    const uint64_t key = keyAfter(moves);
    BookRecord r{0, 0, 0, 0, 0, 0};
    EXPECT_NE(engine.book.lookup(keyLowOf(key), keyHighOf(key), section, r), 0);
    return r;
}

const std::vector<std::string> RUY_LOPEZ = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6"};

// A book with positions of 1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 in both sections.
struct ResultFixture : BookOnDisk {
    ResultFixture()
        : BookOnDisk({recordAfter({"e4"}, 5, 0, 0, 100), recordAfter({"e4", "e5", "Nf3"}, 0, 0, 0, 120),
                      recordAfter({"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0, 0, 0, 100), recordAfter({"d4"}, 0, 0, 0, 100)},
                     {recordAfter({"e4", "e5"}, 0, 0, 0, 100), recordAfter({"e4", "e5", "Nf3", "Nc6"}, 0, 0, 0, 100),
                      recordAfter(RUY_LOPEZ, 0, 0, 0, 100)}) {}
};

} // namespace

TEST(LearnFile, AMissingStoreIsCreatedEmptyAndCanBeLoadedAtOnce) {
    ScratchDir dir;
    auto engine = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(engine->learnStore.open(), 1);
    EXPECT_EQ(readBytes(dir.path("learn.dat")), std::string(8, '\0'));
    EXPECT_EQ(captureOutput([&] { engine->learnStore.load(engine->table, engine->out); }),
              "0 learned positions\n");
    engine->learnStore.close();

    auto nowhere = learningEngine(dir.path("no-such-dir/learn.dat"));
    EXPECT_EQ(nowhere->learnStore.open(), 0);
}

TEST(LearnFile, PositionsAreStoredWithTheirSideAndReloadIntoTheRightHalfOfTheBucket) {
    ScratchDir dir;
    const std::string path = dir.path("learn.dat");
    auto engine = learningEngine(path);
    ASSERT_EQ(engine->learnStore.open(), 1);

    // Nothing in the table for the root: nothing learned.
    engine->learnStore.learnPosition(engine->position, engine->table);
    EXPECT_EQ(engine->learnStore.count(), 0u);

    storeRoot(*engine, 35);
    const HashEntry white =
        engine->table.readEntry(WHITE, keyLowOf(engine->board().key), keyHighOf(engine->board().key));
    engine->learnStore.learnPosition(engine->position, engine->table);
    ASSERT_TRUE(playMoves(engine->position, {"e4"}));
    storeRoot(*engine, -20);
    HashEntry black =
        engine->table.readEntry(BLACK, keyLowOf(engine->board().key), keyHighOf(engine->board().key));
    // A black entry that carries bit 7 (as a learned one does) is stored with it clear.
    black.flags |= HASH_LEARNED;
    engine->table.storeRaw(BLACK, black);
    engine->learnStore.learnPosition(engine->position, engine->table);
    EXPECT_EQ(engine->learnStore.count(), 2u);

    const std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8u + 2 * 16);
    EXPECT_EQ(header(bytes, 0), 2u);
    EXPECT_EQ(header(bytes, 1), 0u);
    const HashEntry first = storedRecord(bytes, 0), second = storedRecord(bytes, 1);
    EXPECT_EQ(std::tuple(first.keyLow, first.keyHigh, first.move, first.score, first.depth, first.flags),
              std::tuple(white.keyLow, white.keyHigh, white.move, int32_t{35}, uint8_t{7}, uint8_t(white.flags | 0x80)));
    EXPECT_EQ(second.score, -20);
    EXPECT_EQ(second.flags, black.flags & 0x7F);

    // A new engine loads both, marked learned, each in its own side's half.
    auto next = learningEngine(path);
    ASSERT_EQ(next->learnStore.open(), 1);
    EXPECT_EQ(captureOutput([&] { next->learnStore.load(next->table, next->out); }), "2 learned positions\n");
    const uint64_t start = keyAfter({}), afterE4 = keyAfter({"e4"});
    const HashEntry loadedWhite = next->table.readEntry(WHITE, keyLowOf(start), keyHighOf(start));
    EXPECT_EQ(loadedWhite.score, 35);
    EXPECT_EQ(loadedWhite.flags, white.flags | HASH_LEARNED);
    EXPECT_EQ(next->table.readEntry(BLACK, keyLowOf(start), keyHighOf(start)).keyLow, 0u);
    const HashEntry loadedBlack = next->table.readEntry(BLACK, keyLowOf(afterE4), keyHighOf(afterE4));
    EXPECT_EQ(loadedBlack.score, -20);
    EXPECT_EQ(loadedBlack.flags, black.flags);
    EXPECT_EQ(next->table.readEntry(WHITE, keyLowOf(afterE4), keyHighOf(afterE4)).keyLow, 0u);
    next->learnStore.close();
    engine->learnStore.close();
}

TEST(LearnFile, TheRingHolds5001EntriesAndWrapsToTheStart) {
    ScratchDir dir;
    const std::string path = dir.path("learn.dat");
    auto engine = learningEngine(path);
    ASSERT_EQ(engine->learnStore.open(), 1);
    for (int i = 0; i < 5001; ++i) {
        storeRoot(*engine, i);
        engine->learnStore.learnPosition(engine->position, engine->table);
    }
    EXPECT_EQ(engine->learnStore.count(), 5001u);
    EXPECT_EQ(engine->learnStore.wrapped(), 0u);
    EXPECT_EQ(captureOutput([&] { engine->learnStore.load(engine->table, engine->out); }),
              "5001 learned positions\n");

    // The 5002nd write goes to the first place, and the ring is marked wrapped.
    storeRoot(*engine, 7777);
    engine->learnStore.learnPosition(engine->position, engine->table);
    EXPECT_EQ(engine->learnStore.count(), 1u);
    EXPECT_EQ(engine->learnStore.wrapped(), 1u);
    const std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8u + 5001 * 16);
    EXPECT_EQ(header(bytes, 0), 1u);
    EXPECT_EQ(header(bytes, 1), 1u);
    EXPECT_EQ(storedRecord(bytes, 0).score, 7777);
    EXPECT_EQ(storedRecord(bytes, 1).score, 1);
    EXPECT_EQ(storedRecord(bytes, 5000).score, 5000);
    // A wrapped ring is full: every one of its 5001 entries is loaded.
    EXPECT_EQ(captureOutput([&] { engine->learnStore.load(engine->table, engine->out); }),
              "5001 learned positions\n");
    engine->learnStore.close();

    // A store reopened later carries on where the header says.
    auto reopened = learningEngine(path);
    ASSERT_EQ(reopened->learnStore.open(), 1);
    EXPECT_EQ(reopened->learnStore.count(), 1u);
    EXPECT_EQ(reopened->learnStore.wrapped(), 1u);
    reopened->learnStore.close();
}

TEST(ResultLearning, AWinRaisesTheEnginesOwnPositionsByOneFifth) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    // The engine's moves reached plies 1, 3 and 5.
    EXPECT_EQ(lookup(engine, {"e4"}, 0).wins, 6);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).learn, 120);
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3"}, 0).learn, 144);
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0).wins, 1);
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0).learn, 120);
    // The opponent's positions and positions of other games stay as they were.
    for (const auto& moves : {std::vector<std::string>{"e4", "e5"}, {"e4", "e5", "Nf3", "Nc6"}, RUY_LOPEZ}) {
        const BookRecord r = lookup(engine, moves, 1);
        EXPECT_TRUE(r.wins == 0 && r.losses == 0 && r.draws == 0 && r.learn == 100);
    }
    EXPECT_EQ(lookup(engine, {"d4"}, 0).learn, 100);
}

TEST(ResultLearning, ALossLowersByTheFactorPoint833AndTheLastPositionIsNotLearned) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    // The game ends right after the engine's Bb5: that final position is not looked at.
    ASSERT_TRUE(playMoves(engine.position, {"e4", "e5", "Nf3", "Nc6", "Bb5"}));
    engine.book.learnFromResult(engine.position, 2, WHITE);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).losses, 1);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).learn, 83);
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3"}, 0).learn, 99); // 120 x 0.833 = 99.96
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0).losses, 0);
}

TEST(ResultLearning, ADrawWithTheEnginePlayingBlackCountsInTheBlackSectionOnly) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    ASSERT_TRUE(playMoves(engine.position, {"Ba4"}));
    engine.book.learnFromResult(engine.position, 3, BLACK);
    for (const auto& moves : {std::vector<std::string>{"e4", "e5"}, {"e4", "e5", "Nf3", "Nc6"}, RUY_LOPEZ}) {
        const BookRecord r = lookup(engine, moves, 1);
        EXPECT_EQ(r.draws, 1);
        EXPECT_EQ(r.learn, 100);
    }
    EXPECT_EQ(lookup(engine, {"e4"}, 0).draws, 0);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).wins, 5);

    // Black's win is a white-won result exchanged: learn rises for black's positions.
    engine.book.learnFromResult(engine.position, 2, BLACK);
    EXPECT_EQ(lookup(engine, {"e4", "e5"}, 1).wins, 1);
    EXPECT_EQ(lookup(engine, {"e4", "e5"}, 1).learn, 120);
}

TEST(ResultLearning, AnOpponentsPositionIsNotLearnedEvenWhenTheEnginesSectionHoldsItsKey) {
    // 1. e3 Nf6 2. e4 and 1. e4 Nf6 reach the same placement: the first by a
    // white move, the second by a black one. After 1. e4 Nf6 the white section
    // holds that key, but the engine (white) did not reach it.
    ASSERT_EQ(keyAfter({"e3", "Nf6", "e4"}), keyAfter({"e4", "Nf6"}));
    BookOnDisk book({recordAfter({"e3", "Nf6", "e4"}, 0, 0, 0), recordAfter({"e4", "Nf6", "Nc3"}, 0, 0, 0)}, {});
    auto& engine = book.engine;
    ASSERT_TRUE(playMoves(engine->position, {"e4", "Nf6", "Nc3", "d6"}));
    engine->book.learnFromResult(engine->position, 1, WHITE);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6"}, 0).wins, 0);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6"}, 0).learn, 100);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6", "Nc3"}, 0).wins, 1);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6", "Nc3"}, 0).learn, 120);
}

TEST(ResultLearning, GamesFromASetUpPositionAndUnknownResultsChangeNothing) {
    ResultFixture book;
    BookRig& engine = *book.engine;
    const std::string before = readBytes(book.dir.path("book.dat"));
    // The initial placement, but set up without castling rights: another position.
    ASSERT_EQ(engine.board().readFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - -"), 1);
    engine.position.resetHistory();
    ASSERT_TRUE(playMoves(engine.position, {"e4", "e5", "Nf3"}));
    engine.book.learnFromResult(engine.position, 1, WHITE);
    EXPECT_EQ(readBytes(book.dir.path("book.dat")), before);

    engine.newGame();
    ASSERT_TRUE(playMoves(engine.position, RUY_LOPEZ));
    engine.book.learnFromResult(engine.position, 0, WHITE);
    EXPECT_EQ(readBytes(book.dir.path("book.dat")), before);
}

TEST(ResultLearning, CountersAndWeightsStopAtTheirLargestValue) {
    BookOnDisk book({recordAfter({"e4"}, 65535, 0, 0, 60000)}, {});
    auto& engine = book.engine;
    ASSERT_TRUE(playMoves(engine->position, {"e4", "e5"}));
    engine->book.learnFromResult(engine->position, 1, WHITE);
    EXPECT_EQ(lookup(*engine, {"e4"}, 0).wins, 65535);
    EXPECT_EQ(lookup(*engine, {"e4"}, 0).learn, 65535);
}
