// Learning: the store of searched positions, and game results written into the book.
#include "book/booktest.h"

namespace {

// An engine with a small transposition table and learning on, using `learnPath`.
std::unique_ptr<Engine> learningEngine(const std::string& learnPath) {
    auto engine = std::make_unique<Engine>();
    engine->hashTable.mainHashMB = 1;
    captureOutput([&] { engine->hashTable.allocate(); });
    std::snprintf(engine->learnPath, sizeof engine->learnPath, "%s", learnPath.c_str());
    engine->newGame();
    return engine;
}

// Stores a search result for the engine's position with the given score.
void storeRoot(Engine& engine, int score, int depth = 7) {
    const Board& b = engine.board;
    engine.hashTable.store(b.side, keyLowOf(b.key), keyHighOf(b.key), depth, 0, HASH_LOWER, score,
                           buildMove(G1, F3, KNIGHT), 0, 3);
}

HashEntry storedRecord(const std::string& bytes, size_t index) {
    return decodeHashEntry(reinterpret_cast<const unsigned char*>(bytes.data()) + 8 + 16 * index);
}

uint32_t header(const std::string& bytes, int field) {
    return getU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * field);
}

BookRecord recordAfter(const std::vector<std::string>& moves, uint16_t wins, uint16_t losses, uint16_t draws,
                       uint16_t learn) {
    const uint64_t key = keyAfter(moves);
    return BookRecord{keyLowOf(key), keyHighOf(key), wins, losses, draws, learn};
}

BookRecord lookup(Engine& engine, const std::vector<std::string>& moves, int section) {
    const uint64_t key = keyAfter(moves);
    BookRecord r{0, 0, 0, 0, 0, 0};
    EXPECT_NE(engine.lookupBook(keyLowOf(key), keyHighOf(key), section, r), 0);
    return r;
}

std::vector<BookRecord> sortedByKey(std::vector<BookRecord> records) {
    std::sort(records.begin(), records.end(),
              [](const BookRecord& a, const BookRecord& b) { return bookKey(a) < bookKey(b); });
    return records;
}

// A book with positions of 1. e4 e5 2. Nf3 Nc6 3. Bb5 in both sections.
const std::vector<std::string> RUY_LOPEZ = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6"};

struct ResultFixture {
    ScratchDir dir;
    std::unique_ptr<Engine> engine;

    ResultFixture() {
        writeBookRecords(
            dir.path("book.dat"),
            sortedByKey({recordAfter({"e4"}, 5, 0, 0, 100), recordAfter({"e4", "e5", "Nf3"}, 0, 0, 0, 120),
                         recordAfter({"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0, 0, 0, 100),
                         recordAfter({"d4"}, 0, 0, 0, 100)}),
            sortedByKey({recordAfter({"e4", "e5"}, 0, 0, 0, 100),
                         recordAfter({"e4", "e5", "Nf3", "Nc6"}, 0, 0, 0, 100),
                         recordAfter(RUY_LOPEZ, 0, 0, 0, 100)}));
        engine = bookEngine(dir.path("book.dat"));
        captureOutput([&] { engine->loadBook(dir.path("book.dat").c_str()); });
    }
    ~ResultFixture() { engine->closeBook(); }
};

} // namespace

TEST(LearnFile, AMissingStoreIsCreatedEmptyAndCanBeLoadedAtOnce) {
    ScratchDir dir;
    auto engine = learningEngine(dir.path("learn.dat"));
    ASSERT_EQ(engine->openLearnFile(), 1);
    EXPECT_EQ(readBytes(dir.path("learn.dat")), std::string(8, '\0'));
    EXPECT_EQ(captureOutput([&] { engine->loadLearned(); }), "0 learned positions\n");
    engine->closeLearnFile();

    auto nowhere = learningEngine(dir.path("no-such-dir/learn.dat"));
    EXPECT_EQ(nowhere->openLearnFile(), 0);
}

TEST(LearnFile, PositionsAreStoredWithTheirSideAndReloadIntoTheRightHalfOfTheBucket) {
    ScratchDir dir;
    const std::string path = dir.path("learn.dat");
    auto engine = learningEngine(path);
    ASSERT_EQ(engine->openLearnFile(), 1);

    // Nothing in the table for the root: nothing learned.
    engine->learnPosition();
    EXPECT_EQ(engine->learnCount, 0u);

    storeRoot(*engine, 35);
    const HashEntry white =
        engine->hashTable.readEntry(WHITE, keyLowOf(engine->board.key), keyHighOf(engine->board.key));
    engine->learnPosition();
    ASSERT_TRUE(playMoves(*engine, {"e4"}));
    storeRoot(*engine, -20);
    HashEntry black =
        engine->hashTable.readEntry(BLACK, keyLowOf(engine->board.key), keyHighOf(engine->board.key));
    // A black entry that carries bit 7 (as a learned one does) is stored with it clear.
    black.flags |= HASH_LEARNED;
    engine->hashTable.storeRaw(BLACK, black);
    engine->learnPosition();
    EXPECT_EQ(engine->learnCount, 2u);

    const std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8u + 2 * 16);
    EXPECT_EQ(header(bytes, 0), 2u);
    EXPECT_EQ(header(bytes, 1), 0u);
    const HashEntry first = storedRecord(bytes, 0), second = storedRecord(bytes, 1);
    EXPECT_EQ(first.keyLow, white.keyLow);
    EXPECT_EQ(first.keyHigh, white.keyHigh);
    EXPECT_EQ(first.move, white.move);
    EXPECT_EQ(first.score, 35);
    EXPECT_EQ(first.depth, 7);
    EXPECT_EQ(first.flags, white.flags | 0x80);
    EXPECT_EQ(second.score, -20);
    EXPECT_EQ(second.flags, black.flags & 0x7F);

    // A new engine loads both, marked learned, each in its own side's half.
    auto next = learningEngine(path);
    ASSERT_EQ(next->openLearnFile(), 1);
    next->useLearn = true;
    EXPECT_EQ(captureOutput([&] { next->newGame(); }), "2 learned positions\n");
    const uint64_t start = keyAfter({}), afterE4 = keyAfter({"e4"});
    const HashEntry loadedWhite = next->hashTable.readEntry(WHITE, keyLowOf(start), keyHighOf(start));
    EXPECT_EQ(loadedWhite.score, 35);
    EXPECT_EQ(loadedWhite.flags, white.flags | HASH_LEARNED);
    EXPECT_EQ(next->hashTable.readEntry(BLACK, keyLowOf(start), keyHighOf(start)).keyLow, 0u);
    const HashEntry loadedBlack = next->hashTable.readEntry(BLACK, keyLowOf(afterE4), keyHighOf(afterE4));
    EXPECT_EQ(loadedBlack.score, -20);
    EXPECT_EQ(loadedBlack.flags, black.flags);
    EXPECT_EQ(next->hashTable.readEntry(WHITE, keyLowOf(afterE4), keyHighOf(afterE4)).keyLow, 0u);
    next->closeLearnFile();
    engine->closeLearnFile();
}

TEST(LearnFile, TheRingHolds5001EntriesAndWrapsToTheStart) {
    ScratchDir dir;
    const std::string path = dir.path("learn.dat");
    auto engine = learningEngine(path);
    ASSERT_EQ(engine->openLearnFile(), 1);
    for (int i = 0; i < 5001; ++i) {
        storeRoot(*engine, i);
        engine->learnPosition();
    }
    EXPECT_EQ(engine->learnCount, 5001u);
    EXPECT_EQ(engine->learnWrapped, 0u);
    EXPECT_EQ(captureOutput([&] { engine->loadLearned(); }), "5001 learned positions\n");

    // The 5002nd write goes to the first place, and the ring is marked wrapped.
    storeRoot(*engine, 7777);
    engine->learnPosition();
    EXPECT_EQ(engine->learnCount, 1u);
    EXPECT_EQ(engine->learnWrapped, 1u);
    const std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8u + 5001 * 16);
    EXPECT_EQ(header(bytes, 0), 1u);
    EXPECT_EQ(header(bytes, 1), 1u);
    EXPECT_EQ(storedRecord(bytes, 0).score, 7777);
    EXPECT_EQ(storedRecord(bytes, 1).score, 1);
    EXPECT_EQ(storedRecord(bytes, 5000).score, 5000);
    // A wrapped ring is full: every one of its 5001 entries is loaded.
    EXPECT_EQ(captureOutput([&] { engine->loadLearned(); }), "5001 learned positions\n");
    engine->closeLearnFile();

    // A store reopened later carries on where the header says.
    auto reopened = learningEngine(path);
    ASSERT_EQ(reopened->openLearnFile(), 1);
    EXPECT_EQ(reopened->learnCount, 1u);
    EXPECT_EQ(reopened->learnWrapped, 1u);
    reopened->closeLearnFile();
}

TEST(ResultLearning, AWinRaisesTheEnginesOwnPositionsByOneFifth) {
    ResultFixture book;
    Engine& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine, RUY_LOPEZ));
    engine.learnColor = WHITE;
    engine.learnFromResult(1);
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
    Engine& engine = *book.engine;
    // The game ends right after the engine's Bb5: that final position is not looked at.
    ASSERT_TRUE(playMoves(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}));
    engine.learnColor = WHITE;
    engine.learnFromResult(2);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).losses, 1);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).learn, 83);
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3"}, 0).learn, 99); // 120 x 0.833 = 99.96
    EXPECT_EQ(lookup(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}, 0).losses, 0);
}

TEST(ResultLearning, ADrawWithTheEnginePlayingBlackCountsInTheBlackSectionOnly) {
    ResultFixture book;
    Engine& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine, RUY_LOPEZ));
    ASSERT_TRUE(playMoves(engine, {"Ba4"}));
    engine.learnColor = BLACK;
    engine.learnFromResult(3);
    for (const auto& moves : {std::vector<std::string>{"e4", "e5"}, {"e4", "e5", "Nf3", "Nc6"}, RUY_LOPEZ}) {
        const BookRecord r = lookup(engine, moves, 1);
        EXPECT_EQ(r.draws, 1);
        EXPECT_EQ(r.learn, 100);
    }
    EXPECT_EQ(lookup(engine, {"e4"}, 0).draws, 0);
    EXPECT_EQ(lookup(engine, {"e4"}, 0).wins, 5);

    // Black's win is a white-won result exchanged: learn rises for black's positions.
    engine.learnFromResult(2);
    EXPECT_EQ(lookup(engine, {"e4", "e5"}, 1).wins, 1);
    EXPECT_EQ(lookup(engine, {"e4", "e5"}, 1).learn, 120);
}

TEST(ResultLearning, AnOpponentsPositionIsNotLearnedEvenWhenTheEnginesSectionHoldsItsKey) {
    // 1. e3 Nf6 2. e4 and 1. e4 Nf6 reach the same placement: the first by a
    // white move, the second by a black one. After 1. e4 Nf6 the white section
    // holds that key, but the engine (white) did not reach it.
    ScratchDir dir;
    ASSERT_EQ(keyAfter({"e3", "Nf6", "e4"}), keyAfter({"e4", "Nf6"}));
    writeBookRecords(dir.path("book.dat"),
                     sortedByKey({recordAfter({"e3", "Nf6", "e4"}, 0, 0, 0, 100),
                                  recordAfter({"e4", "Nf6", "Nc3"}, 0, 0, 0, 100)}),
                     {});
    auto engine = bookEngine(dir.path("book.dat"));
    captureOutput([&] { engine->loadBook(dir.path("book.dat").c_str()); });
    ASSERT_TRUE(playMoves(*engine, {"e4", "Nf6", "Nc3", "d6"}));
    engine->learnColor = WHITE;
    engine->learnFromResult(1);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6"}, 0).wins, 0);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6"}, 0).learn, 100);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6", "Nc3"}, 0).wins, 1);
    EXPECT_EQ(lookup(*engine, {"e4", "Nf6", "Nc3"}, 0).learn, 120);
    engine->closeBook();
}

TEST(ResultLearning, GamesFromASetUpPositionAndUnknownResultsChangeNothing) {
    ResultFixture book;
    Engine& engine = *book.engine;
    const std::string before = readBytes(book.dir.path("book.dat"));
    // The initial placement, but set up without castling rights: another position.
    ASSERT_EQ(engine.board.readFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - -"), 1);
    engine.resetHistory();
    ASSERT_TRUE(playMoves(engine, {"e4", "e5", "Nf3"}));
    engine.learnColor = WHITE;
    engine.learnFromResult(1);
    EXPECT_EQ(readBytes(book.dir.path("book.dat")), before);

    engine.newGame();
    ASSERT_TRUE(playMoves(engine, RUY_LOPEZ));
    engine.learnFromResult(0);
    EXPECT_EQ(readBytes(book.dir.path("book.dat")), before);
}

TEST(ResultLearning, CountersAndWeightsStopAtTheirLargestValue) {
    ScratchDir dir;
    writeBookRecords(dir.path("book.dat"), {recordAfter({"e4"}, 65535, 0, 0, 60000)}, {});
    auto engine = bookEngine(dir.path("book.dat"));
    captureOutput([&] { engine->loadBook(dir.path("book.dat").c_str()); });
    ASSERT_TRUE(playMoves(*engine, {"e4", "e5"}));
    engine->learnColor = WHITE;
    engine->learnFromResult(1);
    EXPECT_EQ(lookup(*engine, {"e4"}, 0).wins, 65535);
    EXPECT_EQ(lookup(*engine, {"e4"}, 0).learn, 65535);
    engine->closeBook();
}
