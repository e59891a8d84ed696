// The position's game record: adjudication of finished games and exact copies.
// Exact undo is checked move by move by the random walk.
#include "testutil.h"

// The game-end test and the result the engine announces for it.
TEST(GameRecord, TheGameEndTestFindsMatesStalemateAndTheDrawRules) {
    struct Case {
        const char* fen;
        int fifty; // the record's counter before the moves
        std::vector<std::string> moves;
        GameEnd expected;
        const char* announced;
    };
    const std::vector<std::string> knightDance = {"Nf3", "Nf6", "Ng1", "Ng8"};
    std::vector<std::string> twoDances = knightDance, threeDances = knightDance;
    twoDances.insert(twoDances.end(), knightDance.begin(), knightDance.end());
    threeDances.insert(threeDances.end(), twoDances.begin(), twoDances.end());
    const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    const char* drawn = "1/2-1/2 {Draw by insufficent material}\n";
    const char* fiftyMoves = "1/2-1/2 {Draw by fifty move rule}\n";
    const Case cases[] = {
        // A draw only when the position stands for the fourth time.
        {start, 0, twoDances, GameEnd::None, ""},
        {start, 0, threeDances, GameEnd::Repetition, "1/2-1/2 {Draw by repetition}\n"},
        {"4k3/8/8/8/8/8/8/R3K3 w - -", 99, {"Ra2"}, GameEnd::FiftyMoves, fiftyMoves},
        // Mate on the hundredth ply is mate, not a draw.
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", 99, {"Ra8"}, GameEnd::WhiteMates, "1-0 {White mates}\n"},
        {start, 0, {"f3", "e5", "g4", "Qh4"}, GameEnd::BlackMates, "0-1 {Black mates}\n"},
        {"7k/5Q2/8/8/8/8/8/K7 w - -", 0, {"Qf7g6"}, GameEnd::Stalemate, "1/2-1/2 {Stalemate}\n"},
        // Bare kings, or a minor against a bare king; two knights, a minor each or a pawn play on.
        {"4k3/8/8/8/8/8/8/4K3 w - -", 0, {}, GameEnd::InsufficientMaterial, drawn},
        {"4k3/8/8/8/8/7r/8/4KB2 w - -", 0, {"Bxh3"}, GameEnd::InsufficientMaterial, drawn},
        {"4k3/8/8/8/8/7r/8/3NKN2 w - -", 0, {"Nxh2"}, GameEnd::None, ""},
        {"4kb2/8/8/8/8/7r/8/4KB2 w - -", 0, {"Bxh3"}, GameEnd::None, ""},
        {"4kn2/8/8/8/8/8/8/4KN2 w - -", 0, {}, GameEnd::None, ""},
        {"4k3/8/8/8/8/8/4P3/4K3 w - -", 0, {}, GameEnd::None, ""},
    };
    for (const Case& c : cases) {
        auto engine = engineAt(c.fen);
        engine->game().position.top().fifty = c.fifty;
        ASSERT_TRUE(playMoves(engine->game().position, c.moves)) << c.fen;
        EXPECT_EQ(engine->game().position.gameEnd(), c.expected)
            << c.fen << " after " << c.moves.size() << " moves";
        testing::internal::CaptureStdout();
        const int result = engine->game().checkEnd(*engine);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.announced) << c.fen;
        EXPECT_EQ(result != NO_RESULT, c.expected != GameEnd::None) << c.fen;
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
