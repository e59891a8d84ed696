// The options analysts, players and bots reach for, through the real program:
// the move overhead, Chess960, several lines of analysis and strength levels,
// each in UCI, xboard and falkmere.ini.
#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

#include "shell/uci.h"

#include "program.h"
#include "testutil.h"

namespace {

// The program's answer to `input` in a fresh directory whose falkmere.ini is `ini`.
std::string runWithIni(const std::string& ini, const std::string& input) {
    TempDir dir;
    dir.write("falkmere.ini", ini);
    return runProgram(dir.path(), input);
}

// A conversation with the program: each step's lines are sent once the text
// the step before waited for has appeared; then quit. What it printed.
std::string converse(const std::string& ini, const std::vector<std::pair<std::string, std::string>>& steps) {
    TempDir dir;
    dir.write("falkmere.ini", ini);
    Program program(dir.path());
    for (const auto& [lines, awaited] : steps) {
        const size_t from = program.output().size();
        program.send(lines);
        EXPECT_TRUE(program.waitFor(awaited, from)) << lines << program.output();
    }
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);
    return program.output();
}

// The lines of `text` that begin with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(MoveOverhead, TheIniKeySetsTheOptionBothProtocolsOffer) {
    const std::string uci = runWithIni("MOVE_OVERHEAD 250\n", "uci\nquit\n");
    EXPECT_EQ(linesStartingWith(uci, "option name Move Overhead"),
              std::vector<std::string>{"option name Move Overhead type spin default 250 min 0 max 5000"});
    const std::string xboard = runWithIni("MOVE_OVERHEAD 0\n", "xboard\nprotover 2\nquit\n");
    EXPECT_EQ(linesStartingWith(xboard, "feature option=\"Move"),
              std::vector<std::string>{"feature option=\"Move Overhead -spin 0 0 5000\""});
}

TEST(MoveOverhead, AValueOutsideTheRangeIsRefusedAndChangesNothing) {
    const std::string ini = runWithIni("MOVE_OVERHEAD -5\n", "uci\nquit\n");
    EXPECT_NE(ini.find("Move Overhead takes a number from 0 to 5000, not \"-5\"; unchanged\n"),
              std::string::npos);
    EXPECT_NE(ini.find("option name Move Overhead type spin default 50 min"), std::string::npos);
    const std::string uci = runWithIni(
        "", "uci\nsetoption name Move Overhead value 9000\nsetoption name move overhead value 120\n"
            "uci\nquit\n");
    EXPECT_NE(uci.find("info string Move Overhead takes a number from 0 to 5000, not \"9000\"; unchanged\n"),
              std::string::npos);
    EXPECT_NE(uci.find("option name Move Overhead type spin default 120 min"), std::string::npos);
}

namespace {

// White's only legal move is the king taking its rook on g1 (O-O): e1 and e2
// are the black rook's, f2 the pawn's, and every other white man is stuck.
const std::string ONLY_CASTLE = "k3r3/8/8/8/8/6p1/6P1/5KRB w K - 0 1";
const std::string AFTER_CASTLE = "k3r3/8/8/8/8/6p1/6P1/5RKB b - -";
// A Chess960 game some moves in: White may castle on both wings, Black on the
// king's (the queen blocks the other).
const std::string OPEN_WINGS = "bbqr1kr1/pppp1ppp/6nQ/4pn2/3P4/5NN1/PPP1PPPP/BB1R1KR1 w GDgd - 4 5";

} // namespace

TEST(Chess960, UciReadsAndWritesCastlingAsTheKingTakingItsRook) {
    const std::string out = converse(
        "",
        {{"uci\nsetoption name UCI_Chess960 value true\nuci\nposition fen " + ONLY_CASTLE + "\ngo depth 3\n",
          "bestmove"},
         {"position fen " + OPEN_WINGS + " moves f1d1\ngo depth 1 searchmoves f8g8\n", "bestmove"}});
    EXPECT_NE(out.find("option name UCI_Chess960 type check default false\n"), std::string::npos);
    EXPECT_NE(out.find("option name UCI_Chess960 type check default true\n"), std::string::npos);
    EXPECT_EQ(linesStartingWith(out, "bestmove"),
              (std::vector<std::string>{"bestmove f1g1", "bestmove f8g8"}))
        << out;
    EXPECT_EQ(out.find("illegal move"), std::string::npos) << out;
}

TEST(Chess960, StandardUciRefusesTheKingTakingItsRook) {
    const std::string out = runWithIni("", "uci\nposition startpos moves g1f3 g8f6 g2g3 g7g6 f1g2 f8g7 e1h1\n"
                                           "setoption name UCI_Chess960 value false\nquit\n");
    EXPECT_NE(out.find("info string illegal move e1h1: the moves after it are left out"), std::string::npos)
        << out;
}

TEST(Chess960, XboardPlaysFischerandomAndCastlesAsOO) {
    const std::string out = converse("", {{"xboard\nprotover 2\nnew\nvariant fischerandom\nsetboard " +
                                               ONLY_CASTLE + "\nsd 2\ngo\nping 1\n",
                                           "pong 1"},
                                          {"fen\nnew\nvariant fischerandom\nforce\nsetboard " + OPEN_WINGS +
                                               "\nusermove O-O-O\nusermove O-O\nfen\nnew\nfen\nping 2\n",
                                           "pong 2"}});
    EXPECT_NE(out.find(" variants=\"normal,fischerandom\" "), std::string::npos);
    EXPECT_EQ(linesStartingWith(out, "move "), std::vector<std::string>{"move O-O"}) << out;
    EXPECT_EQ(linesStartingWith(out, "k3r3"), std::vector<std::string>{AFTER_CASTLE}) << out;
    // White's king went from f1 to c1, its rook stayed on d1; Black's king went
    // to g8 and its rook to f8.
    EXPECT_EQ(linesStartingWith(out, "bbqr"),
              std::vector<std::string>{"bbqr1rk1/pppp1ppp/6nQ/4pn2/3P4/5NN1/PPP1PPPP/BBKR2R1 w - -"})
        << out;
    EXPECT_EQ(linesStartingWith(out, "rnbqkbnr"),
              std::vector<std::string>{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"});
    EXPECT_EQ(out.find("Illegal move"), std::string::npos) << out;
    EXPECT_EQ(out.find("Error"), std::string::npos) << out;
}

TEST(Chess960, TheConsoleSwitchesVariantsAndCountsChess960Moves) {
    // Counts of Debian's Stockfish (tests/data/perft960.epd).
    const std::string out = runWithIni("", "variant fischerandom\nsetboard " + OPEN_WINGS +
                                               "\nperft 3\nsetboard 4k3/8/8/8/8/8/8/rR2K2R w KQ - 0 1\n"
                                               "perft 3\nfen\nsetboard 4k3/8/8/8/8/8/8/rR2K2R w BH - 0 1\n"
                                               "fen\nvariant chess960\nquit\n");
    EXPECT_NE(out.find("searched 39454 moves in"), std::string::npos) << out;
    EXPECT_NE(out.find("searched 4969 moves in"), std::string::npos) << out;
    // X-FEN out, whether X-FEN or Shredder-FEN came in: b1 and h1 hold the
    // outermost rooks of their wings.
    const std::string written = "WHITE<1>: 4k3/8/8/8/8/8/8/rR2K2R w KQ -\n";
    const size_t first = out.find(written);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_NE(out.find(written, first + 1), std::string::npos) << out;
    EXPECT_NE(out.find("Error (unsupported variant): chess960\n"), std::string::npos) << out;
}

