// Registration, the block cache and probing, on generated table files.
#include <unistd.h>

#include <cinttypes>
#include <filesystem>
#include <fstream>
#include <optional>

#include "board/score.h"
#include "egtb/tablebases.h"
#include "egtb/tbtestutil.h"
#include "search/searchtest.h"

using namespace egtb;

namespace {

// A fresh directory with copies of some of the generated uncompressed files.
std::string dirWith(const std::string& tag, std::initializer_list<std::string> names) {
    const std::string dir = tbtest::freshDirectory(tag);
    for (const auto& name : names)
        std::filesystem::copy_file(tbtest::generatedTables().plain + "/" + name, dir + "/" + name);
    return dir;
}

// A sparse file of the given length, with `bytes` written from offset `at` on.
void sparseFile(const std::string& path, uint64_t length, uint64_t at = 0,
                std::initializer_list<uint8_t> bytes = {}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(at), SEEK_SET), 0);
    for (uint8_t b : bytes) std::fputc(b, f);
    std::fclose(f);
    std::filesystem::resize_file(path, length);
}

// Loading the tables of `dir` ends the program with exit code 1 and `message`.
void expectLoadExits(const std::string& dir, const std::string& message) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            tablebaseOutput = [](const char* text) { std::fputs(text, stderr); };
            loadTablebases(dir.c_str(), 2, false);
        },
        ::testing::ExitedWithCode(1), message);
}

// The probe's score of a position at ply 3; nothing when the tables do not answer.
std::optional<int> probeFen(const std::string& fen) {
    auto engine = positionAt(fen);
    int score = 0;
    if (!probeTablebases(engine->board, 3, score)) return std::nullopt;
    return score;
}

} // namespace

TEST(TablebaseRegistry, NoTablesLoadsSuccessfullyWithNoMen) {
    const std::string empty = tbtest::freshDirectory("empty");
    {
        tbtest::CapturedOutput out;
        EXPECT_TRUE(loadTablebases("", 2, false));
        EXPECT_EQ(out.text(), "Loading Nalimov tablebase=>Success!\n");
    }
    EXPECT_EQ(tablebaseMenAvailable(), 0);
    {
        tbtest::CapturedOutput out;
        EXPECT_TRUE(loadTablebases(empty.c_str(), 2, true));
        EXPECT_EQ(out.text(), "Success!\n") << "xboard mode leaves out the first part";
    }
    EXPECT_FALSE(probeFen("8/8/8/8/8/2k5/8/KQ6 w - -").has_value());
}

TEST(TablebaseRegistry, MenAvailableFollowsTheLargestRegisteredTable) {
    EXPECT_EQ(tbtest::load(dirWith("three", {"kqk.nbw", "kqk.nbb"})), 3);
    if (!kSlowBuild) {
        EXPECT_EQ(tbtest::load(dirWith("four", {"kqk.nbw", "kqkr.nbb"})), 4);
    }
    // Five and six men: sparse files of the right lengths.
    const std::string dir = tbtest::freshDirectory("big");
    sparseFile(dir + "/kppkp.nbb", descriptor(36).count[1]);
    EXPECT_EQ(tbtest::load(dir), 5);
    // A split table: its first extent holds 2^31 entries.
    const int krbkbn = tableNumber("krbkbn");
    ASSERT_GT(descriptor(krbkbn).count[0], uint64_t{1} << 31);
    sparseFile(dir + "/krbkbn.0.nbw", uint64_t{1} << 31, (uint64_t{1} << 31) - 1, {5});
    EXPECT_EQ(tbtest::load(dir), 6);
    EXPECT_EQ(descriptor(krbkbn).files[0][0].name, dir + "/krbkbn.0.nbw");
    EXPECT_EQ(readStoredValue(krbkbn, 0, (uint64_t{1} << 31) - 1), 5 + 32640)
        << "last entry of the first extent";
    EXPECT_EQ(readStoredValue(krbkbn, 0, uint64_t{1} << 31), STORED_BROKEN) << "the second extent is missing";
    EXPECT_EQ(tbtest::load(""), 0);
}

TEST(TablebaseRegistry, EveryFileNameSpellingIsFound) {
    const auto& tables = tbtest::generatedTables();
    const char* spellings[] = {"kqk.nbw.emd", "kqk_nbw.emd", "kqk_nbw_emd", "kqknbw.emd"};
    for (const char* spelling : spellings) {
        const std::string dir = tbtest::freshDirectory("spell");
        std::filesystem::copy_file(tables.packed + "/kqk.nbw.emd", dir + "/" + spelling);
        EXPECT_EQ(tbtest::load(dir), 3) << spelling;
        EXPECT_EQ(descriptor(5).files[0][0].name, dir + "/" + spelling);
        EXPECT_NE(descriptor(5).files[0][0].decoder, nullptr);
    }
}

TEST(TablebaseRegistry, DirectoriesAreSeparatedByCommasAndSemicolons) {
    const std::string a = dirWith("a", {"kqk.nbw"});
    const std::string b = dirWith("b", {"krk.nbw"});
    const std::string c = dirWith("c", {"kpk.nbb"});
    EXPECT_EQ(tbtest::load(a + "," + b + ";" + c + "/"), 3);
    EXPECT_EQ(descriptor(5).files[0][0].name, a + "/kqk.nbw");
    EXPECT_EQ(descriptor(4).files[0][0].name, b + "/krk.nbw");
    EXPECT_EQ(descriptor(1).files[1][0].name, c + "/kpk.nbb");
    // Registering again forgets the earlier directories.
    EXPECT_EQ(tbtest::load(b), 3);
    EXPECT_TRUE(descriptor(5).files[0][0].name.empty());
}

TEST(TablebaseRegistry, CacheThatCannotBeHadTurnsTablebasesOff) {
    const std::string dir = dirWith("nocache", {"kqk.nbw"});
    tbtest::CapturedOutput out;
    EXPECT_FALSE(loadTablebases(dir.c_str(), 0, false));
    EXPECT_EQ(out.text(), "Loading Nalimov tablebase=>Failure![Increase EGTB cache]\n");
    EXPECT_EQ(tablebaseMenAvailable(), 0);
}

// The death tests make their own files: the length check and the index check
// come before any value is read.
TEST(TablebaseRegistryDeathTest, TruncatedFileEndsTheProgramWithItsMessage) {
    const std::string dir = tbtest::freshDirectory("short");
    sparseFile(dir + "/kqk.nbw", 1000);
    const uint64_t count = descriptor(5).count[0];
    expectLoadExits(dir, "\\*\\*\\* .*/kqk.nbw corrupted " + std::to_string(count) + " " +
                             std::to_string(count) + " 1000");
}

TEST(TablebaseRegistryDeathTest, BrokenCompressedFileEndsTheProgramWithItsMessage) {
    const std::string dir = tbtest::freshDirectory("broken");
    const std::vector<uint8_t> entries(descriptor(5).count[0], 0);
    auto file = emdCompress(entries.data(), entries.size());
    file[84] ^= 0x55; // inside the index: its check value no longer matches
    std::ofstream(dir + "/kqk.nbw.emd", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    expectLoadExits(dir, "\\*\\*\\* Unable to read .*kqk.nbw.emd - file broken");
}

TEST(TablebaseProbe, ScoresCountMatesFromThePly) {
    tbtest::load(tbtest::generatedTables().plain);
    // (Mates to come and colour-exchanged probes: every test table's values from the board, below.)
    // Black checkmated now, a loss in 0, scores as the search scores a side mated at ply 3.
    EXPECT_EQ(probeFen("k7/1Q6/1K6/8/8/8/8/8 b - -"), 3 - MATE_SCORE);
    // Stalemate: a draw.
    EXPECT_EQ(probeFen("k7/2Q5/1K6/8/8/8/8/8 b - -"), 0);
    // Too many men or no table: no answer.
    EXPECT_FALSE(probeFen("k7/8/1K6/8/8/8/3PPPPP/1Q6 w - -").has_value());
    EXPECT_FALSE(probeFen("k7/8/1K6/8/8/8/8/QQQQ4 w - -").has_value());
    EXPECT_GT(tablebaseStats.hits, 0u);
    EXPECT_GE(tablebaseStats.probes, tablebaseStats.hits + 2);
}

TEST(TablebaseProbe, AStoredBrokenValueOrAMissingSideIsNoAnswer) {
    const std::string dir = dirWith("broken127", {"kqk.nbw"});
    // Find the entry of a position and overwrite it with 127.
    tbtest::load(dir);
    ASSERT_TRUE(probeFen("8/8/8/3k4/8/8/8/KQ6 w - -").has_value());
    EXPECT_FALSE(probeFen("8/8/8/3k4/8/8/8/KQ6 b - -").has_value()) << "no black-to-move file";
    int first[16] = {}, second[16] = {};
    first[KING_SLOT] = 0, first[QUEEN_SLOT] = 1, second[KING_SLOT] = 35;
    const uint64_t e = tableIndex(descriptor(5).plan[0], first, second, NO_EP_SQUARE, false);
    {
        std::fstream f(dir + "/kqk.nbw", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(e));
        f.put(127);
    }
    tbtest::load(dir);
    EXPECT_FALSE(probeFen("8/8/8/3k4/8/8/8/KQ6 w - -").has_value());
    EXPECT_TRUE(probeFen("8/8/8/4k3/8/8/8/KQ6 w - -").has_value());
}

TEST(TablebaseProbe, FileDeletedAfterStartUpMakesItsProbesFail) {
    const std::string dir = dirWith("deleted", {"kqk.nbw", "krk.nbw"});
    tbtest::load(dir);
    std::filesystem::remove(dir + "/kqk.nbw");
    EXPECT_FALSE(probeFen("8/8/8/3k4/8/8/8/KQ6 w - -").has_value());
    EXPECT_TRUE(descriptor(5).files[0][0].name.empty()) << "the extent is disabled";
    EXPECT_TRUE(probeFen("8/8/8/3k4/8/8/8/KR6 w - -").has_value()) << "other tables still answer";
    // The engine keeps playing: a move is still chosen.
    auto rig = searchAt("8/8/8/3k4/8/8/8/KQ6 w - -", 3);
    rig->search.options.useTablebases = true;
    EXPECT_NE(rig->search.think(), NO_MOVE);
}

// The seven kppkp entries lost in 127 moves hold the byte of a 126-move loss;
// any other byte there reads as usual (our entry order puts ordinary positions there).
TEST(TablebaseProbe, KppkpLongLossesReadOneMoveBeyondTheByteScale) {
    const std::string dir = tbtest::freshDirectory("kppkp");
    sparseFile(dir + "/kppkp.nbb", descriptor(36).count[1], 0x362BC7C, {0x81, 0x81});
    tbtest::load(dir);
    EXPECT_EQ(readStoredValue(36, 1, 0x362BC7C), -32639);
    EXPECT_EQ(readStoredValue(36, 1, 0x362BC7D), -32640) << "not one of the seven";
    for (uint64_t special :
         {0x362DE44ull, 0x3637648ull, 0x3639810ull, 0x38D4F29ull, 0x40A2CABull, 0x43C778Cull})
        EXPECT_EQ(readStoredValue(36, 1, special), 0) << "a draw stored there stays a draw";
    EXPECT_EQ(readStoredValue(36, 0, 0x362BC7C), STORED_BROKEN) << "no white-to-move file";
    // The generator writes such a value the same way.
    TableValues values;
    values.table = 36;
    values.values[1].assign(0x362BC7D + 1, 0);
    values.values[1][0x362BC7C] = -32639;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeTableBytes(values, 1, bytes, error)) << error;
    EXPECT_EQ(bytes[0x362BC7C], 0x81);
    values.values[1][0x362BC7D] = -32639;
    EXPECT_FALSE(encodeTableBytes(values, 1, bytes, error));
}

TEST(TablebaseProbe, ByteMappingCoversTheWholeScale) {
    for (auto [byte, value] : {std::pair{0, 0},
                               {127, 32767},
                               {1, 32641},
                               {126, 32766},
                               {-1, -32641},
                               {-126, -32766},
                               {-127, -32640},
                               {-128, 32640}})
        EXPECT_EQ(byteToStoredValue(static_cast<int8_t>(byte)), value) << byte;
    for (int b = -128; b <= 127; ++b) {
        int8_t back;
        ASSERT_TRUE(storedValueToByte(byteToStoredValue(static_cast<int8_t>(b)), back));
        EXPECT_EQ(back, b);
    }
    int8_t unused;
    EXPECT_FALSE(storedValueToByte(-32639, unused)) << "one move beyond the byte scale";
}

TEST(TablebaseProbe, OffsetsBeyondTwoGigabytesAreReached) {
    // A one-byte table above 2^31 entries that is not split: a sparse file with
    // one stored value past the 2 GB mark.
    int table = 0;
    for (int n = 146; n < TABLE_COUNT && !table; ++n)
        if (descriptor(n).flags == 0 && descriptor(n).count[0] > (uint64_t{1} << 31) + 100000) table = n;
    ASSERT_GT(table, 0);
    const std::string dir = tbtest::freshDirectory("large");
    const uint64_t at = (uint64_t{1} << 31) + 12345;
    sparseFile(dir + "/" + descriptor(table).name + ".nbw", descriptor(table).count[0], at, {120});
    tbtest::load(dir);
    EXPECT_EQ(readStoredValue(table, 0, at), 120 + 32640);
    EXPECT_EQ(readStoredValue(table, 0, at + 1), 0);
}

TEST(TablebaseCache, LeastRecentlyUsedBlockLeavesFirst) {
    tbtest::load(dirWith("lru", {"kqk.nbw"}));
    ASSERT_GE(descriptor(5).count[0], 3u * 8192 + 1) << "four blocks";
    std::vector<uint8_t> buffer(3 * CACHE_ENTRY_BYTES);
    ASSERT_TRUE(setUpCache(buffer.data(), buffer.size()));
    ASSERT_EQ(cacheEntries(), 3u);
    auto read = [](uint64_t block) { return readStoredValue(5, 0, block * 8192); };
    const CacheCounters before = cacheCounters;
    auto misses = [&] { return cacheCounters.misses - before.misses; };
    auto hits = [&] { return cacheCounters.hits - before.hits; };
    read(0), read(1), read(2);
    EXPECT_EQ(misses(), 3u);
    read(0);
    EXPECT_EQ(hits(), 1u);
    read(3); // evicts block 1, the least recently used
    EXPECT_EQ(misses(), 4u);
    read(0), read(2), read(3);
    EXPECT_EQ(hits(), 4u);
    read(1);
    EXPECT_EQ(misses(), 5u);
    // Reading the same entries through the cache or straight from the file agrees.
    std::ifstream file(descriptor(5).files[0][0].name, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    for (uint64_t i = 0; i < bytes.size(); i += 97)
        ASSERT_EQ(readStoredValue(5, 0, i), byteToStoredValue(static_cast<int8_t>(bytes[i])));
    tbtest::load(""); // leave no cache pointing at the local buffer
}

TEST(TablebaseProbe, CompressedAndPlainFilesGiveTheSameValueForEveryEntry) {
    const auto& tables = tbtest::generatedTables();
    for (int n : tbtest::testTables()) {
        const TableDescriptor& d = descriptor(n);
        const int sides = (d.flags & TABLE_SYMMETRIC) ? 1 : 2;
        std::vector<int> plain[2];
        tbtest::load(tables.plain, 8);
        for (int side = 0; side < sides; ++side)
            for (uint64_t i = 0; i < d.count[side]; ++i) plain[side].push_back(readStoredValue(n, side, i));
        tbtest::load(tables.packed, 8);
        for (int side = 0; side < sides; ++side) {
            ASSERT_NE(descriptor(n).files[side][0].decoder, nullptr) << d.name;
            for (uint64_t i = 0; i < d.count[side]; ++i)
                ASSERT_EQ(readStoredValue(n, side, i), plain[side][i]) << d.name << " entry " << i;
        }
        // And both agree with the generator's values; the compressed files are less than half the size.
        const TableValues* values = tables.store->get(n);
        for (int side = 0; side < sides; ++side)
            for (uint64_t i = 0; i < d.count[side]; i += 13)
                ASSERT_EQ(plain[side][i], values->values[side][i]);
        const std::string file = std::string(d.name) + ".nbw";
        EXPECT_LT(std::filesystem::file_size(tables.packed + "/" + file + ".emd"),
                  std::filesystem::file_size(tables.plain + "/" + file) / 2)
            << d.name;
    }
}
