// The generators' promotion order, and the special cases of generation. (The
// order of the other moves shows in the bench node count.)
#include <algorithm>
#include <random>

#include "shell/perft.h"
#include "testutil.h"

namespace {

std::vector<std::string> generated(Position& e, void (Board::*gen)(Move*, int&) const) {
    Move moves[MAX_MOVES];
    int count = 0;
    (e.board.*gen)(moves, count);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(coord(moves[i]));
    return out;
}

} // namespace

TEST(MoveGeneration, PromotionsComeQueenKnightRookBishopWithCapturesFirst) {
    auto e = positionAt("r1n4k/1P6/8/8/8/8/8/K7 w - -");
    const std::vector<std::string> captures = {"b7c8Q", "b7c8N", "b7c8R", "b7c8B", "b7a8Q",
                                               "b7a8N", "b7a8R", "b7a8B", "b7b8Q"};
    EXPECT_EQ(generated(*e, &Board::generateCaptures), captures);
    const auto quiet = generated(*e, &Board::generateQuiet);
    const std::vector<std::string> underPromotions = {"b7b8N", "b7b8R", "b7b8B"};
    EXPECT_EQ(std::vector<std::string>(quiet.end() - 3, quiet.end()), underPromotions);
    // The quiescence list keeps only the queen promotions.
    const std::vector<std::string> checksAndCaptures = {"b7c8Q", "b7a8Q", "b7b8Q"};
    EXPECT_EQ(generated(*e, &Board::generateChecksAndCaptures), checksAndCaptures);
}

TEST(MoveGeneration, CastlingNeedsKingAndRookAtHomeEvenWithRightsInTheText) {
    // Rights granted without a rook on h1: no castling move may be produced.
    auto e = positionAt("4k3/8/8/8/8/8/8/R3K3 w KQ -");
    const auto quiet = generated(*e, &Board::generateQuiet);
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), "e1g1"), 0);
    EXPECT_EQ(quiet.front(), "e1c1");
    EXPECT_EQ(e->board.isPseudoLegal(CASTLE_WHITE_KINGSIDE), 0);
    EXPECT_EQ(e->board.isPseudoLegal(CASTLE_WHITE_QUEENSIDE), 1);
}

TEST(MoveGeneration, ImpossibleEnPassantSquareFromTextGivesNoCapture) {
    // No black pawn stands behind e6, so there is nothing to take there.
    auto e = positionAt("4k3/8/8/3P4/8/8/8/4K3 w - e6");
    EXPECT_TRUE(generated(*e, &Board::generateCaptures).empty());
    EXPECT_EQ(perft(*e, 3), perft(*positionAt("4k3/8/8/3P4/8/8/8/4K3 w - -"), 3));
}

TEST(MoveGeneration, CrowdedMadeUpPositionsNeverOverflowTheList) {
    // Far more pieces than games produce: no generator writes past the room.
    std::mt19937 rng(5);
    const char pieces[] = "QQQQRRBNPqrbnp";
    int most = 0;
    for (int i = 0; i < 2000; ++i) {
        std::string placement(64, '1');
        placement[rng() % 64] = 'K';
        int k;
        do k = rng() % 64;
        while (placement[k] != '1');
        placement[k] = 'k';
        const int extra = 10 + rng() % 40;
        for (int n = 0; n < extra; ++n) {
            const int s = rng() % 64;
            if (placement[s] == '1') placement[s] = pieces[rng() % (sizeof pieces - 1)];
        }
        std::string fen;
        for (int r = 0; r < 8; ++r) fen += placement.substr(r * 8, 8) + (r < 7 ? "/" : "");
        fen += " w - -";
        Board b;
        ASSERT_EQ(b.readFen(fen.c_str()), 1);
        Move moves[MAX_MOVES + 64];
        for (auto gen : {&Board::generateAll, &Board::generateCaptures, &Board::generateQuiet,
                         &Board::generateChecksAndCaptures, &Board::generateEvasions}) {
            std::fill(std::begin(moves), std::end(moves), 0xFFFFFFFFu);
            int count = 0;
            (b.*gen)(moves, count);
            ASSERT_LE(count, MAX_MOVES) << fen;
            for (int j = MAX_MOVES; j < MAX_MOVES + 64; ++j) ASSERT_EQ(moves[j], 0xFFFFFFFFu) << fen;
            most = std::max(most, count);
        }
    }
    EXPECT_GT(most, 150);
}
