// The book file: its byte layout, loading, and lookups by binary search.
#include "book/booktest.h"

namespace {

// The little-endian number of `width` bytes at `at`, read without the book code.
uint32_t littleEndian(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

BookRecord record(uint64_t key, uint16_t wins = 1) { return recordOf(key, wins, 0, 0); }

// Loads the book at `path`, expecting `loaded` back; what the load printed.
std::string load(BookRig& engine, const std::string& path, int loaded) {
    return captureOutput([&] { EXPECT_EQ(engine.book.load(path.c_str(), engine.out), loaded) << path; });
}

} // namespace

TEST(BookFile, ABuiltBookIsLaidOutLittleEndianInTwoSections) {
    TempDir dir;
    dir.write("games.pgn",
              "[WhiteElo \"1\"]\n[BlackElo \"1\"]\n[Result \"1/2-1/2\"]\n1. d4 Nf6 2. c4 1/2-1/2\n");
    auto engine = bookRig(dir.path("book.dat"));
    captureOutput([&] { engine->create(dir.path("games.pgn"), 10, 0); });

    const std::string bytes = dir.read("book.dat");
    ASSERT_EQ(bytes.size(), 8u + 3 * 16);
    EXPECT_EQ(littleEndian(bytes, 0, 4), 2u); // positions reached by white: after d4, after c4
    EXPECT_EQ(littleEndian(bytes, 4, 4), 1u); // reached by black: after Nf6
    const auto [low, high] = std::minmax({keyAfter({"d4"}), keyAfter({"d4", "Nf6", "c4"})});
    const uint64_t keys[3] = {low, high, keyAfter({"d4", "Nf6"})};
    for (int i = 0; i < 3; ++i) {
        const size_t at = 8 + 16 * static_cast<size_t>(i);
        EXPECT_EQ(littleEndian(bytes, at, 4), keyLow(keys[i]));
        EXPECT_EQ(littleEndian(bytes, at + 4, 4), keyHigh(keys[i]));
        // Wins, losses, draws and the learning weight.
        EXPECT_EQ(std::tuple(littleEndian(bytes, at + 8, 2), littleEndian(bytes, at + 10, 2),
                             littleEndian(bytes, at + 12, 2), littleEndian(bytes, at + 14, 2)),
                  std::tuple(0u, 0u, 1u, 100u));
    }
}

TEST(BookFile, LoadingReportsThePositionsAndKeepsThePath) {
    TempDir dir;
    writeBookRecords(dir.path("a.dat"), {record(5), record(9)}, {record(7)});
    auto engine = bookRig("book.dat");
    EXPECT_EQ(load(*engine, dir.path("a.dat"), 1), "3 book positions\n");
    EXPECT_STREQ(engine->book.path, dir.path("a.dat").c_str());
    EXPECT_EQ(engine->book.whiteCount(), 2u);
    EXPECT_EQ(engine->book.blackCount(), 1u);

    // A book that cannot be opened closes the one that was open.
    EXPECT_EQ(load(*engine, dir.path("missing.dat"), 0), "");
    EXPECT_FALSE(engine->book.isOpen());
    BookRecord r{};
    EXPECT_EQ(engine->book.lookup(5, 0, 0, r), 0);
}

TEST(BookFile, LookupsFindEveryRecordInItsSectionAndNothingElse) {
    // Keys chosen so that signed comparison of either half would misorder them.
    std::vector<uint64_t> keys = {0x0000000100000000ull, 0x00000001FFFFFFFFull, 0x7FFFFFFF80000000ull,
                                  0x8000000000000001ull, 0xFFFFFFFF00000000ull, 0xFFFFFFFFFFFFFFFFull};
    for (uint64_t k = 3; k < 400; k += 7) keys.push_back(k * 0x9E3779B97F4A7C15ull);
    std::sort(keys.begin(), keys.end());
    std::vector<BookRecord> white;
    for (size_t i = 0; i < keys.size(); ++i) white.push_back(record(keys[i], static_cast<uint16_t>(i)));
    TempDir dir;
    writeBookRecords(dir.path("book.dat"), white, {record(keys[3], 999)});
    auto engine = bookRig("book.dat");
    load(*engine, dir.path("book.dat"), 1);

    BookRecord r{};
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(engine->book.lookup(keyLow(keys[i]), keyHigh(keys[i]), 0, r),
                  static_cast<int64_t>(8 + 16 * i));
        EXPECT_EQ(r.wins, i);
        // Keys next to a stored one are absent.
        EXPECT_EQ(engine->book.lookup(keyLow(keys[i] + 1), keyHigh(keys[i] + 1), 0, r), 0);
        EXPECT_EQ(engine->book.lookup(keyLow(keys[i] - 1), keyHigh(keys[i] - 1), 0, r), 0);
    }
    // The black section is separate, even for a key that the white section holds.
    EXPECT_EQ(engine->book.lookup(keyLow(keys[3]), keyHigh(keys[3]), 1, r),
              static_cast<int64_t>(8 + 16 * keys.size()));
    EXPECT_EQ(r.wins, 999);
    EXPECT_EQ(engine->book.lookup(keyLow(keys[4]), keyHigh(keys[4]), 1, r), 0);
}

TEST(BookFile, EmptySectionsShortFilesAndEmptyFilesFindNothing) {
    TempDir dir;
    auto engine = bookRig("book.dat");
    BookRecord r{};

    writeBookRecords(dir.path("white-only.dat"), {record(42)}, {});
    load(*engine, dir.path("white-only.dat"), 1);
    EXPECT_EQ(engine->book.lookup(42, 0, 1, r), 0);
    EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 8);

    // Counts larger than the file (a damaged book, or a header of random
    // bytes): no book is opened, and it says so.
    std::string bytes = dir.read("white-only.dat");
    for (const int first : {100, 0xff}) {
        bytes.replace(0, 4, 4, static_cast<char>(first));
        dir.write("short.dat", bytes);
        EXPECT_EQ(load(*engine, dir.path("short.dat"), 0),
                  dir.path("short.dat") + " is damaged: its counts do not fit its size; no book opened\n");
        EXPECT_EQ(engine->book.whiteCount(), 0u);
        EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 0);
    }

    dir.write("empty.dat", "");
    EXPECT_EQ(load(*engine, dir.path("empty.dat"), 1), "0 book positions\n");
    EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 0);
}
