// Exact leaf counts of the legal move tree for the published perft positions.
#include "shell/perft.h"
#include "testutil.h"

namespace {

// Counts above this many leaves are left to the perft benchmark.
uint64_t leafLimit() { return kSlowBuild ? 100000 : 5000000; }

void runPerftFile(const char* name) {
    const std::string path = dataFile(name);
    ASSERT_FALSE(path.empty()) << "missing data file " << name;
    const auto cases = readPerftFile(path);
    ASSERT_FALSE(cases.empty());
    int checked = 0;
    for (const auto& c : cases) {
        if (c.count > leafLimit()) continue;
        auto engine = positionAt(c.fen);
        EXPECT_EQ(perft(*engine, c.depth), c.count) << c.fen << " depth " << c.depth;
        EXPECT_EQ(engine->gamePly, 0);
        EXPECT_EQ(engine->board.fen(), fenFields(c.fen)) << "perft must leave the position as it found it";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace

TEST(Perft, ClassicPositionsGiveTheirPublishedCounts) { runPerftFile("perft.epd"); }

TEST(Perft, PerftSuiteGivesItsPublishedCounts) { runPerftFile("perft-suite.epd"); }

// (Its progress dots, one per root move, are in the perft transcript.)
TEST(Perft, DepthZeroCountsLikeDepthOne) {
    EXPECT_EQ(perft(*positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"), 0), 20u);
}
