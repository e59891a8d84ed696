// The engine's evaluation parameters: falkmere.ini and the GUI options change
// the engine's own set, the position's sums and the main evaluator's scores,
// and nothing else.
#include "testutil.h"

#include "shell/settings.h"

namespace {

// White is a pawn up; no castling rights are left and white has 16 units of
// pieces: the middle-game tables apply.
constexpr const char* PAWN_UP = "r4rk1/pp2pppp/2n2n2/8/3P4/2N2N2/PPP2PPP/R4RK1 w - -";

// What a fresh evaluator makes of the position with the engine's parameters.
int freshScore(const Engine& engine, const std::string& fen) {
    const PieceSquareTables tables = buildPieceSquareTables(engine.evalParams);
    Board board;
    board.usePieceSquareTables(tables);
    board.readFen(fen.c_str());
    Evaluator evaluator(engine.evalParams);
    return evaluator.evaluate(board);
}

} // namespace

TEST(EvaluationOptions, APieceValueChangesTheEnginesSumsAndScoresOnly) {
    auto engine = engineAt(PAWN_UP);
    const int before = engine->evaluator.evaluate(engine->game().board());
    ASSERT_EQ(before, freshScore(*engine, PAWN_UP));
    CollectedOutput out;
    ASSERT_TRUE(applyOption(*engine, *findOption("PawnValue"), "90", out));
    EXPECT_EQ(engine->evalParams.pieceValue[PAWN], 90);
    EXPECT_EQ(classicEvalParams().pieceValue[PAWN], 100) << "the classic set stays as it is";
    // Seven white pawns against six, each worth 10 less.
    const int pawns = engine->game().board().pawnCount[WHITE] - engine->game().board().pawnCount[BLACK];
    ASSERT_EQ(pawns, 1);
    const Board& board = engine->game().board();
    Board classicBoard;
    classicBoard.readFen(PAWN_UP);
    EXPECT_EQ(board.pstScore[WHITE], classicBoard.pstScore[WHITE] - 70);
    EXPECT_EQ(board.pstScore[BLACK], classicBoard.pstScore[BLACK] - 60);
    EXPECT_TRUE(board.isConsistent());
    const int after = engine->evaluator.evaluate(engine->game().board());
    EXPECT_EQ(after, freshScore(*engine, PAWN_UP));
    EXPECT_NE(after, before);
    // A new engine starts from the classic set.
    auto other = engineAt(PAWN_UP);
    EXPECT_EQ(other->evaluator.evaluate(other->game().board()), before);
}

TEST(EvaluationOptions, AWeightChangesTheMainEvaluatorsScoreEvenWithFilledCaches) {
    // Both kings in reach of queens and rooks: king attack counts.
    const char* fen = "r3k3/2B5/8/2RQ4/8/8/5PPP/q5K1 w - -";
    auto engine = engineAt(fen);
    engine->evaluator.caches().pawn.allocate();
    engine->evaluator.caches().eval.allocate();
    const int before = engine->evaluator.evaluate(engine->game().board());
    CollectedOutput out;
    ASSERT_TRUE(applyOption(*engine, *findOption("KingAttack"), "240", out));
    EXPECT_EQ(engine->evalParams.weights.kingAttack, 240);
    const int after = engine->evaluator.evaluate(engine->game().board());
    EXPECT_EQ(after, freshScore(*engine, fen)) << "no stale cache entry";
    EXPECT_EQ(after - before, 75 - 3) << "the king-attack bonuses double: 75 for white, 3 for black";
}
