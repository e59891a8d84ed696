// Input while the real program searches: moving at once, the status line, the
// end of its input or output, and pondering with hit and miss. (Force during a
// search is checked byte for byte on the engine's turn in gameflow_test.cpp.)
#include "program.h"
#include "testutil.h"

namespace {

// The full move word for move text (SAN or coordinates) in the position.
Move fullMove(Position& position, const std::string& text) {
    const Move m = parseMove(position, text.c_str());
    return moveFromSquares(position.board, moveFrom(m), moveTo(m), movePromotion(m));
}

// The first complete line after `from` that starts with `prefix`; `from` moves
// to its end.
bool lineStartingWith(Program& p, const std::string& prefix, size_t& from, std::string& line) {
    const size_t start = from == 0 ? 0 : from - 1;
    if (!p.waitFor("\n" + prefix, start)) return false;
    const size_t at = p.output().find("\n" + prefix, start) + 1;
    if (!p.waitFor("\n", at)) return false;
    from = p.output().find('\n', at);
    line = p.output().substr(at, from - at);
    return true;
}

} // namespace

// Two moves of a game with pondering on: the first ponder move is expected,
// the second is not. `setup` comes first (for example the number of cores).
static void ponderWithHitAndMiss(const std::string& setup) {
    TempDir dir;
    Program p(dir.path());
    p.send("xboard\n" + setup + "new\nnopost\nhard\nst 1\nforce\ne2e4\ngo\n");
    auto shadow = positionAt("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    size_t from = 0;
    std::string line;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(lineStartingWith(p, "move ", from, line)) << p.output();
        ASSERT_TRUE(playMoves(*shadow, {line.substr(5)})) << line;
        ASSERT_TRUE(lineStartingWith(p, "pondering on move [", from, line)) << p.output();
        const std::string expected = coord(fullMove(*shadow, line.substr(19, line.size() - 20)));
        if (round == 0) {
            // The expected reply: the search goes on and plays its move.
            p.send(expected + "\n");
            ASSERT_TRUE(p.waitFor("Expected move!\n", from)) << p.output();
            ASSERT_TRUE(playMoves(*shadow, {expected}));
        } else {
            // Another reply: the ponder move is taken back, the reply played.
            Move other = NO_MOVE;
            for (Move candidate : legalMoves(*shadow))
                other = coord(candidate) != expected ? candidate : other;
            p.send(coord(other) + "\n");
            ASSERT_TRUE(p.waitFor("Unexpected move!\n", from)) << p.output();
            shadow->pushGameMove(other);
            ASSERT_TRUE(lineStartingWith(p, "move ", from, line)) << p.output();
            EXPECT_TRUE(playMoves(*shadow, {line.substr(5)})) << line << " in " << shadow->board.fen();
        }
    }
    p.send("force\nquit\n");
    EXPECT_EQ(p.finish(), 0);
}

TEST(SearchInput, PonderingWithHitAndMiss) { ponderWithHitAndMiss(""); }

// With helper threads the game goes the same way (and the thread sanitizer
// build reports no race in the program: its exit status would say so).
TEST(ThreadsInPlay, PonderingWithHitAndMiss) { ponderWithHitAndMiss("cores 3\n"); }

// "." prints the status line of the running search: time, nodes, depth, root
// moves left and in all, the current one; "?" and the end of the input stop
// every thread.
TEST(ThreadsInPlay, StatusLineThenMoveNowAndTheEndOfInputStopEveryThread) {
    TempDir dir;
    Program p(dir.path());
    p.send("xboard\ncores 4\neasy\nnopost\nst 1000\ngo\n.\n?\n");
    std::string line;
    size_t from = 0;
    ASSERT_TRUE(lineStartingWith(p, "stat01: ", from, line)) << p.output();
    int cs, nodes, depth, left, total;
    char move[8];
    ASSERT_EQ(
        std::sscanf(line.c_str(), "stat01: %d %d %d %d %d %7s", &cs, &nodes, &depth, &left, &total, move), 6)
        << line;
    EXPECT_EQ(total, 20);
    EXPECT_TRUE(left >= 0 && left < 20) << line;
    ASSERT_TRUE(lineStartingWith(p, "move ", from, line)) << p.output();
    p.send("go\n");
    EXPECT_EQ(p.finish(), 0); // closes the input during the search
}

// The end of the input ends the program in every mode, each reached by its
// commands, with the input ending once the mode is running: the console prompt,
// the board editor, analysis, pondering, an xboard game and a UCI infinite search.
TEST(SearchInput, EndOfInputEndsTheProgramInEveryMode) {
    struct Case {
        const char* mode;
        const char* input;
        const char* running; // printed once the mode runs
    };
    const Case cases[] = {
        {"console", "new\n", "WHITE<1>: "},
        {"edit", "edit\n#\nKe1\n", "WHITE<1>: "},
        {"analysis", "post\nanalyze\n", " 5/"},
        {"pondering", "hard\npost\nst 1\ne2e4\n", "[pondering]"},
        {"xboard", "xboard\nprotover 2\nnew\nst 30\ne2e4\n", "feature done=1"},
        {"uci", "uci\nposition startpos\ngo infinite\n", "info depth 3"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Program p(dir.path());
        p.send(c.input);
        ASSERT_TRUE(p.waitFor(c.running)) << c.mode << ": " << p.output();
        EXPECT_EQ(p.finish(20000), 0) << c.mode << ": the program did not end by itself";
    }
}

// A reader that goes away (the GUI closed the engine's output) ends the program
// at its next message, whether it was waiting for commands or searching.
TEST(SearchInput, ClosedOutputEndsTheProgram) {
    const char* const cases[][2] = {
        {"force\n", "d\nfen\n"},
        {"uci\nposition startpos\ngo infinite\n", "isready\n"},
        {"post\nanalyze\n", "."}, // the analysis keeps printing thinking lines
    };
    for (const auto& c : cases) {
        TempDir dir;
        Program p(dir.path());
        p.send(c[0]);
        ASSERT_TRUE(p.waitFor("\n"));
        p.closeOutput();
        p.send(c[1]);
        EXPECT_EQ(p.waitExit(20000), 0) << c[0] << "still runs with its output closed";
    }
}
