// Merging one book into another.
#include <filesystem>

#include "book/booktest.h"

namespace {

// Merges the book at `path2` into the one at `path1`; what it printed.
std::string merge(const std::string& path1, const std::string& path2) {
    StandardOutput out;
    return captureOutput([&] { mergeBook(path1.c_str(), path2.c_str(), out); });
}

} // namespace

TEST(BookMerge, MergingABookIntoItselfDoublesCountersAndAppliesTheLearnRule) {
    // Each white record, in key order, and what the merge makes of it. learn:
    // below 100 gives 0, 100..199 stays, 200..299 doubles, 300 triples; the
    // 16-bit fields stop at 65535 instead of wrapping.
    const struct {
        BookRecord before, after;
    } records[] = {
        {recordOf(0x10, 1, 2, 3, 100), recordOf(0x10, 2, 4, 6, 100)},
        {recordOf(0x20, 4, 0, 1, 150), recordOf(0x20, 8, 0, 2, 150)},
        {recordOf(0x30, 0, 0, 0, 199), recordOf(0x30, 0, 0, 0, 199)},
        {recordOf(0x40, 5, 5, 5, 200), recordOf(0x40, 10, 10, 10, 400)},
        {recordOf(0x50, 1, 1, 1, 299), recordOf(0x50, 2, 2, 2, 598)},
        {recordOf(0x60, 1, 0, 0, 99), recordOf(0x60, 2, 0, 0, 0)},
        {recordOf(0x70, 1, 0, 0, 0), recordOf(0x70, 2, 0, 0, 0)},
        {recordOf(0x8000000000000000ull, 7, 0, 0, 30000), recordOf(0x8000000000000000ull, 14, 0, 0, 65535)},
        {recordOf(0xFFFFFFFF00000001ull, 40000, 32768, 65535, 300),
         recordOf(0xFFFFFFFF00000001ull, 65535, 65535, 65535, 900)},
    };
    std::vector<BookRecord> white, merged;
    for (const auto& r : records) {
        white.push_back(r.before);
        merged.push_back(r.after);
    }
    TempDir dir;
    writeBookRecords(dir.path("book.dat"), white,
                     {recordOf(0x10, 9, 9, 9, 100), recordOf(0x99, 0, 1, 0, 50)});
    EXPECT_EQ(merge(dir.path("book.dat"), dir.path("book.dat")), "");

    const BookContents book = readBookContents(dir.read("book.dat"));
    ASSERT_TRUE(book.complete);
    expectRecords(book.white, merged);
    expectRecords(book.black, {recordOf(0x10, 18, 18, 18, 100), recordOf(0x99, 0, 2, 0, 0)});
    EXPECT_FALSE(dir.exists("book.dat.tmp"));
}

TEST(BookMerge, ManyNewPositionsAreAddedInKeyOrder) {
    // The first book is small; the second shares a few keys and brings many more.
    auto white = [](uint64_t i, uint16_t wins, uint16_t losses, uint16_t learn) {
        return recordOf(i * 0x9E3779B97F4A7C15ull, wins, losses, 0, learn);
    };
    auto black = [](uint64_t i, uint16_t losses, uint16_t draws) {
        return recordOf(i * 0xC2B2AE3D27D4EB4Full, 0, losses, draws, 100);
    };
    std::vector<BookRecord> white1, black1, white2, black2, whiteMerged, blackMerged;
    for (uint64_t i = 1; i <= 300; ++i) {
        if (i <= 5) white1.push_back(white(i, 1, 0, 200));
        if (i >= 3) white2.push_back(white(i, 2, 1, 150));
        // Keys 3..5 are in both: 1 + 2 wins, 0 + 1 losses, learn (150 / 100) x 200.
        whiteMerged.push_back(i <= 2   ? white(i, 1, 0, 200)
                              : i <= 5 ? white(i, 3, 1, 200)
                                       : white(i, 2, 1, 150));
    }
    for (uint64_t i = 1; i <= 250; ++i) {
        if (i <= 3) black1.push_back(black(i, 1, 0));
        if (i >= 2) black2.push_back(black(i, 0, 3));
        blackMerged.push_back(black(i, i <= 3 ? 1 : 0, i >= 2 ? 3 : 0));
    }
    TempDir dir;
    writeBookRecords(dir.path("one.dat"), sortedByKey(white1), sortedByKey(black1));
    writeBookRecords(dir.path("two.dat"), sortedByKey(white2), sortedByKey(black2));
    const std::string second = dir.read("two.dat");
    merge(dir.path("one.dat"), dir.path("two.dat"));
    EXPECT_EQ(dir.read("two.dat"), second); // the second book is only read

    const BookContents merged = readBookContents(dir.read("one.dat"));
    ASSERT_TRUE(merged.complete);
    expectRecords(merged.white, sortedByKey(whiteMerged));
    expectRecords(merged.black, sortedByKey(blackMerged));
}

TEST(BookMerge, MissingOrDamagedBooksAreReportedAndNothingIsWritten) {
    TempDir dir;
    writeBookRecords(dir.path("good.dat"), {recordOf(1, 1, 0, 0, 100)}, {});
    const std::string good = dir.read("good.dat");
    const std::string missing1 = dir.path("no1.dat"), missing2 = dir.path("no2.dat");
    EXPECT_EQ(merge(missing1, missing2), "Can't find " + missing1 + "\n");
    EXPECT_EQ(merge(dir.path("good.dat"), missing2), "Can't find " + missing2 + "\n");

    // A second book whose counts promise more records than it holds.
    std::string damaged = good;
    damaged[4] = 3;
    dir.write("damaged.dat", damaged);
    EXPECT_EQ(merge(dir.path("good.dat"), dir.path("damaged.dat")),
              dir.path("damaged.dat") + " is not a complete book file\n");
    EXPECT_EQ(dir.read("good.dat"), good);

    // A merged book that cannot be written leaves the first book as it was.
    std::filesystem::create_directory(dir.path("good.dat.tmp"));
    EXPECT_EQ(merge(dir.path("good.dat"), dir.path("good.dat")),
              "Can't write " + dir.path("good.dat") + ": the book there is left unchanged\n");
    EXPECT_EQ(dir.read("good.dat"), good);
}

TEST(BookMerge, TheOpenBookKeepsWorkingUntilItIsLoadedAgain) {
    TempDir dir;
    const uint64_t e4 = keyAfter({"e4"}), d4 = keyAfter({"d4"});
    writeBookRecords(dir.path("book.dat"), {recordOf(e4, 1, 0, 0, 100)}, {});
    writeBookRecords(dir.path("more.dat"),
                     sortedByKey({recordOf(e4, 1, 0, 0, 100), recordOf(d4, 5, 0, 0, 100)}), {});
    StandardOutput out;
    OpeningBook book;
    captureOutput([&] { book.load(dir.path("book.dat").c_str(), out); });
    merge(dir.path("book.dat"), dir.path("more.dat"));
    BookRecord r{};
    EXPECT_EQ(book.whiteCount(), 1u);
    ASSERT_EQ(book.lookup(keyLow(e4), keyHigh(e4), 0, r), 8);
    EXPECT_EQ(r.wins, 1);
    EXPECT_EQ(captureOutput([&] { book.load(dir.path("book.dat").c_str(), out); }), "2 book positions\n");
    ASSERT_NE(book.lookup(keyLow(e4), keyHigh(e4), 0, r), 0);
    EXPECT_EQ(r.wins, 2);
    ASSERT_NE(book.lookup(keyLow(d4), keyHigh(d4), 0, r), 0);
    EXPECT_EQ(r.wins, 5);
}
