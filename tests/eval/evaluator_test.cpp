// Evaluators with different parameters: each scores by its own parameters
// only, whatever the others evaluate meanwhile, on one thread or on two, and
// any parameter set keeps the evaluation colour-symmetric.
#include <thread>

#include "evaltest.h"

namespace {

// Nine in ten of the positions, when the shared suites give them their
// variety; without those (a checkout without the shared data) the positions
// are mostly random play from a few starts, and half of them must do.
size_t mostOf(size_t count) { return sharedDataPresent() ? count * 9 / 10 : count / 2; }

// Positions with both kings: a few built-in ones, the data files, and
// positions reached from every eighth of those by random play (endings among
// them).
std::vector<std::string> playablePositions() {
    std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "7k/8/8/P7/8/8/8/1QRBK3 w - -",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
        "k7/8/2K5/8/4N3/3B4/8/8 w - -",
    };
    Board board;
    for (const auto& fen : allDataPositions()) {
        if (board.readFen(fen.c_str()) == 1 && board.hasBothKings()) fens.push_back(fen);
    }
    std::mt19937 random(19620824);
    const size_t starts = fens.size();
    for (size_t i = 0; i < starts; i += 8) {
        auto position = positionAt(fens[i]);
        for (int ply = 1; ply <= 80; ++ply) {
            const auto moves = legalMoves(*position);
            if (moves.empty() || !position->hasRoomForMove()) break;
            position->pushGameMove(moves[random() % moves.size()]);
            if (ply % 8 == 0) fens.push_back(position->board.fen());
        }
    }
    return fens;
}

struct Evaluation {
    int score;
    std::array<uint8_t, 3> info;
    bool operator==(const Evaluation&) const = default;
};

Evaluation evaluationOf(Evaluator& evaluator, const Board& board) {
    const int score = evaluator.evaluate(board);
    return {score, evaluator.evalInfo()};
}

} // namespace

TEST(EvalSymmetry, ParametersChangedEverywhereKeepEveryPositionLikeItsFlippedCopy) {
    const auto positions = playablePositions();
    for (uint32_t seed : {11u, 12u}) {
        const EvalParams params = perturbedParams(seed);
        const PieceSquareTables tables = buildPieceSquareTables(params);
        Evaluator perturbed(params), classic;
        Board board, classicBoard;
        board.usePieceSquareTables(tables);
        size_t changed = 0;
        for (const auto& fen : positions) {
            board.readFen(fen.c_str());
            classicBoard.readFen(fen.c_str());
            const int score = perturbed.evaluate(board);
            int recognized = 0;
            const bool answered = perturbed.recognize(board, recognized);
            if (score != classic.evaluate(classicBoard)) ++changed;
            board.flip();
            ASSERT_EQ(perturbed.evaluate(board), score) << "seed " << seed << ": " << fen;
            int flippedRecognized = 0;
            ASSERT_EQ(perturbed.recognize(board, flippedRecognized), answered) << fen;
            if (answered) {
                ASSERT_EQ(flippedRecognized, recognized) << fen;
            }
        }
        // The parameters do reach the scores.
        EXPECT_GT(changed, mostOf(positions.size())) << "seed " << seed;
    }
}

TEST(Evaluators, TwoParameterSetsOnOneBoardDoNotDisturbEachOther) {
    const auto positions = playablePositions();
    const EvalParams otherParams = perturbedParams(21);
    Evaluator first, second(otherParams), fresh(otherParams);
    allocateCaches(first);
    allocateCaches(second);
    Board board;
    size_t differ = 0;
    for (const auto& fen : positions) {
        board.readFen(fen.c_str());
        const Evaluation a = evaluationOf(first, board);
        const Evaluation b = evaluationOf(second, board);
        // The second evaluator's scores are those of its parameters alone.
        ASSERT_EQ(b, evaluationOf(fresh, board)) << fen;
        // Evaluated again, from the caches, after the other evaluator.
        ASSERT_EQ(evaluationOf(first, board), a) << fen;
        ASSERT_EQ(evaluationOf(second, board), b) << fen;
        EvalTrace trace;
        ASSERT_EQ(first.evaluate(board, trace), a.score) << fen;
        if (a.score != b.score) ++differ;
    }
    EXPECT_GT(differ, mostOf(positions.size()));
    EXPECT_GE(first.caches().eval.hits, positions.size() - 5);
    EXPECT_GE(second.caches().eval.hits, positions.size() - 5);
}

// The ThreadSanitizer build runs this one too: two evaluators on two threads
// share no state, not even read-only parameters of the other.
TEST(ThreadsEvaluation, EvaluatorsOnTwoThreadsScoreAsEachDoesAlone) {
    std::vector<std::string> positions = playablePositions();
    if (kSlowBuild) positions.resize(std::min<size_t>(positions.size(), 400));
    const EvalParams params[2] = {classicEvalParams(), perturbedParams(31)};
    // Each thread's scores, on its own thread and then again here alone.
    std::vector<int> scores[2], alone[2];
    const auto scoreAll = [&positions, &params](int which, std::vector<int>& out) {
        const PieceSquareTables tables = buildPieceSquareTables(params[which]);
        Evaluator evaluator(params[which]);
        allocateCaches(evaluator);
        Board board;
        board.usePieceSquareTables(tables);
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& fen : positions) {
                board.readFen(fen.c_str());
                out.push_back(evaluator.evaluate(board));
            }
        }
    };
    std::thread other(scoreAll, 1, std::ref(scores[1]));
    scoreAll(0, scores[0]);
    other.join();
    scoreAll(0, alone[0]);
    scoreAll(1, alone[1]);
    EXPECT_EQ(scores[0], alone[0]);
    EXPECT_EQ(scores[1], alone[1]);
    EXPECT_NE(scores[0], scores[1]);
}
