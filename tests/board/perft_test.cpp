// Exact leaf counts of the legal move tree for the published perft positions.
#include "testutil.h"

namespace {

// Counts above this many leaves are left to the perft benchmark.
uint64_t leafLimit() { return kSlowBuild ? 200000 : 5000000; }

void runPerftFile(const char* name) {
    const std::string path = dataFile(name);
    ASSERT_FALSE(path.empty()) << "missing data file " << name;
    const auto cases = readPerftFile(path);
    ASSERT_FALSE(cases.empty());
    int checked = 0;
    for (const auto& c : cases) {
        if (c.count > leafLimit()) continue;
        auto engine = engineAt(c.fen);
        EXPECT_EQ(engine->perft(c.depth, false), c.count) << c.fen << " depth " << c.depth;
        EXPECT_EQ(engine->gamePly, 0);
        EXPECT_EQ(engine->board.fen(), fenFields(c.fen)) << "perft must leave the position as it found it";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace

TEST(Perft, ClassicPositionsGiveTheirPublishedCounts) { runPerftFile("perft.epd"); }

TEST(Perft, PerftSuiteGivesItsPublishedCounts) { runPerftFile("perft-suite.epd"); }

TEST(Perft, StartPositionDepthFourIs197281) {
    auto engine = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(engine->perft(4, false), 197281u);
}

TEST(Perft, DepthZeroCountsLikeDepthOne) {
    auto engine = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(engine->perft(0, false), 20u);
}

TEST(Perft, PrintsOneDotPerLegalRootMove) {
    auto engine = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    testing::internal::CaptureStdout();
    const uint64_t n = engine->perft(2, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(20, '.'));
    EXPECT_EQ(n, 400u);
}
