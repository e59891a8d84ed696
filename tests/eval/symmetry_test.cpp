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

// Every data position: the traced terms add up to the score, the flipped copy
// scores the same, and with caches on (a miss, then a hit) both still score
// as they did uncached.
TEST(EvalSymmetry, EveryDataPositionScoresLikeItsFlippedCopyWithAndWithoutCaches) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    Board board;
    std::vector<std::string> playable;
    std::vector<int> scores;
    for (const auto& fen : allDataPositions()) {
        if (board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) continue;
        EvalTrace trace;
        const int score = board.evaluate(trace);
        EXPECT_EQ(score, board.evaluate()) << fen;
        EXPECT_EQ(score, trace.final) << fen;
        expectTermsAddUp(board, trace, fen);
        board.flip();
        EXPECT_EQ(board.evaluate(), score) << fen;
        playable.push_back(fen);
        scores.push_back(score);
    }
    EXPECT_GT(playable.size(), 3000u);
    CachesOn caches;
    for (size_t i = 0; i < playable.size(); ++i) {
        for (int pass = 0; pass < 2; ++pass) {
            const auto [score, flipped] = scoreAndFlipped(board, playable[i]);
            EXPECT_EQ(score, scores[i]) << playable[i];
            EXPECT_EQ(flipped, scores[i]) << playable[i];
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
