// The evaluation is exactly colour-symmetric: a position and its colour-flipped
// copy score the same for their side to move.
#include <random>

#include "evaltest.h"

namespace {

// Score of a freshly set-up position and of its flipped copy.
std::pair<int, int> scoreAndFlipped(Evaluator& evaluator, Board& board, const std::string& fen) {
    board.readFen(fen.c_str());
    const int score = evaluator.evaluate(board);
    board.flip();
    return {score, evaluator.evaluate(board)};
}

} // namespace

// Every data position: the traced terms add up to the score, the flipped copy
// scores the same, and with caches on (a miss, then a hit) both still score
// as they did uncached.
TEST(EvalSymmetry, EveryDataPositionScoresLikeItsFlippedCopyWithAndWithoutCaches) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    Board board;
    Evaluator evaluator;
    std::vector<std::string> playable;
    std::vector<int> scores;
    for (const auto& fen : allDataPositions()) {
        if (board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) continue;
        EvalTrace trace;
        const int score = evaluator.evaluate(board, trace);
        EXPECT_EQ(score, evaluator.evaluate(board)) << fen;
        EXPECT_EQ(score, trace.final) << fen;
        expectTermsAddUp(board, trace, fen);
        board.flip();
        EXPECT_EQ(evaluator.evaluate(board), score) << fen;
        playable.push_back(fen);
        scores.push_back(score);
    }
    EXPECT_GT(playable.size(), 3000u);
    Evaluator cached;
    allocateCaches(cached);
    for (size_t i = 0; i < playable.size(); ++i) {
        for (int pass = 0; pass < 2; ++pass) {
            const auto [score, flipped] = scoreAndFlipped(cached, board, playable[i]);
            EXPECT_EQ(score, scores[i]) << playable[i];
            EXPECT_EQ(flipped, scores[i]) << playable[i];
        }
    }
    EXPECT_GE(cached.caches().eval.hits, 2u * playable.size() - 50);
    EXPECT_GT(cached.caches().pawn.probes, static_cast<uint32_t>(playable.size()));
}

TEST(EvalSymmetry, PositionsReachedByRandomPlayScoreLikeTheirFlippedCopies) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const auto positions = allDataPositions();
    std::mt19937 random(20050205);
    const int stride = kSlowBuild ? 16 : 2, plies = kSlowBuild ? 30 : 60;
    Board board;
    Evaluator evaluator;
    int checked = 0;
    for (size_t i = 0; i < positions.size(); i += stride) {
        // The positions of the walk are collected first, then scored.
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
            const auto [score, flipped] = scoreAndFlipped(evaluator, board, fen);
            ASSERT_EQ(score, flipped) << fen;
            ++checked;
        }
    }
    EXPECT_GT(checked, kSlowBuild ? 5000 : 50000);
}
