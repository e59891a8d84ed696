// The book file: its byte layout, loading, and lookups by binary search.
#include "book/booktest.h"

namespace {

uint32_t littleEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

uint16_t littleEndian16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

BookRecord record(uint64_t key, uint16_t wins = 1) { return recordOf(key, wins, 0, 0); }

} // namespace

TEST(BookFile, ABuiltBookIsLaidOutLittleEndianInTwoSections) {
    ScratchDir dir;
    writeText(dir.path("games.pgn"),
              "[WhiteElo \"1\"]\n[BlackElo \"1\"]\n[Result \"1/2-1/2\"]\n1. d4 Nf6 2. c4 1/2-1/2\n");
    auto engine = bookRig(dir.path("book.dat"));
    captureOutput([&] { engine->create(dir.path("games.pgn"), 10, 0); });
    engine->book.close();

    const std::string bytes = readBytes(dir.path("book.dat"));
    ASSERT_EQ(bytes.size(), 8u + 3 * 16);
    EXPECT_EQ(littleEndian32(bytes, 0), 2u); // positions reached by white: after d4, after c4
    EXPECT_EQ(littleEndian32(bytes, 4), 1u); // reached by black: after Nf6
    uint64_t whiteKeys[2] = {keyAfter({"d4"}), keyAfter({"d4", "Nf6", "c4"})};
    if (whiteKeys[0] > whiteKeys[1]) std::swap(whiteKeys[0], whiteKeys[1]);
    const uint64_t keys[3] = {whiteKeys[0], whiteKeys[1], keyAfter({"d4", "Nf6"})};
    for (int i = 0; i < 3; ++i) {
        const size_t at = 8 + 16 * static_cast<size_t>(i);
        EXPECT_EQ(littleEndian32(bytes, at), keyLowOf(keys[i]));
        EXPECT_EQ(littleEndian32(bytes, at + 4), keyHighOf(keys[i]));
        EXPECT_EQ(littleEndian16(bytes, at + 8), 0);    // wins
        EXPECT_EQ(littleEndian16(bytes, at + 10), 0);   // losses
        EXPECT_EQ(littleEndian16(bytes, at + 12), 1);   // draws
        EXPECT_EQ(littleEndian16(bytes, at + 14), 100); // learn
    }
}

TEST(BookFile, LoadingReportsThePositionsAndKeepsThePath) {
    ScratchDir dir;
    writeBookRecords(dir.path("a.dat"), {record(5), record(9)}, {record(7)});
    auto engine = bookRig("book.dat");
    EXPECT_EQ(captureOutput([&] { EXPECT_EQ(engine->book.load(dir.path("a.dat").c_str(), engine->out), 1); }),
              "3 book positions\n");
    EXPECT_STREQ(engine->book.path, dir.path("a.dat").c_str());
    EXPECT_EQ(engine->book.whiteCount(), 2u);
    EXPECT_EQ(engine->book.blackCount(), 1u);

    // A book that cannot be opened closes the one that was open.
    EXPECT_EQ(
        captureOutput([&] { EXPECT_EQ(engine->book.load(dir.path("missing.dat").c_str(), engine->out), 0); }),
        "");
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
    std::vector<BookRecord> white, black;
    for (size_t i = 0; i < keys.size(); ++i) white.push_back(record(keys[i], static_cast<uint16_t>(i)));
    black.push_back(record(keys[3], 999));
    ScratchDir dir;
    writeBookRecords(dir.path("book.dat"), white, black);
    auto engine = bookRig(dir.path("book.dat"));
    captureOutput([&] { ASSERT_EQ(engine->book.load(dir.path("book.dat").c_str(), engine->out), 1); });

    for (size_t i = 0; i < keys.size(); ++i) {
        BookRecord r{};
        EXPECT_EQ(engine->book.lookup(keyLowOf(keys[i]), keyHighOf(keys[i]), 0, r),
                  static_cast<int64_t>(8 + 16 * i));
        EXPECT_EQ(r.wins, i);
        // Keys next to a stored one are absent.
        EXPECT_EQ(engine->book.lookup(keyLowOf(keys[i] + 1), keyHighOf(keys[i] + 1), 0, r), 0);
        EXPECT_EQ(engine->book.lookup(keyLowOf(keys[i] - 1), keyHighOf(keys[i] - 1), 0, r), 0);
    }
    // The black section is separate, even for a key that the white section holds.
    BookRecord r{};
    EXPECT_EQ(engine->book.lookup(keyLowOf(keys[3]), keyHighOf(keys[3]), 1, r),
              static_cast<int64_t>(8 + 16 * keys.size()));
    EXPECT_EQ(r.wins, 999);
    EXPECT_EQ(engine->book.lookup(keyLowOf(keys[4]), keyHighOf(keys[4]), 1, r), 0);
    engine->book.close();
}

TEST(BookFile, EmptySectionsShortFilesAndEmptyFilesFindNothing) {
    ScratchDir dir;
    auto engine = bookRig("book.dat");
    BookRecord r{};

    writeBookRecords(dir.path("white-only.dat"), {record(42)}, {});
    captureOutput([&] { engine->book.load(dir.path("white-only.dat").c_str(), engine->out); });
    EXPECT_EQ(engine->book.lookup(42, 0, 1, r), 0);
    EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 8);

    // Counts larger than the file (a damaged book, or a header of random
    // bytes): no book is opened, and it says so.
    std::string bytes = readBytes(dir.path("white-only.dat"));
    for (const int first : {100, 0xff}) {
        bytes.replace(0, 4, 4, static_cast<char>(first));
        writeText(dir.path("short.dat"), bytes);
        EXPECT_EQ(captureOutput([&] { EXPECT_EQ(engine->book.load(dir.path("short.dat").c_str(), engine->out), 0); }),
                  dir.path("short.dat") + " is damaged: its counts do not fit its size; no book opened\n");
        EXPECT_EQ(engine->book.whiteCount(), 0u);
        EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 0);
    }

    writeText(dir.path("empty.dat"), "");
    EXPECT_EQ(
        captureOutput([&] { EXPECT_EQ(engine->book.load(dir.path("empty.dat").c_str(), engine->out), 1); }),
        "0 book positions\n");
    EXPECT_EQ(engine->book.lookup(42, 0, 0, r), 0);
    engine->book.close();
}
