// Merging one book into another.
#include <filesystem>
#include <map>

#include "book/booktest.h"

namespace {

void expectSortedUnique(const std::vector<BookRecord>& records) {
    for (size_t i = 1; i < records.size(); ++i) EXPECT_LT(bookKey(records[i - 1]), bookKey(records[i]));
}

} // namespace

TEST(BookMerge, MergingABookIntoItselfDoublesCountersAndAppliesTheLearnRule) {
    const std::vector<BookRecord> white = sortedByKey({
        recordOf(0x10, 1, 2, 3, 100),
        recordOf(0x20, 4, 0, 1, 150),
        recordOf(0x30, 0, 0, 0, 199),
        recordOf(0x40, 5, 5, 5, 200),
        recordOf(0x50, 1, 1, 1, 299),
        recordOf(0x60, 1, 0, 0, 99),
        recordOf(0x70, 1, 0, 0, 0),
        recordOf(0xFFFFFFFF00000001ull, 40000, 32768, 65535, 300),
        recordOf(0x8000000000000000ull, 7, 0, 0, 30000),
    });
    const std::vector<BookRecord> black = sortedByKey({recordOf(0x10, 9, 9, 9, 100), recordOf(0x99, 0, 1, 0, 50)});
    ScratchDir dir;
    writeBookRecords(dir.path("book.dat"), white, black);
    StandardOutput out;
    EXPECT_EQ(
        captureOutput([&] { mergeBook(dir.path("book.dat").c_str(), dir.path("book.dat").c_str(), out); }),
        "");

    const BookContents merged = readBookContents(dir.path("book.dat"));
    ASSERT_TRUE(merged.complete);
    ASSERT_EQ(merged.white.size(), white.size());
    ASSERT_EQ(merged.black.size(), black.size());
    // learn: below 100 gives 0, 100..199 stays, 200..299 doubles, 300 triples; the
    // 16-bit fields stop at 65535 instead of wrapping.
    std::map<uint64_t, BookRecord> expected = {
        {0x10, recordOf(0x10, 2, 4, 6, 100)},
        {0x20, recordOf(0x20, 8, 0, 2, 150)},
        {0x30, recordOf(0x30, 0, 0, 0, 199)},
        {0x40, recordOf(0x40, 10, 10, 10, 400)},
        {0x50, recordOf(0x50, 2, 2, 2, 598)},
        {0x60, recordOf(0x60, 2, 0, 0, 0)},
        {0x70, recordOf(0x70, 2, 0, 0, 0)},
        {0xFFFFFFFF00000001ull, recordOf(0xFFFFFFFF00000001ull, 65535, 65535, 65535, 900)},
        {0x8000000000000000ull, recordOf(0x8000000000000000ull, 14, 0, 0, 65535)},
    };
    for (size_t i = 0; i < merged.white.size(); ++i) {
        const BookRecord& got = merged.white[i];
        EXPECT_EQ(bookKey(got), bookKey(white[i]));
        const BookRecord& want = expected.at(bookKey(got));
        EXPECT_EQ(got.wins, want.wins) << std::hex << bookKey(got);
        EXPECT_EQ(got.losses, want.losses) << std::hex << bookKey(got);
        EXPECT_EQ(got.draws, want.draws) << std::hex << bookKey(got);
        EXPECT_EQ(got.learn, want.learn) << std::hex << bookKey(got);
    }
    EXPECT_EQ(merged.black[0].wins, 18);
    EXPECT_EQ(merged.black[1].learn, 0);
    EXPECT_FALSE(fileExists(dir.path("book.dat.tmp")));
}

TEST(BookMerge, ManyNewPositionsAreAppendedAndEveryPositionCanBeFoundAfterwards) {
    // The first book is small; the second shares a few keys and brings many more.
    std::vector<BookRecord> white1, black1, white2, black2;
    for (uint64_t i = 1; i <= 5; ++i) white1.push_back(recordOf(i * 0x9E3779B97F4A7C15ull, 1, 0, 0, 200));
    for (uint64_t i = 1; i <= 3; ++i) black1.push_back(recordOf(i * 0xC2B2AE3D27D4EB4Full, 0, 1, 0, 100));
    for (uint64_t i = 3; i <= 300; ++i) white2.push_back(recordOf(i * 0x9E3779B97F4A7C15ull, 2, 1, 0, 150));
    for (uint64_t i = 2; i <= 250; ++i) black2.push_back(recordOf(i * 0xC2B2AE3D27D4EB4Full, 0, 0, 3, 100));
    ScratchDir dir;
    writeBookRecords(dir.path("one.dat"), sortedByKey(white1), sortedByKey(black1));
    writeBookRecords(dir.path("two.dat"), sortedByKey(white2), sortedByKey(black2));
    const std::string second = readBytes(dir.path("two.dat"));
    StandardOutput out;
    captureOutput([&] { mergeBook(dir.path("one.dat").c_str(), dir.path("two.dat").c_str(), out); });
    EXPECT_EQ(readBytes(dir.path("two.dat")), second); // the second book is only read

    const BookContents merged = readBookContents(dir.path("one.dat"));
    ASSERT_TRUE(merged.complete);
    EXPECT_EQ(merged.white.size(), 300u);
    EXPECT_EQ(merged.black.size(), 250u);
    expectSortedUnique(merged.white);
    expectSortedUnique(merged.black);

    OpeningBook book;
    captureOutput([&] { ASSERT_EQ(book.load(dir.path("one.dat").c_str(), out), 1); });
    for (uint64_t i = 1; i <= 300; ++i) {
        BookRecord r{};
        const uint64_t key = i * 0x9E3779B97F4A7C15ull;
        ASSERT_NE(book.lookup(keyLowOf(key), keyHighOf(key), 0, r), 0) << i;
        // Keys 3..5 were in both: 1 + 2 wins, 0 + 1 losses, learn (150 / 100) x 200.
        if (i <= 2)
            EXPECT_TRUE(r.wins == 1 && r.losses == 0 && r.learn == 200) << i;
        else if (i <= 5)
            EXPECT_TRUE(r.wins == 3 && r.losses == 1 && r.learn == 200) << i;
        else
            EXPECT_TRUE(r.wins == 2 && r.losses == 1 && r.learn == 150) << i;
    }
    for (uint64_t i = 1; i <= 250; ++i) {
        BookRecord r{};
        const uint64_t key = i * 0xC2B2AE3D27D4EB4Full;
        ASSERT_NE(book.lookup(keyLowOf(key), keyHighOf(key), 1, r), 0) << i;
        EXPECT_EQ(r.draws, i == 1 ? 0 : 3);
        EXPECT_EQ(r.losses, i <= 3 ? 1 : 0);
    }
    book.close();
}

TEST(BookMerge, MissingOrDamagedBooksAreReportedAndNothingIsWritten) {
    ScratchDir dir;
    writeBookRecords(dir.path("good.dat"), {recordOf(1, 1, 0, 0, 100)}, {});
    const std::string good = readBytes(dir.path("good.dat"));
    StandardOutput out;
    const std::string missing1 = dir.path("no1.dat"), missing2 = dir.path("no2.dat");
    EXPECT_EQ(captureOutput([&] { mergeBook(missing1.c_str(), missing2.c_str(), out); }),
              "Can't find " + missing1 + "\n");
    EXPECT_EQ(captureOutput([&] { mergeBook(dir.path("good.dat").c_str(), missing2.c_str(), out); }),
              "Can't find " + missing2 + "\n");

    // A second book whose counts promise more records than it holds.
    std::string damaged = good;
    damaged[4] = 3;
    writeText(dir.path("damaged.dat"), damaged);
    EXPECT_EQ(
        captureOutput([&] { mergeBook(dir.path("good.dat").c_str(), dir.path("damaged.dat").c_str(), out); }),
        dir.path("damaged.dat") + " is not a complete book file\n");
    EXPECT_EQ(readBytes(dir.path("good.dat")), good);

    // A merged book that cannot be written leaves the first book as it was.
    std::filesystem::create_directory(dir.path("good.dat.tmp"));
    EXPECT_EQ(
        captureOutput([&] { mergeBook(dir.path("good.dat").c_str(), dir.path("good.dat").c_str(), out); }),
        "Can't write " + dir.path("good.dat") + ": the book there is left unchanged\n");
    EXPECT_EQ(readBytes(dir.path("good.dat")), good);
}

TEST(BookMerge, TheOpenBookKeepsWorkingUntilItIsLoadedAgain) {
    ScratchDir dir;
    const uint64_t e4 = keyAfter({"e4"}), d4 = keyAfter({"d4"});
    writeBookRecords(dir.path("book.dat"), {recordOf(e4, 1, 0, 0, 100)}, {});
    writeBookRecords(dir.path("more.dat"), sortedByKey({recordOf(e4, 1, 0, 0, 100), recordOf(d4, 5, 0, 0, 100)}), {});
    StandardOutput out;
    OpeningBook book;
    captureOutput([&] { book.load(dir.path("book.dat").c_str(), out); });
    captureOutput([&] { mergeBook(dir.path("book.dat").c_str(), dir.path("more.dat").c_str(), out); });
    BookRecord r{};
    EXPECT_EQ(book.whiteCount(), 1u);
    ASSERT_EQ(book.lookup(keyLowOf(e4), keyHighOf(e4), 0, r), 8);
    EXPECT_EQ(r.wins, 1);
    EXPECT_EQ(captureOutput([&] { book.load(dir.path("book.dat").c_str(), out); }), "2 book positions\n");
    ASSERT_NE(book.lookup(keyLowOf(e4), keyHighOf(e4), 0, r), 0);
    EXPECT_EQ(r.wins, 2);
    ASSERT_NE(book.lookup(keyLowOf(d4), keyHighOf(d4), 0, r), 0);
    EXPECT_EQ(r.wins, 5);
    book.close();
}
