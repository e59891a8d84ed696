// The game record: adjudication of finished games and exact undo.
#include "testutil.h"

namespace {

void play(Engine& e, const std::vector<std::string>& moves) {
    for (const auto& text : moves) {
        Move m = NO_MOVE;
        e.parseMove(m, text.c_str());
        ASSERT_NE(m, NO_MOVE) << text;
        e.pushGameMove(m);
    }
}

int gameEnd(Engine& e, std::string& printed) {
    testing::internal::CaptureStdout();
    const int result = e.checkGameEnd();
    printed = testing::internal::GetCapturedStdout();
    return result;
}

} // namespace

TEST(GameRecord, DrawOnlyWhenThePositionStandsForTheFourthTime) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    std::string printed;
    for (int cycle = 1; cycle <= 2; ++cycle) {
        play(*e, {"Nf3", "Nf6", "Ng1", "Ng8"});
        EXPECT_EQ(gameEnd(*e, printed), 0) << "after cycle " << cycle;
        EXPECT_EQ(printed, "");
    }
    play(*e, {"Nf3", "Nf6", "Ng1", "Ng8"});
    EXPECT_EQ(gameEnd(*e, printed), 3);
    EXPECT_EQ(printed, "1/2-1/2 {Draw by repetition}\n");
}

TEST(GameRecord, FiftyMoveRule) {
    auto e = engineAt("4k3/8/8/8/8/8/8/R3K3 w - -");
    e->top().fifty = 99;
    play(*e, {"Ra2"});
    std::string printed;
    EXPECT_EQ(gameEnd(*e, printed), 3);
    EXPECT_EQ(printed, "1/2-1/2 {Draw by fifty move rule}\n");
}

TEST(GameRecord, MateOnTheHundredthPlyIsMateNotADraw) {
    auto e = engineAt("6k1/5ppp/8/8/8/8/8/R5K1 w - -");
    e->top().fifty = 99;
    play(*e, {"Ra8"});
    EXPECT_EQ(e->top().fifty, 100);
    std::string printed;
    EXPECT_EQ(gameEnd(*e, printed), 1);
    EXPECT_EQ(printed, "1-0 {White mates}\n");
}

TEST(GameRecord, BlackMatesAndStalemate) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    play(*e, {"f3", "e5", "g4", "Qh4"});
    std::string printed;
    EXPECT_EQ(gameEnd(*e, printed), 2);
    EXPECT_EQ(printed, "0-1 {Black mates}\n");

    auto s = engineAt("7k/5Q2/8/8/8/8/8/K7 w - -");
    play(*s, {"Qf7g6"});
    EXPECT_EQ(gameEnd(*s, printed), 3);
    EXPECT_EQ(printed, "1/2-1/2 {Stalemate}\n");
}

TEST(GameRecord, InsufficientMaterial) {
    std::string printed;
    auto bishop = engineAt("4k3/8/8/8/8/7r/8/4KB2 w - -");
    play(*bishop, {"Bxh3"});
    // The capture left king and bishop against king.
    EXPECT_EQ(gameEnd(*bishop, printed), 3);
    EXPECT_EQ(printed, "1/2-1/2 {Draw by insufficent material}\n");
    auto knights = engineAt("4k3/8/8/8/8/8/7r/3NKN2 w - -");
    play(*knights, {"Nxh2"});
    EXPECT_EQ(gameEnd(*knights, printed), 0);
    auto bishops = engineAt("4kb2/8/8/8/8/7r/8/4KB2 w - -");
    play(*bishops, {"Bxh3"});
    EXPECT_EQ(gameEnd(*bishops, printed), 0);
}

TEST(GameRecord, HalfMoveClockOfTheTextIsNotCarriedOver) {
    auto e = engineAt("4k3/8/8/8/8/8/8/R3K3 w - - 90 70");
    EXPECT_EQ(e->top().fifty, 0);
}

TEST(GameRecord, UndoRestoresCastlingAndEnPassantExactly) {
    auto e = engineAt("r3k2r/8/8/8/4p3/8/3P4/R3K2R w KQkq -");
    const std::string start = e->board.fen();
    const uint64_t key = e->board.key;
    play(*e, {"d4"});
    EXPECT_EQ(e->board.epSquare, D3);
    play(*e, {"exd3"});
    play(*e, {"Kf1"});
    EXPECT_EQ(e->board.castling, 12);
    for (int i = 0; i < 3; ++i) e->popMove();
    EXPECT_EQ(e->board.fen(), start);
    EXPECT_EQ(e->board.key, key);
    EXPECT_EQ(e->board.castling, 15);
}
