// The book in play, through the real program: a Polyglot book loaded by
// command or from falkmere.ini, listed, played from (with the xboard kibitz),
// refused when damaged; building and learning keep to the engine's format.
#include "book/polyglotkey.h"
#include "book/polyglottest.h"
#include "program.h"

namespace {

// 1. e4 (weight 3) and 1. d4 (weight 1) for the initial position.
void writeStartBook(const TempDir& dir, const std::string& name) {
    auto start = positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const uint64_t key = polyglotKey(start->board);
    writePolyglotFile(dir.file(name), {{key, polyglotWord("e2e4"), 3, 0}, {key, polyglotWord("d2d4"), 1, 0}});
}

} // namespace

TEST(PolyglotBookInPlay, LoadedByCommandItIsNamedAndListedWithWeightsAndShares) {
    TempDir dir;
    writeStartBook(dir, "start.bin");
    dir.write("damaged.bin", std::string(17, 'x'));
    const std::string out =
        afterStartup(runProgram(dir.path(), "book load start.bin\nbook\nbook load damaged.bin\nbook\n"));
    EXPECT_EQ(out,
              "WHITE<1>: Polyglot book start.bin: 2 entries\n"
              "WHITE<1>:   move   weight   share\n"
              "    e4        3  75.00%\n"
              "    d4        1  25.00%\n"
              "WHITE<1>: polyglot book 'damaged.bin': 17 bytes is not a whole number of 16-byte entries\n"
              "Book not loaded\n"
              "WHITE<1>:   move   played   +        -        =       score   learn   sortv\n"
              "WHITE<1>: ")
        << out;
}

TEST(PolyglotBookInPlay, FromTheIniTheEnginePlaysItsMovesWithTheBookKibitz) {
    TempDir dir;
    writeStartBook(dir, "start.bin");
    dir.write("falkmere.ini", "USE_BOOK ON\nBOOK_PATH start.bin\nBOOK_BEST_MOVE ON\n");
    const std::string out = runProgram(dir.path(), "xboard\nprotover 2\nnew\nforce\ngo\nforce\n");
    EXPECT_NE(out.find("Polyglot book start.bin: 2 entries\n"), std::string::npos) << out;
    EXPECT_NE(out.find("kibitz bookmove\nmove e2e4\n"), std::string::npos) << out;
}

TEST(PolyglotBookInPlay, BuildingABookKeepsToTheEnginesFormatAndSaysSo) {
    TempDir dir;
    writeStartBook(dir, "start.bin");
    dir.write("games.pgn",
              "[WhiteElo \"2500\"]\n[BlackElo \"2500\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n");
    dir.write("falkmere.ini", "BOOK_PATH start.bin\n");
    const std::string out = runProgram(dir.path(), "book load start.bin\nbook cpgn games.pgn 4 0\n");
    EXPECT_NE(
        out.find("The Polyglot book start.bin is read only: book cpgn uses the book in the engine's format "
                 "(book.dat)\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("Book created! (book.dat)\n"), std::string::npos) << out;
    EXPECT_TRUE(dir.exists("book.dat"));
    EXPECT_EQ(dir.read("start.bin").size(), 32u) << "the Polyglot book is left as it was";
}
