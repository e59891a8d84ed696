// Choosing a book move and listing the book moves of a position.
#include <cstdlib>

#include "book/booktest.h"

namespace {

// The initial position with a book holding the given records.
struct BookFixture : BookOnDisk {
    using BookOnDisk::BookOnDisk;

    int indexOf(const std::string& san) {
        const Move move = parseMove(engine->position, san.c_str());
        for (int i = 0; i < engine->count; ++i) {
            if (engine->moves[i] == move) return i;
        }
        return -1;
    }
    std::string listing() {
        return captureOutput([&] { engine->book.list(engine->position, engine->out); });
    }
};

} // namespace

TEST(BookMove, ScoresAreTheWeightedShareOfResultsPlusARandomTermInMoveOrder) {
    BookFixture book({recordAfter({"e4"}, 10, 5, 5), recordAfter({"d4"}, 1, 0, 0),
                      recordAfter({"c4"}, 0, 1, 0), recordAfter({"Nf3"}, 0, 0, 1)},
                     {});
    BookRig& engine = *book.engine;
    engine.fillRootMoves();
    const int e4 = book.indexOf("e4"), d4 = book.indexOf("d4");
    ASSERT_GE(e4, 0);
    ASSERT_GE(d4, 0);
    // The random terms are drawn in the order of the list, for non-zero scores only.
    std::srand(12345);
    const int first = bookRandomTerm(), second = bookRandomTerm();
    const int e4Term = e4 < d4 ? first : second, d4Term = e4 < d4 ? second : first;
    std::srand(12345);
    const Move chosen = engine.chooseMove();

    // total = 23 games. e4: 25 of 40 points, times 20/23 -> 54.35; d4: 100 x 1/23 -> 4.35.
    // c4 (one loss) and Nf3 (one draw) have a single game and no win: score 0.
    EXPECT_EQ(chosen, engine.moves[0]);
    EXPECT_EQ(book.indexOf("e4"), 0);
    EXPECT_EQ(book.indexOf("d4"), 1);
    EXPECT_EQ(engine.scores[0], 54 + e4Term);
    EXPECT_EQ(engine.scores[1], 4 + d4Term);
    for (int i = 2; i < engine.count; ++i) EXPECT_EQ(engine.scores[i], 0);
    EXPECT_EQ(engine.count, 20);
}

TEST(BookMove, MovesWithoutAPositiveScoreAreNeverPlayed) {
    // A learning weight of 0 cancels any results. (Single games without a win
    // score 0, as the weighted-share test shows.)
    BookFixture unlearned({recordAfter({"e4"}, 500, 0, 0, 0)}, {});
    unlearned.engine->fillRootMoves();
    EXPECT_EQ(unlearned.engine->chooseMove(), NO_MOVE);

    // A single win is enough.
    BookFixture won({recordAfter({"b3"}, 1, 0, 0)}, {});
    won.engine->fillRootMoves();
    const Move b3 = parseMove(won.engine->position, "b3");
    EXPECT_EQ(won.engine->chooseMove(), b3);

    // No book at all.
    auto engine = bookRig("none.dat");
    engine->fillRootMoves();
    EXPECT_EQ(engine->chooseMove(), NO_MOVE);
}

TEST(BookMove, BlackLooksInTheSectionOfBlackMoves) {
    // The same position keys in the white section do not count for black.
    BookFixture book({recordAfter({"e4", "c5"}, 50, 0, 0)}, {recordAfter({"e4", "e5"}, 3, 1, 0)});
    BookRig& engine = *book.engine;
    ASSERT_TRUE(playMoves(engine.position, {"e4"}));
    engine.fillRootMoves();
    const Move e5 = parseMove(engine.position, "e5");
    EXPECT_EQ(engine.chooseMove(), e5);
}

TEST(BookMove, AListedMoveThatCannotBePlayedIsRejectedWhateverItsRecord) {
    // The position that a pawn jump e2-e5 would give stands in the book with many
    // wins, as a colliding key would; the move must never be made or chosen.
    const uint64_t key = positionAt("rnbqkbnr/pppppppp/8/4P3/8/8/PPPP1PPP/RNBQKBNR b KQkq -")->board.key;
    BookFixture book({BookRecord{keyLow(key), keyHigh(key), 900, 0, 0, 100}, recordAfter({"a3"}, 0, 1, 0)},
                     {});
    BookRig& engine = *book.engine;
    engine.fillRootMoves();
    const Move jump = buildMove(E2, E5, PAWN, 0, 0, MOVE_PAWN);
    engine.moves[engine.count++] = jump;
    const uint64_t before = engine.board().key;
    EXPECT_EQ(engine.chooseMove(), NO_MOVE);
    EXPECT_EQ(engine.board().key, before);
    EXPECT_EQ(engine.position.gamePly, 0);
    for (int i = 0; i < engine.count; ++i) EXPECT_EQ(engine.scores[i], 0);
}

TEST(BookListing, TheTableShowsMovesWithGamesMostPlayedFirst) {
    BookFixture book({recordAfter({"e4"}, 10, 5, 5), recordAfter({"d4"}, 2, 0, 1),
                      recordAfter({"c4"}, 0, 2, 0), recordAfter({"Nf3"}, 0, 0, 1, 50)},
                     {recordAfter({"e4", "e5"}, 99, 0, 0)});
    // A fresh random term for each row whose product is not 0: e4, d4, then Nf3.
    std::srand(777);
    const int r1 = bookRandomTerm(), r2 = bookRandomTerm(), r3 = bookRandomTerm();
    std::srand(777);
    const std::string out = book.listing();

    // total = 26 games; sortv = played x score / total x learn. The 16 legal
    // moves without games have no row.
    auto row = [](const std::string& counts, double sortv) {
        char text[16];
        std::snprintf(text, sizeof text, "%7.2f", sortv);
        return counts + " " + text + "\n";
    };
    EXPECT_EQ(
        out, "  move   played   +        -        =       score   learn   sortv\n" +
                 row("    e4     20   50.00%   25.00%   25.00%   62.50%    1.00", 20 * 62.5 / 26 + r1) +
                 row("    d4      3   66.67%    0.00%   33.33%   83.33%    1.00", 3 * (500.0 / 6) / 26 + r2) +
                 row("    c4      2    0.00%  100.00%    0.00%    0.00%    1.00", 0) +
                 row("   Nf3      1    0.00%    0.00%  100.00%   50.00%    0.50", 1 * 50.0 / 26 * 0.5 + r3));
}

TEST(BookListing, CheckingMovesCarryTheirSign) {
    // 1. e4 f6 2. d4 g5: Qh5 mates; the book lists it in SAN with its suffix.
    BookFixture book({recordAfter({"e4", "f6", "d4", "g5", "Qh5"}, 4, 0, 0)}, {});
    ASSERT_TRUE(playMoves(book.engine->position, {"e4", "f6", "d4", "g5"}));
    const std::string out = book.listing();
    EXPECT_NE(out.find("\n  Qh5#      4  100.00%    0.00%    0.00%  100.00%    1.00 "), std::string::npos)
        << out;
}
