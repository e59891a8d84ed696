// Polyglot books written by the tests: damaged files are refused with a
// message, book entries become the engine's legal moves (castling and
// promotions included) and the choice among them follows the weights.
#include <filesystem>
#include <map>
#include <optional>
#include <random>

#include "book/booktest.h"
#include "book/polyglotkey.h"
#include "book/polyglottest.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

uint64_t keyOf(const std::string& fen) { return polyglotKey(positionAt(fen)->board); }

// A book written from entries (sorted here by key, file order kept within a
// key) and opened; the engine stands at `fen`.
struct BookAt {
    TempDir dir;
    PolyglotBook book;
    std::unique_ptr<Position> engine;

    BookAt(const std::string& fen, std::vector<PolyglotEntry> entries) : engine(positionAt(fen)) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
        writePolyglotFile(dir.path("book.bin"), entries);
        const PolyglotLoad load = book.open(dir.path("book.bin"));
        EXPECT_TRUE(load.ok()) << load.message;
    }
    Move named(const std::string& text) { return parseMove(*engine, text.c_str()); }
    std::map<Move, uint32_t> moves() const {
        std::map<Move, uint32_t> found;
        for (const BookChoice& c : book.movesFor(engine->board)) found[c.move] = c.weight;
        return found;
    }
};

PolyglotEntry entry(const std::string& fen, const std::string& squares, uint16_t weight, int promotion = 0) {
    return {keyOf(fen), polyglotWord(squares, promotion), weight, 0};
}

std::string bytesOf(const std::vector<PolyglotEntry>& entries) {
    TempDir dir;
    writePolyglotFile(dir.path("b"), entries);
    return dir.read("b");
}

} // namespace

TEST(PolyglotLoad, DamagedOrMissingBooksAreRefusedWithAMessageAndGiveNoMoves) {
    TempDir dir;
    std::mt19937 random(20240607);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const PolyglotEntry e4 = entry(START, "e2e4", 1);
    const std::string twoEntries = bytesOf({e4, {e4.key + 1, e4.move, 1, 0}});
    dir.write("good.bin", twoEntries);
    std::filesystem::create_directory(dir.path("folder"));
    // A file beyond the size limit (sparse) is refused before anything is read.
    dir.write("huge.bin", "");
    std::filesystem::resize_file(dir.path("huge.bin"), POLYGLOT_MAX_BYTES + POLYGLOT_ENTRY_BYTES);

    const struct {
        std::string name;
        std::optional<std::string> contents; // nothing: the path is not written
        PolyglotStatus status;
    } cases[] = {
        {"missing.bin", {}, PolyglotStatus::MISSING},
        {"folder", {}, PolyglotStatus::NOT_A_FILE},
        {"/dev/null", {}, PolyglotStatus::NOT_A_FILE},
        {"empty.bin", "", PolyglotStatus::EMPTY},
        {"short.bin", twoEntries.substr(0, 17), PolyglotStatus::BAD_SIZE},
        {"long.bin", twoEntries + "x", PolyglotStatus::BAD_SIZE},
        {"noise-1000.bin", noise.substr(0, 1000), PolyglotStatus::BAD_SIZE},
        {"noise.bin", noise, PolyglotStatus::OUT_OF_ORDER},
        {"reversed.bin", bytesOf({{e4.key + 1, e4.move, 1, 0}, e4}), PolyglotStatus::OUT_OF_ORDER},
        {"huge.bin", {}, PolyglotStatus::TOO_LARGE},
    };
    auto engine = positionAt(START);
    for (const auto& c : cases) {
        const std::string path = c.name[0] == '/' ? c.name : dir.path(c.name);
        if (c.contents) dir.write(c.name, *c.contents);
        PolyglotBook book;
        ASSERT_TRUE(book.open(dir.path("good.bin")).ok());
        ASSERT_FALSE(book.movesFor(engine->board).empty());

        const PolyglotLoad load = book.open(path);
        EXPECT_EQ(load.status, c.status) << c.name << ": " << load.message;
        EXPECT_NE(load.message.find(path), std::string::npos) << load.message;
        EXPECT_FALSE(book.isOpen()) << c.name << ": the earlier book must be gone";
        EXPECT_EQ(book.entryCount(), 0u);
        EXPECT_TRUE(book.movesFor(engine->board).empty());
        EXPECT_EQ(book.chooseMove(engine->board, 7, false), NO_MOVE);
    }
}

// Lookups at both ends of the key range and between keys; every field survives.
TEST(PolyglotLoad, EntriesAreFoundByKeyWithAllTheirFields) {
    const std::vector<PolyglotEntry> stored = {{0, 0x0001, 0xFFFF, 0},
                                               {0x0102030405060708ull, 0x1112, 0x2122, 0x31323334},
                                               {0x0102030405060708ull, 0xABCD, 0x0001, 0xFFFFFFFF},
                                               {0xFFFFFFFFFFFFFFFFull, 0x7FFF, 2, 3}};
    TempDir dir;
    writePolyglotFile(dir.path("b.bin"), stored);
    PolyglotBook book;
    ASSERT_TRUE(book.open(dir.path("b.bin")).ok());
    EXPECT_EQ(book.entryCount(), stored.size());
    const struct {
        uint64_t key;
        size_t first, count; // the stored entries expected
    } lookups[] = {{0, 0, 1}, {0x0102030405060708ull, 1, 2}, {0xFFFFFFFFFFFFFFFFull, 3, 1},
                   {1, 0, 0}, {0x0102030405060709ull, 0, 0}, {0xFFFFFFFFFFFFFFFEull, 0, 0}};
    for (const auto& l : lookups) {
        const auto found = book.entriesFor(l.key);
        ASSERT_EQ(found.size(), l.count) << std::hex << l.key;
        for (size_t i = 0; i < l.count; ++i) {
            const PolyglotEntry& want = stored[l.first + i];
            EXPECT_EQ(std::tuple(found[i].key, found[i].move, found[i].weight, found[i].learn),
                      std::tuple(want.key, want.move, want.weight, want.learn))
                << std::hex << l.key << " entry " << i;
        }
    }
}

TEST(PolyglotMoves, OnlyLegalMovesOfThePositionAreListedWithTheirWeights) {
    BookAt at(START, {
                         entry(START, "e2e4", 10),
                         entry(START, "a1a1", 99),    // the empty move word
                         entry(START, "e2e5", 99),    // no such pawn move
                         entry(START, "e7e5", 99),    // a move of the side not to move
                         entry(START, "e2e4", 99, 5), // a promotion code that does not exist
                         entry(START, "d2d4", 5),
                         {keyOf(START), 0xFFFF, 99, 0},
                         entry(START, "d2d4", 2), // a repeated move adds its weight
                     });
    const std::vector<BookChoice> moves = at.book.movesFor(at.engine->board);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].move, at.named("e4"));
    EXPECT_EQ(moves[0].weight, 10u);
    EXPECT_EQ(moves[1].move, at.named("d4"));
    EXPECT_EQ(moves[1].weight, 7u);
}

TEST(PolyglotMoves, KingOntoItsOwnRookIsCastling) {
    const std::string white = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1";
    const std::string black = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1";
    BookAt w(white, {entry(white, "e1h1", 3), entry(white, "e1a1", 4)});
    EXPECT_EQ(w.moves(), (std::map<Move, uint32_t>{{CASTLE_WHITE_KINGSIDE, 3}, {CASTLE_WHITE_QUEENSIDE, 4}}));
    BookAt b(black, {entry(black, "e8h8", 5), entry(black, "e8a8", 6)});
    EXPECT_EQ(b.moves(), (std::map<Move, uint32_t>{{CASTLE_BLACK_KINGSIDE, 5}, {CASTLE_BLACK_QUEENSIDE, 6}}));

    const std::string noRights = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w - - 0 1";
    BookAt none(noRights, {entry(noRights, "e1h1", 3), entry(noRights, "e1a1", 4)});
    EXPECT_TRUE(none.moves().empty()) << "castling without the right";

    const std::string rook = "4k3/8/8/8/8/8/6K1/4R3 w - - 0 1";
    BookAt plain(rook, {entry(rook, "e1h1", 8)});
    EXPECT_EQ(plain.moves(), (std::map<Move, uint32_t>{{plain.named("Rh1"), 8}}))
        << "a rook on e1 just moves";
}

TEST(PolyglotMoves, PromotionCodesNameKnightBishopRookQueen) {
    const std::string fen = "1n6/P3k3/8/8/8/8/8/4K3 w - - 0 1";
    BookAt at(fen, {entry(fen, "a7a8", 1, 1), entry(fen, "a7a8", 2, 2), entry(fen, "a7a8", 3, 3),
                    entry(fen, "a7a8", 4, 4), entry(fen, "a7b8", 5, 4), entry(fen, "a7a8", 6, 0)});
    EXPECT_EQ(at.moves(), (std::map<Move, uint32_t>{{at.named("a8=N"), 1},
                                                    {at.named("a8=B"), 2},
                                                    {at.named("a8=R"), 3},
                                                    {at.named("a8=Q"), 4},
                                                    {at.named("axb8=Q"), 5}}))
        << "a pawn reaching the last rank without a promotion piece is no move";
}

// Every legal move of many positions survives the trip through its Polyglot word.
TEST(PolyglotMoves, EveryLegalMoveRoundTripsThroughItsMoveWord) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    std::vector<std::string> positions = allDataPositions();
    positions.push_back("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1");
    positions.push_back("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1");
    const size_t step = kSlowBuild ? 7 : 1;
    size_t castles = 0, promotions = 0;
    for (size_t i = 0; i < positions.size(); i += step) {
        auto engine = positionAt(positions[i]);
        const std::vector<Move> legal = legalMoves(*engine);
        for (Move m : legal) {
            const uint16_t word = polyglotMoveCode(m);
            EXPECT_EQ(polyglotMoveToEngine(engine->board, word, legal.data(), static_cast<int>(legal.size())),
                      m)
                << positions[i] << " " << coord(m);
            castles += (m & MOVE_CASTLE) != 0;
            promotions += isPromotion(m);
        }
    }
    EXPECT_GT(castles, 10u);
    EXPECT_GT(promotions, 10u);
}

TEST(PolyglotChoice, RandomChoiceFollowsTheWeights) {
    BookAt at(START, {entry(START, "e2e4", 600), entry(START, "d2d4", 300), entry(START, "c2c4", 100),
                      entry(START, "g1f3", 0)});
    std::mt19937_64 random(42);
    std::map<Move, int> counts;
    constexpr int DRAWS = 20000;
    for (int i = 0; i < DRAWS; ++i) ++counts[at.book.chooseMove(at.engine->board, random(), false)];
    EXPECT_EQ(counts.size(), 3u) << "a move of weight zero is never chosen";
    // Standard deviations are below 0.4 percentage points; 2 points is far out of chance's reach.
    EXPECT_NEAR(counts[at.named("e4")] / double(DRAWS), 0.6, 0.02);
    EXPECT_NEAR(counts[at.named("d4")] / double(DRAWS), 0.3, 0.02);
    EXPECT_NEAR(counts[at.named("c4")] / double(DRAWS), 0.1, 0.02);
}

TEST(PolyglotChoice, BestOnlyTakesTheHighestWeightAndTheFirstOnTies) {
    BookAt at(START, {entry(START, "e2e4", 30), entry(START, "d2d4", 70), entry(START, "c2c4", 70)});
    for (uint64_t r : {0ull, 1ull, 69ull, 12345678901ull})
        EXPECT_EQ(at.book.chooseMove(at.engine->board, r, true), at.named("d4"));
}

TEST(PolyglotChoice, NothingPlayableGivesNoMove) {
    const std::string other = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    BookAt zero(START, {entry(START, "e2e4", 0), entry(START, "d2d4", 0), entry(other, "e1e2", 5)});
    EXPECT_EQ(zero.book.chooseMove(zero.engine->board, 3, false), NO_MOVE);
    EXPECT_EQ(zero.book.chooseMove(zero.engine->board, 3, true), NO_MOVE);
}
