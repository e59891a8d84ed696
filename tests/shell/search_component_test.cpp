// The search is a component: run on a position of its own, with no engine and
// no shell, it gives the move and the node count that the console program
// gives for the same fixed-depth search.
#include <cstdio>

#include "program.h"
#include "search/searchtest.h"

TEST(SearchComponent, AStandaloneSearchMatchesTheConsoleProgram) {
    struct Case {
        const char* fen;
        int depth;
    };
    const int depth = kSlowBuild ? 3 : 5;
    const Case cases[] = {
        {"r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", depth},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", depth - 1},
        {"8/8/p2p3p/3k2p1/PP6/3K1P1P/8/8 b - -", depth + 2},
    };
    for (const Case& c : cases) {
        // The same table and cache sizes as the program's defaults; the caches
        // start empty, as in a new process.
        auto rig = searchAt(c.fen, c.depth);
        rig->table.mainHashMB = 16;
        rig->table.allocate();
        rig->evaluator.caches().pawn.allocate();
        rig->evaluator.caches().eval.allocate();
        const Move move = rig->search.think();
        ASSERT_NE(move, NO_MOVE) << c.fen;
        const std::string expectedMove = san(rig->position, move);

        TempDir dir;
        const std::string out =
            runProgram(dir.path(), std::string("force\neasy\nsetboard ") + c.fen + "\nsd " +
                                       std::to_string(c.depth) + "\ngo\nquit\n");
        const size_t at = out.rfind("nodes=");
        ASSERT_NE(at, std::string::npos) << out;
        unsigned nodes = 0;
        ASSERT_EQ(std::sscanf(out.c_str() + at, "nodes=%u", &nodes), 1);
        EXPECT_EQ(nodes, inside(rig->search).stats.nodes) << c.fen;
        const std::string side = rig->board().side == WHITE ? "WHITE<" : "BLACK<";
        EXPECT_NE(out.find(">: " + expectedMove + "\n", at), std::string::npos)
            << c.fen << ": expected " << side << "...>: " << expectedMove << "\n"
            << out;
    }
}
