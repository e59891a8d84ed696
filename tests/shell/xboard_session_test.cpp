// A whole game against the program in xboard mode, sent the way a real GUI
// sends it: handshake, set-up, clock times before every move, moves in
// coordinate notation, take-backs, a position by FEN, the result and quit.
#include <random>

#include "program.h"
#include "shell/uci.h"
#include "testutil.h"

namespace {

// Reads the program's output line by line.
struct Reader {
    Program& program;
    size_t at = 0;

    bool next(std::string& line) {
        if (!program.waitFor("\n", at)) return false;
        const size_t end = program.output().find('\n', at);
        line = program.output().substr(at, end - at);
        at = end + 1;
        return true;
    }
};

bool isResult(const std::string& line) {
    return line.rfind("1-0 {", 0) == 0 || line.rfind("0-1 {", 0) == 0 || line.rfind("1/2-1/2 {", 0) == 0;
}

} // namespace

TEST(XboardSession, AGameAsAGuiPlaysIt) {
    TempDir dir;
    Program program(dir.path());
    Reader reader{program};
    std::string line;

    program.send("xboard\nprotover 2\n");
    ASSERT_TRUE(program.waitFor("feature done=1\n"));
    reader.at = program.output().size();
    program.send("accepted setboard\naccepted analyze\naccepted draw\naccepted done\naccepted name\n"
                 "accepted myname\nrejected ping\nnew\nrandom\nlevel 40 5 0\npost\nhard\nforce\n"
                 "computer\nname Tester\n");
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "Opponent is Tester");

    // The game starts from a FEN with black to move; the engine plays black.
    const std::string startFen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";
    auto shadow = positionAt(startFen);
    program.send("setboard " + startFen + " 0 1\ntime 100\notim 100\ngo\n");

    std::mt19937 random(2024);
    bool gameOver = false;
    int engineMoves = 0, plies = 0;
    const int maxPlies = kSlowBuild ? 120 : 300;
    while (!gameOver && plies < maxPlies) {
        // The engine's reply: a move line, or the end of the game.
        std::string engineMove;
        while (engineMove.empty() && !gameOver) {
            ASSERT_TRUE(reader.next(line)) << "no answer; output so far:\n" << program.output();
            if (line.rfind("move ", 0) == 0)
                engineMove = line.substr(5);
            else if (isResult(line) || line == "resign" || line == "(no legal moves)")
                gameOver = true;
        }
        if (!engineMove.empty()) {
            ASSERT_TRUE(playMoves(*shadow, {engineMove}))
                << engineMove << " is not legal in " << shadow->board.fen();
            ++engineMoves;
            ++plies;
        }
        if (gameOver) break;
        const std::vector<Move> replies = legalMoves(*shadow);
        if (replies.empty()) continue; // the engine mated or stalemated: its result line follows

        // Our move: sometimes a take-back first, as a GUI user would ask for. A
        // pondering engine is put in force mode first (it reads only the
        // search-time commands while it thinks), and told to go on afterwards.
        bool resume = false;
        if (plies == 10) {
            program.send("force\nremove\n");
            shadow->popGameMove();
            shadow->popGameMove();
            plies -= 2;
            resume = true;
        }
        if (plies == 14) {
            // force, take back the engine's move, and let it move again
            program.send("force\nundo\ntime 100\notim 100\ngo\n");
            shadow->popGameMove();
            --plies;
            continue;
        }
        const std::vector<Move> moves = legalMoves(*shadow);
        const Move ours = moves[random() % moves.size()];
        shadow->pushGameMove(ours);
        ++plies;
        program.send("time 100\notim 100\n" + uciMove(ours) + "\n" + (resume ? "go\n" : ""));
        if (plies == 20) program.send("?\n"); // move now
    }
    if (!gameOver) program.send("result 1/2-1/2 {Xboard adjudication}\n");
    program.send("force\nquit\n");
    EXPECT_EQ(program.finish(), 0);
    const std::string out = program.output();
    EXPECT_EQ(out.substr(out.size() - 9), "Bye Bye!\n");
    EXPECT_GT(engineMoves, 5);
    // Nothing a GUI sends is answered with an error.
    for (const std::regex& bad :
         {std::regex("(^|\n)Error"), std::regex("(^|\n)Illegal"), std::regex("tellusererror")})
        EXPECT_FALSE(std::regex_search(out, bad)) << out;
}
