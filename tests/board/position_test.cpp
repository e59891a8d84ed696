// The position's game record: adjudication of finished games and exact copies.
// Exact undo is checked move by move by the random walk.
#include "testutil.h"

TEST(GameRecord, TheGameEndTestFindsMatesStalemateAndTheDrawRules) {
    struct Case {
        const char* fen;
        int fifty; // the record's counter before the moves
        std::vector<std::string> moves;
        GameEnd expected;
    };
    const std::vector<std::string> knightDance = {"Nf3", "Nf6", "Ng1", "Ng8"};
    std::vector<std::string> twoDances = knightDance, threeDances = knightDance;
    twoDances.insert(twoDances.end(), knightDance.begin(), knightDance.end());
    threeDances.insert(threeDances.end(), twoDances.begin(), twoDances.end());
    const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    const Case cases[] = {
        // A draw only when the position stands for the fourth time.
        {start, 0, twoDances, GameEnd::None},
        {start, 0, threeDances, GameEnd::Repetition},
        {"4k3/8/8/8/8/8/8/R3K3 w - -", 99, {"Ra2"}, GameEnd::FiftyMoves},
        // Mate on the hundredth ply is mate, not a draw.
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", 99, {"Ra8"}, GameEnd::WhiteMates},
        {start, 0, {"f3", "e5", "g4", "Qh4"}, GameEnd::BlackMates},
        {"7k/5Q2/8/8/8/8/8/K7 w - -", 0, {"Qf7g6"}, GameEnd::Stalemate},
        // King and bishop against king; two knights or two bishops play on.
        {"4k3/8/8/8/8/7r/8/4KB2 w - -", 0, {"Bxh3"}, GameEnd::InsufficientMaterial},
        {"4k3/8/8/8/8/8/7r/3NKN2 w - -", 0, {"Nxh2"}, GameEnd::None},
        {"4kb2/8/8/8/8/7r/8/4KB2 w - -", 0, {"Bxh3"}, GameEnd::None},
    };
    for (const Case& c : cases) {
        auto position = positionAt(c.fen);
        position->top().fifty = c.fifty;
        ASSERT_TRUE(playMoves(*position, c.moves)) << c.fen;
        EXPECT_EQ(position->gameEnd(), c.expected) << c.fen << " after " << c.moves.size() << " moves";
    }
}

TEST(GameRecord, TheEngineAnnouncesEachResult) {
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"7k/5Q2/8/8/8/8/8/K7 w - -", "Qf7g6", "1/2-1/2 {Stalemate}\n", DRAWN},
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", "Ra8", "1-0 {White mates}\n", WHITE_WON},
        {"4k3/8/8/8/8/7r/8/4KB2 w - -", "Bxh3", "1/2-1/2 {Draw by insufficent material}\n", DRAWN},
    };
    for (const auto& [fen, move, announced, expected] : cases) {
        auto engine = engineAt(fen);
        ASSERT_TRUE(playMoves(engine->position, {move}));
        testing::internal::CaptureStdout();
        const int result = engine->checkGameEnd();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), announced);
        EXPECT_EQ(result, expected);
    }
}

TEST(GameRecord, TheTextsMoveCountersAreDropped) {
    EXPECT_EQ(positionAt("4k3/8/8/8/8/8/8/R3K3 w - - 90 70")->top().fifty, 0);
}

TEST(GameRecord, TheRootOfASearchLineIsTheGamePosition) {
    auto game = positionAt("r3k2r/8/8/8/4p3/8/3P4/R3K2R w KQkq -");
    ASSERT_TRUE(playMoves(*game, {"d4"}));
    const std::string fen = game->board.fen();
    game->pushMove(moveNamed(*game, "e4d3"));
    game->pushNullMove();
    game->pushMove(moveNamed(*game, "e8g8"));
    Position root;
    copyRootOf(*game, root);
    EXPECT_EQ(root.board.fen(), fen);
    EXPECT_EQ(root.gamePly, 1);
    EXPECT_EQ(root.searchPly, 0);
    std::string why;
    EXPECT_TRUE(root.board.isConsistent(&why)) << why;
    EXPECT_EQ(game->searchPly, 3) << "the searched position is untouched";
}
