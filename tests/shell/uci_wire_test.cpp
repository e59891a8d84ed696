// In UCI mode every line the engine writes is a UCI line: option changes that
// resize tables or reload tablebases, bad positions, unknown commands and
// searches of every kind report through "info string" or not at all.
#include <sstream>
#include <string>
#include <vector>

#include "program.h"
#include "testutil.h"

namespace {

const char* const UCI_KEYWORDS[] = {"id",   "uciok",  "readyok",        "bestmove",
                                    "info", "option", "copyprotection", "registration"};

bool startsWithUciKeyword(const std::string& line) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    for (const char* keyword : UCI_KEYWORDS)
        if (first == keyword) return true;
    return false;
}

} // namespace

TEST(UciWire, EveryLineWrittenIsAUciLine) {
    TempDir dir;
    Program program(dir.path());
    const std::string missingDirectory = dir.path() + "/no-such-tables";
    const char* const session[] = {
        "uci\n",
        "setoption name Hash value 3\n",
        "setoption name Hash value 64\n",
        "setoption name Threads value 2\n",
        "setoption name Clear Hash\n",
        "setoption name Profile value modern\n",
        "setoption name Profile value classic\n",
        "setoption name No Such Option value 1\n",
        "setoption name Hash value many\n",
        "isready\n",
        "position fen 8/8/8 w - -\n",
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e5\n",
        "position startpos moves e2e4 e7e5 g1f3\n",
        "go depth 5\n",
        "isready\n",
        "frobnicate the engine\n",
        "position fen 7k/8/8/8/8/8/8/K7 w - - 0 1\n",
        "go nodes 20000\n",
        "isready\n",
        "ucinewgame\n",
        "position startpos\n",
        "go movetime 200\n",
        "isready\n",
        "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\n",
        "go infinite\n",
        "stop\n",
        "isready\n",
    };
    // The tablebase path comes last: its report of the tables found must be UCI too.
    const std::string tablebasePath = "setoption name NalimovPath value " + missingDirectory + "\n";
    std::vector<std::string> lines(std::begin(session), std::end(session));
    size_t uciStart = 0; // the banner before the handshake is the console's
    lines.push_back(tablebasePath);
    lines.push_back("isready\n");
    for (const std::string& line : lines) {
        const size_t from = program.output().size();
        program.send(line);
        // As a GUI does: the next command only after the answer it waits for.
        const bool searchEnds = (line.rfind("go ", 0) == 0 && line != "go infinite\n") || line == "stop\n";
        if (searchEnds) {
            ASSERT_TRUE(program.waitFor("bestmove", from)) << program.output();
        } else if (line == "isready\n") {
            ASSERT_TRUE(program.waitFor("readyok\n", from)) << program.output();
        } else if (line == "uci\n") {
            ASSERT_TRUE(program.waitFor("uciok\n", from)) << program.output();
            uciStart = program.output().find("id name");
        }
    }
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);

    std::istringstream written(program.output().substr(uciStart));
    std::string line;
    int bestMoves = 0;
    while (std::getline(written, line)) {
        if (line.empty()) continue;
        if (line.rfind("bestmove", 0) == 0) ++bestMoves;
        EXPECT_TRUE(startsWithUciKeyword(line)) << "not a UCI line: [" << line << "]";
    }
    EXPECT_EQ(bestMoves, 4) << program.output();
}
