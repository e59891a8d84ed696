// Analysis that follows the board, the game's position shown during a search,
// and suites run from the program's arguments with no input: the real program
// through pipes, as a GUI or a script drives it.
#include <sstream>

#include "program.h"
#include "testutil.h"

namespace {

const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// The SAN moves of an xboard thinking line ("5 23 12 4567 1. e4 e5 2. Nf3"),
// without move numbers and bound marks.
std::vector<std::string> movesOf(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    for (int field = 0; field < 4 && words >> word; ++field) {}
    std::vector<std::string> moves;
    while (words >> word) {
        if (!std::isdigit(static_cast<unsigned char>(word[0])) && word != "...") moves.push_back(word);
    }
    return moves;
}

// The thinking lines printed after `from`, up to `to`.
std::vector<std::string> thinkingLines(const std::string& out, size_t from, size_t to) {
    std::vector<std::string> lines;
    std::istringstream in(out.substr(from, to - from));
    for (std::string line; std::getline(in, line);) {
        int depth = 0, score = 0, cs = 0;
        unsigned nodes = 0;
        if (std::sscanf(line.c_str(), "%d %d %d %u", &depth, &score, &cs, &nodes) == 4) lines.push_back(line);
    }
    return lines;
}

// Every thinking line between the two marks follows the position `fen`
// reached by `moves`: its whole variation is legal there.
void expectLinesFollow(const std::string& out, size_t from, size_t to, const std::string& fen,
                       const std::vector<std::string>& moves) {
    const std::vector<std::string> lines = thinkingLines(out, from, to);
    ASSERT_FALSE(lines.empty()) << out.substr(from, to - from);
    for (const std::string& line : lines) {
        auto position = positionAt(fen);
        ASSERT_TRUE(playMoves(*position, moves));
        EXPECT_TRUE(playMoves(*position, movesOf(line)))
            << line << "\nafter " << moves.size() << " moves from " << fen;
    }
}

} // namespace

// `setup` comes first (for example the number of cores).
static void analysisFollowsTheBoard(const std::string& setup) {
    TempDir dir;
    Program program(dir.path());
    program.send("xboard\nprotover 2\n" + setup);
    ASSERT_TRUE(program.waitFor("feature done=1\n"));
    const std::string& out = program.output();
    // Thinking lines from the first iteration on.
    program.send("new\nforce\npost\npv 1\nanalyze\n");
    ASSERT_TRUE(program.waitFor("\n3 "));

    // Each command is answered by a pong that comes before any line of the
    // analysis of the position it leaves; "fen" and the diagram show the game's
    // position, not the node being searched.
    struct Step {
        std::string command;
        std::string fen;
        std::vector<std::string> moves;
    };
    const std::string kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
    const Step steps[] = {
        {"e2e4", START, {"e4"}},
        {"e7e5", START, {"e4", "e5"}},
        {"undo", START, {"e4"}},
        {"setboard " + kiwipete, kiwipete, {}},
    };
    int ping = 0;
    for (const Step& step : steps) {
        const std::string pong = "pong " + std::to_string(++ping) + "\n";
        program.send(step.command + "\nping " + std::to_string(ping) + "\n");
        ASSERT_TRUE(program.waitFor(pong)) << step.command;
        const size_t from = out.find(pong) + pong.size();
        ASSERT_TRUE(program.waitFor("\n3 ", from)) << step.command;
        const size_t to = out.size();
        program.send("fen\nd\n");
        auto expected = positionAt(step.fen);
        ASSERT_TRUE(playMoves(*expected, step.moves));
        ASSERT_TRUE(program.waitFor(expected->board.fen() + "\n", to)) << step.command;
        ASSERT_TRUE(program.waitFor("       " + expected->board.fen() + "\n\n", to))
            << "the diagram's own FEN";
        expectLinesFollow(out, from, to, step.fen, step.moves);
    }
    // exit ends the analysis: the engine answers at once, as between searches.
    program.send("exit\nping 9\n");
    ASSERT_TRUE(program.waitFor("pong 9\n"));
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);
}

TEST(XboardAnalysis, MovesUndoAndSetboardActAtOnceAndTheAnalysisFollows) { analysisFollowsTheBoard(""); }

// Input stops the main search and its helpers, and each new analysis starts them again.
TEST(ThreadsInPlay, AnalysisFollowsTheBoard) { analysisFollowsTheBoard("cores 3\n"); }

// A suite given as program arguments, with no input at all (a script, cron,
// < /dev/null), runs each position for its full time and counts what it
// solves, as it does with the input open.
TEST(Arguments, ASuiteRunsItsFullTimeWithoutInput) {
    TempDir dir;
    dir.write("suite.epd",
              "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";\n"
              "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - bm Nf5; id \"WAC.008\";\n");
    auto solvedWith = [&](bool inputOpen) {
        Program program(dir.path(), {"runepd", "suite.epd", "1", "quit"});
        if (!inputOpen) program.closeInput();
        EXPECT_EQ(program.finish(30000), 0);
        const std::string& out = program.output();
        const size_t at = out.find("Solved = ");
        int solved = -1;
        if (at != std::string::npos) std::sscanf(out.c_str() + at, "Solved = %d", &solved);
        // Both positions were searched: their statistics lines are printed.
        size_t searches = 0;
        for (size_t p = out.find("nodes="); p != std::string::npos; p = out.find("nodes=", p + 1)) ++searches;
        EXPECT_EQ(searches, 2u) << out;
        return solved;
    };
    const int withoutInput = solvedWith(false);
    EXPECT_GE(withoutInput, 1);
    EXPECT_EQ(withoutInput, solvedWith(true));
}
