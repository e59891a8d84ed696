// Building a book from PGN games: counts, filters, messages, the file's order,
// and a second, independent count of a real game collection.
#include <array>
#include <filesystem>
#include <map>
#include <optional>
// GCC reports false "maybe uninitialized" warnings inside <regex> in optimised
// sanitizer builds.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#include <set>
#include <sstream>

#include "board/keys.h"
#include "book/booktest.h"
#include "book/pgn.h"

namespace {

using Counts = std::array<int, 3>; // wins, losses, draws

// The counts of a position's record in a book section; nothing when the book
// does not hold it.
std::optional<Counts> countsAt(BookRig& engine, int section, uint64_t key) {
    BookRecord r{};
    if (engine.book.lookup(keyLow(key), keyHigh(key), section, r) == 0) return std::nullopt;
    EXPECT_EQ(r.learn, 100);
    return Counts{r.wins, r.losses, r.draws};
}

// The counts of the position after `moves`, looked up in the mover's section.
std::optional<Counts> bookCounts(BookRig& engine, const std::vector<std::string>& moves) {
    return countsAt(engine, static_cast<int>((moves.size() + 1) % 2), keyAfter(moves));
}

const char* const HAND_MADE_GAMES = R"([Event "1: a white win with a comment and a variation"]
[WhiteElo "2100"]
[BlackElo "2200"]
[Result "1-0"]

1. e4 e5 2. Nf3 {good} Nc6 (2... d6) 3. Bb5 1-0

[Event "2: a black win"]
[WhiteElo "2100"]
[BlackElo "2200"]
[Result "0-1"]

1. e4 e5 2. Nf3 Nf6 0-1

[Event "3: only one rating"]
[WhiteElo "2100"]
[Result "1-0"]

1. d4 d5 1-0

[Event "4: a rating equal to the threshold"]
[WhiteElo "2000"]
[BlackElo "2300"]
[Result "1-0"]

1. c4 1-0

[Event "5: a draw with an impossible fourth move"]
[WhiteElo "2100"]
[BlackElo "2100"]
[Result "1/2-1/2"]

1. e4 c5 2. Nf3 Ke7 3. d4 1/2-1/2

[Event "6: no result tag"]
[WhiteElo "2100"]
[BlackElo "2100"]

1. e4 e5 2. Nc3 *
)";

// Positions, counts, and the counts' owners: every number worked out by hand.
void expectHandMadeBook(BookRig& engine) {
    EXPECT_EQ(engine.book.whiteCount(), 4u);
    EXPECT_EQ(engine.book.blackCount(), 4u);
    // Game 6 has no result: its white moves count nothing, its black move a draw.
    EXPECT_EQ(bookCounts(engine, {"e4"}), (Counts{1, 1, 1}));
    EXPECT_EQ(bookCounts(engine, {"e4", "e5", "Nf3"}), (Counts{1, 1, 0}));
    EXPECT_EQ(bookCounts(engine, {"e4", "c5", "Nf3"}), (Counts{0, 0, 1}));
    EXPECT_EQ(bookCounts(engine, {"e4", "e5", "Nc3"}), (Counts{0, 0, 0}));
    EXPECT_EQ(bookCounts(engine, {"e4", "e5"}), (Counts{1, 1, 1}));
    EXPECT_EQ(bookCounts(engine, {"e4", "e5", "Nf3", "Nc6"}), (Counts{0, 1, 0}));
    EXPECT_EQ(bookCounts(engine, {"e4", "e5", "Nf3", "Nf6"}), (Counts{1, 0, 0}));
    EXPECT_EQ(bookCounts(engine, {"e4", "c5"}), (Counts{0, 0, 1}));
    // Depth 4 stops before Bb5; the filtered games and the variation left nothing.
    EXPECT_FALSE(bookCounts(engine, {"e4", "e5", "Nf3", "Nc6", "Bb5"}));
    EXPECT_FALSE(bookCounts(engine, {"d4"}));
    EXPECT_FALSE(bookCounts(engine, {"c4"}));
    EXPECT_FALSE(bookCounts(engine, {"e4", "e5", "Nf3", "d6"}));
}

// Every record sits in ascending key order, once, and a lookup finds it at its place.
void expectOrderedAndFindable(BookRig& engine, const TempDir& dir) {
    const BookContents book = readBookContents(dir.read("book.dat"));
    ASSERT_TRUE(book.complete);
    ASSERT_EQ(book.white.size(), engine.book.whiteCount());
    ASSERT_EQ(book.black.size(), engine.book.blackCount());
    int64_t offset = 8;
    for (int section = 0; section < 2; ++section) {
        const std::vector<BookRecord>& records = section == 0 ? book.white : book.black;
        for (size_t i = 0; i < records.size(); ++i, offset += 16) {
            if (i > 0) {
                ASSERT_LT(bookKey(records[i - 1]), bookKey(records[i]))
                    << "section " << section << " at " << i;
            }
            BookRecord found{};
            ASSERT_EQ(engine.book.lookup(records[i].keyLow, records[i].keyHigh, section, found), offset);
        }
    }
}

// Games written to games.pgn and a book built from them at book.dat.
struct BuiltBook {
    TempDir dir;
    std::unique_ptr<BookRig> engine = bookRig(dir.path("book.dat"));
    std::string out; // what the first build printed
    BuiltBook(const std::string& pgn, int depth, int minElo) {
        dir.write("games.pgn", pgn);
        out = build(depth, minElo);
    }
    std::string build(int depth, int minElo) {
        return captureOutput([&] { engine->create(dir.path("games.pgn"), depth, minElo); });
    }
};

// A game between players rated 1.
std::string game(const std::string& result, const std::string& moves) {
    return "[WhiteElo \"1\"]\n[BlackElo \"1\"]\n[Result \"" + result + "\"]\n" + moves;
}

} // namespace

TEST(BookCreation, HandMadeGamesGiveTheCountsWorkedOutByHand) {
    BuiltBook built(HAND_MADE_GAMES, 4, 2000);
    const std::string& out = built.out;

    // The games counter starts at 0 and may be shown again while the games are
    // read (how often depends on the clock); the message starts on a line of
    // its own, and the final count ends its line.
    const int size = static_cast<int>(std::string(HAND_MADE_GAMES).size());
    const std::string created = "Book created! (" + built.dir.path("book.dat") + ")\n";
    ASSERT_GT(out.size(), created.size());
    EXPECT_EQ(out.substr(out.size() - created.size()), created) << out;
    const std::regex expected("allocated memory for " + std::to_string(2 * (size / 16)) +
                              " positions\n"
                              "\rgames read: 0(\rgames read: [0-3])*\n"
                              "Invalid move @ game = 3 move = 3/5\n"
                              "(\rgames read: [34])*\rgames read: 4\n"
                              "8 positions added to book from 4 games\n");
    EXPECT_TRUE(std::regex_match(out.substr(0, out.size() - created.size()), expected)) << out;

    ASSERT_TRUE(built.engine->book.isOpen());
    expectHandMadeBook(*built.engine);
    expectOrderedAndFindable(*built.engine, built.dir);
    EXPECT_FALSE(built.dir.exists("book.dat.tmp"));
    // The game is back at the initial position.
    EXPECT_EQ(built.engine->position.gamePly, 0);
    EXPECT_EQ(built.engine->board().key, keyAfter({}));
}

TEST(BookCreation, UnclosedCommentsAndOverlongGamesAreReportedAndTheOthersKept) {
    std::string pgn = game("1-0", "1. e4 {left open e5 2. Nf3\n") + game("1-0", "");
    const std::string filler = "{" + std::string(1 << 20, '.') + "}\n";
    for (size_t size = 0; size <= MAX_MOVE_TEXT; size += filler.size()) pgn += filler;
    pgn += "1. d4 1-0\n" + game("0-1", "1. c4 0-1\n");
    BuiltBook built(pgn, 100, 0);
    const std::string& out = built.out;
    EXPECT_NE(out.find("Unclosed brace in game 1"), std::string::npos) << out.substr(0, 200);
    EXPECT_NE(out.find("\nGame 2 skipped: its move text is longer than 4194304 bytes\n"), std::string::npos);
    EXPECT_NE(out.find("2 positions added to book from 3 games\n"), std::string::npos);
    EXPECT_EQ(bookCounts(*built.engine, {"e4"}), (Counts{1, 0, 0}));
    EXPECT_EQ(bookCounts(*built.engine, {"c4"}), (Counts{0, 1, 0}));
    EXPECT_FALSE(bookCounts(*built.engine, {"d4"}));
}

TEST(BookCreation, AFullSectionEndsTheRunButKeepsWhatWasCollected) {
    // A short file with one long game: its size allows fewer records than the game has positions.
    const std::string moves =
        "e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O h3 Nb8 d4 Nbd7 c4 c6 cxb5 axb5 "
        "Nc3 Bb7 Bg5 b4 Nb1 h6 Bh4 c5 dxe5 Nxe4 Bxe7 Qxe7 exd6 Qf6 Nbd2 Nxd6 Nc4 Nxc4 Bxc4 Nb6";
    const std::string pgn = game("1-0", moves + " 1-0\n");
    const int capacity = static_cast<int>(pgn.size() / 16);
    BuiltBook built(pgn, 100, 0);
    const std::string& out = built.out;
    ASSERT_LT(capacity, 22);
    EXPECT_NE(out.find("Book size limit reached:Increase book cache!\n"), std::string::npos) << out;
    // Both sections fill, the black one at ply 2 x capacity; the next white move finds no room.
    EXPECT_EQ(built.engine->book.whiteCount(), static_cast<uint32_t>(capacity));
    EXPECT_EQ(built.engine->book.blackCount(), static_cast<uint32_t>(capacity));
    EXPECT_NE(out.find(std::to_string(2 * capacity) + " positions added to book from 1 games\n"),
              std::string::npos);
    expectOrderedAndFindable(*built.engine, built.dir);
}

TEST(BookCreation, AMissingSourceChangesNothing) {
    TempDir dir;
    auto engine = bookRig(dir.path("book.dat"));
    EXPECT_EQ(captureOutput([&] { engine->create(dir.path("none.pgn"), 10, 0); }),
              "Can't find book source\n");
    // A folder opens like a file, but its length means nothing: no memory is
    // sized from it.
    EXPECT_EQ(captureOutput([&] { engine->create(dir.path(), 10, 0); }),
              "Can't read " + dir.path() + ": not a regular file\n");
    EXPECT_FALSE(dir.exists("book.dat"));
}

TEST(BookCreation, ABookThatCannotBeWrittenLeavesTheOldOneOpenAndIntact) {
    TempDir dir;
    const std::string bookPath = dir.path("book.dat");
    writeBookRecords(bookPath, {recordAfter({"e4"}, 7, 0, 0)}, {});
    const std::string before = dir.read("book.dat");
    dir.write("games.pgn", HAND_MADE_GAMES);
    auto engine = bookRig(bookPath);
    ASSERT_TRUE(engine->load());
    // The temporary file's name is taken by a directory: the new book cannot be written.
    std::filesystem::create_directory(bookPath + ".tmp");
    const std::string out = captureOutput([&] { engine->create(dir.path("games.pgn"), 4, 2000); });
    EXPECT_NE(out.find("Can't write " + bookPath + ": the book there is left unchanged\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Book created!"), std::string::npos) << "no success is reported: " << out;
    EXPECT_EQ(dir.read("book.dat"), before);
    ASSERT_TRUE(engine->book.isOpen());
    EXPECT_EQ(engine->book.whiteCount(), 1u);
    EXPECT_EQ(bookCounts(*engine, {"e4"}), (Counts{7, 0, 0}));

    // Once it can be written, the new book replaces the old one and is open.
    std::filesystem::remove(bookPath + ".tmp");
    captureOutput([&] { engine->create(dir.path("games.pgn"), 4, 2000); });
    expectHandMadeBook(*engine);
}

// A second count of the lichess games, written without the book code: tags read
// with sscanf, move numbers dropped by their dot, the moves replayed one by one.
TEST(BookCreation, RealGamesGiveTheCountsOfAnIndependentCount) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const std::string pgnPath = dataFile("games-lichess.pgn");
    ASSERT_FALSE(pgnPath.empty());
    const int depth = kSlowBuild ? 8 : 20;
    const int minElo = 2000;

    std::map<std::pair<int, uint64_t>, Counts> expected;
    std::set<std::pair<int, uint64_t>> fenPositions;
    int games = 0;
    auto replay = std::make_unique<BookRig>();
    int whiteElo = -1, blackElo = -1;
    std::string result;
    for (const std::string& line : readLines(pgnPath)) {
        char value[64];
        if (std::sscanf(line.c_str(), "[WhiteElo \"%d\"]", &whiteElo) == 1) continue;
        if (std::sscanf(line.c_str(), "[BlackElo \"%d\"]", &blackElo) == 1) continue;
        if (std::sscanf(line.c_str(), "[Result \"%63[^\"]\"]", value) == 1) result = value;
        if (line[0] == '[') continue;
        // The move text line of a game.
        const bool counted = whiteElo > minElo && blackElo > minElo;
        whiteElo = blackElo = -1;
        if (!counted) continue;
        ++games;
        replay->newGame();
        std::istringstream words(line);
        int ply = 0;
        for (std::string word; ply < depth && words >> word;) {
            if (word.back() == '.' || word == result) continue;
            const int mover = replay->board().side;
            ASSERT_TRUE(playMoves(replay->position, {word})) << word << " in " << line;
            ++ply;
            Counts& c = expected[{mover, replay->board().key}];
            // The same position as a FEN writer that names the en-passant
            // square only when the capture is possible would see it.
            uint64_t fenKey = replay->board().key;
            if (replay->board().epSquare != 0) {
                bool capturable = false;
                for (Move m : legalMoves(replay->position))
                    capturable = capturable || (m & MOVE_EN_PASSANT) != 0;
                if (!capturable) fenKey ^= enPassantKeys[replay->board().epSquare & 7];
            }
            fenPositions.insert({mover, fenKey});
            const bool whiteWon = result == "1-0", blackWon = result == "0-1";
            ++c[whiteWon || blackWon ? (whiteWon == (mover == WHITE) ? 0 : 1) : 2];
        }
    }
    ASSERT_EQ(games, 957);
    // The data's own description, counted with another program: the first 20
    // plies of these 957 games reach 11,965 distinct positions.
    if (depth == 20) {
        EXPECT_EQ(fenPositions.size(), 11965u);
    }

    TempDir dir;
    auto engine = bookRig(dir.path("book.dat"));
    const std::string out = captureOutput([&] { engine->create(pgnPath, depth, minElo); });
    EXPECT_EQ(out.find("Invalid"), std::string::npos);
    EXPECT_NE(out.find(" positions added to book from 957 games\n"), std::string::npos);
    EXPECT_EQ(engine->book.whiteCount() + engine->book.blackCount(), expected.size());
    for (const auto& [position, counts] : expected)
        ASSERT_EQ(countsAt(*engine, position.first, position.second), counts) << std::hex << position.second;
    expectOrderedAndFindable(*engine, dir);
}

TEST(BookCreation, GamesLongerThanTheGameRecordAreSkippedWithAMessage) {
    // 1004 plies of knight moves out and back: legal, but more than the game record holds.
    std::string moves;
    for (int i = 0; i < 251; ++i) moves += "Nf3 Nf6 Ng1 Ng8 ";
    BuiltBook built(game("1/2-1/2", moves + "1/2-1/2\n"), 2000, 0);
    BookRig& engine = *built.engine;
    EXPECT_NE(built.out.find("\nGame 1 skipped: more than 1000 plies\n"), std::string::npos) << built.out;
    EXPECT_EQ(engine.book.whiteCount() + engine.book.blackCount(), 0u);

    // Taking its first 1000 plies works: four positions, each reached 250 times.
    const std::string out = built.build(1000, 0);
    EXPECT_EQ(out.find("skipped"), std::string::npos) << out;
    EXPECT_EQ(bookCounts(engine, {"Nf3"}), (Counts{0, 0, 250}));
    EXPECT_EQ(bookCounts(engine, {"Nf3", "Nf6", "Ng1", "Ng8"}), (Counts{0, 0, 250}));
    EXPECT_EQ(engine.book.whiteCount() + engine.book.blackCount(), 4u);
}
