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

namespace {

// One line of a UCI report: its depth, rank, score (mates far beyond any
// centipawn score) and first move.
struct ReportedLine {
    int depth = 0;
    int rank = 0;
    int score = 0;
    std::string move;
};

std::vector<ReportedLine> reportedLines(const std::string& out) {
    std::vector<ReportedLine> lines;
    const std::regex pattern("info depth ([0-9]+) seldepth [0-9]+ multipv ([0-9]+) score (cp|mate) "
                             "(-?[0-9]+) .* pv ([a-h1-8qrbn]+)");
    for (const std::string& line : linesStartingWith(out, "info depth")) {
        std::smatch m;
        if (!std::regex_search(line, m, pattern)) continue;
        const int value = std::stoi(m[4]);
        const int score = m[3] == "cp" ? value : value > 0 ? 100000 - value : -100000 - value;
        lines.push_back({std::stoi(m[1]), std::stoi(m[2]), score, m[5]});
    }
    return lines;
}

std::string bestMoveOf(const std::string& out) {
    const std::vector<std::string> best = linesStartingWith(out, "bestmove ");
    if (best.empty()) return "";
    std::istringstream words(best.back());
    std::string word, move;
    words >> word >> move;
    return move;
}

// Positions without a capture or check in the air (the first two), one with a
// hanging piece, one with a mate in one.
const std::vector<std::string> LINE_POSITIONS = {
    "rnbqkb1r/pppp1ppp/5n2/4p3/4P3/2N5/PPPP1PPP/R1BQKBNR w KQkq - 2 3",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnb1kbnr/pppp1ppp/8/4p3/4P2q/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
};

// The engine's search of `fen` to `depth` with `lines` lines, in a profile.
std::string searchLines(const std::string& profile, const std::string& fen, int depth, int lines) {
    return converse("PROFILE " + profile + "\n",
                    {{"uci\nsetoption name MultiPV value " + std::to_string(lines) + "\nposition fen " + fen +
                          "\ngo depth " + std::to_string(depth) + "\n",
                      "bestmove"}});
}

void expectLinesOfEveryIteration(const std::string& profile, int wanted) {
    for (const std::string& fen : LINE_POSITIONS) {
        const int depth = profile == "modern" ? 8 : 5;
        const std::string out = searchLines(profile, fen, depth, wanted);
        const std::vector<ReportedLine> lines = reportedLines(out);
        const auto position = positionAt(fen);
        std::vector<std::string> legal;
        for (Move m : legalMoves(*position)) legal.push_back(uciMove(m));
        ASSERT_GE(legal.size(), static_cast<size_t>(wanted)) << fen;
        // Every iteration reports its lines together, ranked 1 to N.
        ASSERT_EQ(lines.size() % wanted, 0u) << out;
        ASSERT_FALSE(lines.empty()) << out;
        for (size_t start = 0; start < lines.size(); start += wanted) {
            std::set<std::string> moves;
            for (int k = 0; k < wanted; ++k) {
                const ReportedLine& line = lines[start + k];
                EXPECT_EQ(line.rank, k + 1) << out;
                EXPECT_EQ(line.depth, lines[start].depth) << out;
                EXPECT_NE(std::find(legal.begin(), legal.end(), line.move), legal.end()) << line.move;
                moves.insert(line.move);
                if (k > 0) {
                    EXPECT_LE(line.score, lines[start + k - 1].score) << fen << "\n" << out;
                }
            }
            EXPECT_EQ(moves.size(), static_cast<size_t>(wanted)) << "distinct first moves\n" << out;
        }
        const ReportedLine& first = lines[lines.size() - wanted];
        // A mate found ends the classic deepening.
        if (first.score < 90000) {
            EXPECT_EQ(first.depth, depth) << out;
        }
        const std::string best = bestMoveOf(out);
        EXPECT_EQ(best, first.move) << "the best move is the first line's";
        // The one-line search of the same depth plays the first line's move.
        EXPECT_EQ(bestMoveOf(searchLines(profile, fen, depth, 1)), best) << fen;
    }
}

} // namespace

TEST(MultiPv, ClassicReportsDistinctLegalLinesBestFirst) {
    expectLinesOfEveryIteration("classic", 3);
    expectLinesOfEveryIteration("classic", 5);
}

TEST(MultiPv, ModernReportsDistinctLegalLinesBestFirst) {
    expectLinesOfEveryIteration("modern", 3);
    expectLinesOfEveryIteration("modern", 5);
}

TEST(MultiPv, NoMoreLinesThanLegalMovesAndNoneWithOneLine) {
    // Three legal moves: the king's steps. Four iterations of three lines.
    const std::string out = searchLines("classic", "k7/8/8/8/8/8/8/K7 b - - 0 1", 4, 5);
    const std::vector<ReportedLine> lines = reportedLines(out);
    ASSERT_EQ(lines.size(), 12u) << out;
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rank, static_cast<int>(i % 3) + 1) << out;
    const std::string one = searchLines("classic", LINE_POSITIONS[0], 4, 1);
    EXPECT_EQ(one.find("multipv"), std::string::npos);
    EXPECT_EQ(linesStartingWith(one, "option name MultiPV"),
              std::vector<std::string>{"option name MultiPV type spin default 1 min 1 max 256"});
}

TEST(MultiPv, TheConsoleAndXboardShowEveryLine) {
    // sd 3: three iterations, from depth 1 on, each with its three lines (the
    // progress lines end in carriage returns).
    std::string console =
        runWithIni("MULTI_PV 3\n", "easy\nsetboard " + LINE_POSITIONS[0] + "\nsd 3\npv 1\nforce\ngo\nquit\n");
    std::replace(console.begin(), console.end(), '\r', '\n');
    for (const char* depth : {"   1/", "   2/", "   3/"})
        EXPECT_EQ(linesStartingWith(console, depth).size(), 3u) << depth << "\n" << console;
    const std::string xboard = converse("", {{"xboard\nprotover 2\noption MultiPV=4\nforce\nsetboard " +
                                                  LINE_POSITIONS[1] + "\npost\nsd 5\ngo\nping 1\n",
                                              "pong 1"}});
    EXPECT_EQ(linesStartingWith(xboard, "5 ").size(), 4u) << xboard;
    const std::string refused = runWithIni("", "multipv 0\nmultipv x\nquit\n");
    EXPECT_NE(refused.find("Error (multipv needs a number of lines from 1 to 256; unchanged): multipv 0\n"),
              std::string::npos)
        << refused;
}

namespace {

// The deepest iteration a UCI search reported.
int deepestIteration(const std::string& out) {
    int deepest = 0;
    for (const std::string& line : linesStartingWith(out, "info depth ")) {
        deepest = std::max(deepest, std::stoi(line.substr(std::strlen("info depth "))));
    }
    return deepest;
}

std::string searchAtElo(int elo, const std::string& fen, const std::string& ini = "") {
    return converse(ini, {{"uci\nsetoption name UCI_LimitStrength value true\nsetoption name UCI_Elo value " +
                               std::to_string(elo) + "\nposition fen " + fen + "\ngo movetime 600000\n",
                           "bestmove"}});
}

} // namespace

TEST(StrengthLevels, TheIniKeySetsBothOptionsAndIsAnnounced) {
    const std::string uci = runWithIni("ELO_LIMIT 1200\n", "uci\nquit\n");
    EXPECT_NE(uci.find("strength [1200 Elo]\n"), std::string::npos) << uci;
    EXPECT_NE(uci.find("option name UCI_LimitStrength type check default true\n"), std::string::npos);
    EXPECT_NE(uci.find("option name UCI_Elo type spin default 1200 min 1000 max 2400\n"), std::string::npos);
    const std::string full = runWithIni("ELO_LIMIT 0\n", "uci\nquit\n");
    EXPECT_EQ(full.find("strength ["), std::string::npos);
    EXPECT_NE(full.find("option name UCI_LimitStrength type check default false\n"), std::string::npos);
    const std::string wrong = runWithIni("ELO_LIMIT 500\n", "quit\n");
    EXPECT_NE(wrong.find("ELO_LIMIT takes 0 or a rating from 1000 to 2400, not 500; unchanged\n"),
              std::string::npos)
        << wrong;
}

TEST(StrengthLevels, TheSearchDeepensWithTheRatingAndEndsByItself) {
    // A search without a time limit ends at the depth of the rating.
    const std::string fen = LINE_POSITIONS[1];
    EXPECT_EQ(deepestIteration(searchAtElo(1000, fen)), 1);
    EXPECT_EQ(deepestIteration(searchAtElo(1700, fen)), 5);
    EXPECT_EQ(deepestIteration(searchAtElo(2400, fen, "PROFILE modern\n")), 9);
}

TEST(StrengthLevels, EvenTheLowestLevelTakesAHangingQueenAndMatesInOne) {
    for (int run = 0; run < 4; ++run) {
        EXPECT_EQ(bestMoveOf(searchAtElo(1000, LINE_POSITIONS[2])), "f3h4");
        EXPECT_EQ(bestMoveOf(searchAtElo(1000, LINE_POSITIONS[3])), "d1d8");
    }
}
