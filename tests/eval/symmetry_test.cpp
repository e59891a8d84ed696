// The evaluation is exactly colour-symmetric: a position and its colour-flipped
// copy score the same for their side to move.
#include <random>

#include "evaltest.h"

namespace {

// Score of a freshly set-up position and of its flipped copy.
std::pair<int, int> scoreAndFlipped(Board& board, const std::string& fen) {
    board.readFen(fen.c_str());
    const int score = board.evaluate();
    board.flip();
    return {score, board.evaluate()};
}

} // namespace

TEST(EvalSymmetry, EveryDataPositionScoresLikeItsFlippedCopyWithAndWithoutCaches) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const auto positions = allDataPositions();
    ASSERT_GT(positions.size(), 3000u);
    Board board, probe;
    std::vector<std::string> playable;
    for (const auto& fen : positions) {
        if (probe.readFen(fen.c_str()) == 1 && probe.hasBothKings()) playable.push_back(fen);
    }
    EXPECT_GT(playable.size(), 3000u);
    for (const auto& fen : playable) {
        const auto [score, flipped] = scoreAndFlipped(board, fen);
        EXPECT_EQ(score, flipped) << fen;
    }
    // Cached: a miss, then a hit.
    CachesOn caches;
    for (const auto& fen : playable) {
        for (int pass = 0; pass < 2; ++pass) {
            const auto [score, flipped] = scoreAndFlipped(board, fen);
            EXPECT_EQ(score, flipped) << fen;
        }
    }
    EXPECT_GE(evalCache.hits, 2u * playable.size() - 50);
    EXPECT_GT(pawnHashTable.probes, static_cast<uint32_t>(playable.size()));
}

TEST(EvalSymmetry, PositionsReachedByRandomPlayScoreLikeTheirFlippedCopies) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const auto positions = allDataPositions();
    std::mt19937 random(20050205);
    const int stride = kSlowBuild ? 16 : 2, plies = kSlowBuild ? 30 : 60;
    Board board;
    int checked = 0;
    for (size_t i = 0; i < positions.size(); i += stride) {
        // The walk runs on its own before any other board is set up: the stage
        // tables in force are process-wide.
        std::vector<std::string> reached;
        {
            auto engine = positionAt(positions[i]);
            if (!engine->board.hasBothKings()) continue;
            for (int ply = 0; ply < plies; ++ply) {
                const auto moves = legalMoves(*engine);
                if (moves.empty() || !engine->hasRoomForMove()) break;
                engine->pushGameMove(moves[random() % moves.size()]);
                reached.push_back(engine->board.fen());
            }
        }
        for (const auto& fen : reached) {
            const auto [score, flipped] = scoreAndFlipped(board, fen);
            ASSERT_EQ(score, flipped) << fen;
            ++checked;
        }
    }
    EXPECT_GT(checked, kSlowBuild ? 5000 : 50000);
}

TEST(EvalSymmetry, TracedTermsAddUpToTheScore) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    Board board;
    int count = 0;
    for (const auto& fen : allDataPositions()) {
        if (++count % 7 || board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) continue;
        EvalTrace trace;
        const int traced = board.evaluate(trace);
        EXPECT_EQ(traced, board.evaluate()) << fen;
        expectTermsAddUp(board, trace, fen);
        EXPECT_EQ(traced, trace.final) << fen;
    }
}
