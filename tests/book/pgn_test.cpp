// Reading PGN: games split into tags and move text, move text cleaned to moves.
#include "book/pgn.h"

#include "book/booktest.h"

namespace {

std::vector<std::string> tokensOf(const std::string& moveText, bool* closed = nullptr) {
    std::string text = moveText;
    const bool ok = cleanMoveText(text);
    if (closed) *closed = ok;
    std::vector<const char*> tokens;
    splitTokens(text, tokens);
    return std::vector<std::string>(tokens.begin(), tokens.end());
}

using Tokens = std::vector<std::string>;

std::vector<PgnGame> readGames(const std::string& pgn, int minElo) {
    TempDir dir;
    dir.write("games.pgn", pgn);
    FILE* file = std::fopen(dir.path("games.pgn").c_str(), "r");
    std::vector<PgnGame> games;
    PgnReader reader(file, minElo);
    for (PgnGame game; reader.nextGame(game);) games.push_back(game);
    std::fclose(file);
    return games;
}

} // namespace

TEST(PgnMoveText, CommentsVariationsNumbersAnnotationsAndLineEndsLeaveOnlyTheMoves) {
    // Nested variations with comments inside, both closing properly.
    EXPECT_EQ(tokensOf("1. d4 (1. e4 e5 (1... c5 {Sicilian (open)} 2. Nf3) 2. Nf3) 1... d5 0-1"),
              (Tokens{"d4", "d5"}));
    EXPECT_EQ(tokensOf("1/2-1/2"), Tokens{});
    EXPECT_EQ(tokensOf("1.e4 e5 2.Nf3 0-1"), (Tokens{"e4", "e5", "Nf3"}));
    // Move numbers with three dots are removed whole in the main line.
    EXPECT_EQ(tokensOf("12. Nf3 {note} 12... Nc6 13.d4 13...exd4"), (Tokens{"Nf3", "Nc6", "d4", "exd4"}));
    EXPECT_EQ(tokensOf("5. ... Nc6"), (Tokens{"Nc6"}));
    EXPECT_EQ(tokensOf("1. e4 {a comment (with a bracket} 1... e5!? 2. Nf3 2... Nf6!!"),
              (Tokens{"e4", "e5", "Nf3", "Nf6"}));
    // Annotations nags and the unfinished mark are not moves.
    EXPECT_EQ(tokensOf("1. e4! e5? 2. Nf3!? Nc6?! 3. Bb5!! $1 a6 $14 4. Ba4 +- *"),
              (Tokens{"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4"}));
    EXPECT_EQ(tokensOf("1. e4 e5 ; rest of line (ignored\n2. Nf3 %not a comment here\n% escaped line\n*"),
              (Tokens{"e4", "e5", "Nf3", "%not", "a", "comment", "here"}));
    // Castling with zeros checks and promotions stay.
    EXPECT_EQ(tokensOf("10. 0-0 0-0-0 11. O-O+ e8=Q# 0-1"), (Tokens{"0-0", "0-0-0", "O-O+", "e8=Q#"}));
    // Windows line ends and tabs are spaces.
    EXPECT_EQ(tokensOf("1. e4\r\ne5\t2. Nf3\r\n"), (Tokens{"e4", "e5", "Nf3"}));
}

TEST(PgnMoveText, TextEndingInsideACommentOrVariationIsReported) {
    bool closed = true;
    EXPECT_EQ(tokensOf("1. e4 {never closed e5", &closed), Tokens{"e4"});
    EXPECT_FALSE(closed);
    EXPECT_EQ(tokensOf("1. e4 (1. d4 d5 2. c4", &closed), Tokens{"e4"});
    EXPECT_FALSE(closed);
    // Parentheses inside a comment are text; a stray closing bracket is dropped.
    EXPECT_EQ(tokensOf("1. e4 {see 1) above :)} e5 ) 2. Nf3", &closed), (Tokens{"e4", "e5", "Nf3"}));
    EXPECT_TRUE(closed);
}

TEST(PgnReading, TagsGiveRatingsAboveTheThresholdAndTheResult) {
    const auto games =
        readGames("[Event \"a\"]\n[WhiteElo \"2001\"]\n[BlackElo \"2000\"]\n[Result \"1-0\"]\n\n1. e4 1-0\n\n"
                  "[WhiteElo \"2500\"]\n[BlackElo \"2600\"]\n[Result \"0-1\"]\n1. d4 0-1\n"
                  "[WhiteElo \"?\"]\n[BlackElo \"2600\"]\n[Result \"1/2-1/2\"]\n1. c4 1/2-1/2\n"
                  "[WhiteElo \"2100\"]\n[Result \"*\"]\n1. f4 *\n",
                  2000);
    ASSERT_EQ(games.size(), 4u);
    EXPECT_TRUE(games[0].whiteRated);
    EXPECT_FALSE(games[0].blackRated); // equal to the threshold is not above it
    EXPECT_EQ(games[0].result, WHITE_WON);
    EXPECT_EQ(games[0].moveText, "\n1. e4 1-0\n\n");
    EXPECT_TRUE(games[1].whiteRated && games[1].blackRated);
    EXPECT_EQ(games[1].result, BLACK_WON);
    EXPECT_FALSE(games[2].whiteRated);
    EXPECT_EQ(games[2].result, DRAWN);
    EXPECT_FALSE(games[3].blackRated);
    EXPECT_EQ(games[3].result, NO_RESULT);
}

// A game without a result tag after one with a result: see the book creation tests' hand-made games.
TEST(PgnReading, RatingsBelongToTheirOwnGameAndEndOfFileEndsTheGames) {
    // The second game's first tag, right after the first game's moves, is its rating: it must count.
    const auto games = readGames("[WhiteElo \"2500\"]\n[BlackElo \"2500\"]\n1. e4\n[WhiteElo \"2500\"]\n"
                                 "[BlackElo \"2500\"]\n1. d4\n",
                                 2000);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_TRUE(games[1].whiteRated && games[1].blackRated);
    // End of file in the tags ends the games.
    EXPECT_TRUE(readGames("", 0).empty());
    EXPECT_TRUE(readGames("[Event \"only tags\"]\n[Site \"x\"]\n", 0).empty());
    EXPECT_EQ(readGames("[Event \"x\"]\n1. e4", 0).size(), 1u); // last line without line end
}

TEST(PgnReading, LongLinesCrLfAndAByteOrderMarkAreRead) {
    const std::string longTag = "[Annotator \"" + std::string(5000, 'x') + "\"]\r\n";
    const std::string longMoves = std::string(3000, ' ') + "1. e4 e5\r\n";
    const auto games = readGames("\xEF\xBB\xBF[WhiteElo \"2500\"]\r\n" + longTag +
                                     "[BlackElo \"2500\"]\r\n"
                                     "[Result \"1/2-1/2\"]\r\n\r\n" +
                                     longMoves,
                                 2000);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_TRUE(games[0].whiteRated && games[0].blackRated);
    EXPECT_EQ(games[0].result, DRAWN);
    EXPECT_EQ(tokensOf(games[0].moveText), (Tokens{"e4", "e5"}));
}
