// Piece values, piece-square tables with material folded in, the stage
// selectors, the material-imbalance bonus and the weights that scale terms.
#include "evaltest.h"

TEST(PieceSquareTables, ThePieceValuesOfTheParametersShowInEveryTable) {
    EvalParams params = classicEvalParams();
    params.pieceValue[PAWN] = 90;
    const PieceSquareTables tables = buildPieceSquareTables(params);
    EXPECT_EQ(tables.pawnOpening[E4], 15 + 90);
    EXPECT_EQ(tables.pawnMiddle[128 + E5], 20 + 90);
    EXPECT_EQ(tables.pawnEnding[A7], 29 + 90);
    EXPECT_EQ(tables.knight[E4], 4 + 325);
    // Black's entry is white's for the mirrored square; kings carry no material.
    EXPECT_EQ(tables.bishop[128 + B7], tables.bishop[B2]);
    EXPECT_EQ(tables.kingEnding[128 + D5], 25);
    EXPECT_EQ(tables.kingMiddle[G1], 0);
}

TEST(PieceSquareTables, EachBoardFollowsItsOwnStage) {
    const PieceSquareTables& classic = classicPieceSquareTables();
    Board b;
    b.readFen("r3k3/pppp4/8/8/8/8/PPPP4/4K3 w q -"); // a castling right: stage 0
    EXPECT_EQ(&b.currentPawnTable(), &classic.pawnOpening);
    EXPECT_EQ(&b.currentKingTable(), &classic.kingMiddle);
    b.readFen("rq2k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"); // black has 14: stage 2
    EXPECT_EQ(&b.currentPawnTable(), &classic.pawnEnding);
    EXPECT_EQ(&b.currentKingTable(), &classic.kingEnding);
    // Another board at another stage leaves this one's tables alone.
    Board other;
    other.readFen("rqb1k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"); // black has 17: stage 1
    EXPECT_EQ(&other.currentPawnTable(), &classic.pawnMiddle);
    EXPECT_EQ(&b.currentPawnTable(), &classic.pawnEnding);
    b.readFen("r1b1kb2/8/8/8/8/8/8/R1BNKBN1 w - -"); // white has 17, black 11: stage 1
    EXPECT_EQ(&b.currentPawnTable(), &classic.pawnMiddle);
    EXPECT_TRUE(b.isConsistent());
}

TEST(PieceSquareTables, ABoardGivenOtherTablesSumsWithThemAndKeepsItsCastling) {
    auto position = positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    ASSERT_TRUE(playMoves(*position, {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "e1g1"}));
    Board& board = position->board;
    ASSERT_EQ(board.castled[WHITE], 1);
    const int white = board.pstScore[WHITE], black = board.pstScore[BLACK];
    EvalParams params = classicEvalParams();
    params.pieceValue[PAWN] = 90;
    params.pieceValue[KNIGHT] = 300;
    const PieceSquareTables tables = buildPieceSquareTables(params);
    board.usePieceSquareTables(tables);
    // Eight pawns 10 less each; white's two knights and black's two 25 less.
    EXPECT_EQ(board.pstScore[WHITE], white - 80 - 50);
    EXPECT_EQ(board.pstScore[BLACK], black - 80 - 50);
    EXPECT_EQ(&board.currentPawnTable(), &tables.pawnOpening) << "black can still castle: stage 0";
    EXPECT_EQ(board.castled[WHITE], 1) << "castling done stays part of the position";
    EXPECT_TRUE(board.isConsistent());
    // Moves made afterwards keep the sums with the new tables.
    ASSERT_TRUE(playMoves(*position, {"d7d6", "b1c3"}));
    Board fresh;
    fresh.usePieceSquareTables(tables);
    fresh.readFen(board.fen().c_str());
    EXPECT_EQ(board.pstScore[WHITE], fresh.pstScore[WHITE]);
    EXPECT_EQ(board.pstScore[BLACK], fresh.pstScore[BLACK]);
}

TEST(MaterialImbalance, TheKindRulesAndTheirWeight) {
    EXPECT_EQ(TracedPosition("4k1n1/8/8/8/8/8/8/R3K3 w - -").net(TERM_IMBALANCE), 50);
    EXPECT_EQ(TracedPosition("r3k3/8/8/8/8/8/8/1N2K3 b - -").net(TERM_IMBALANCE), -50);
    // Queen against two rooks gets the favour.
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/3QK3 w - -").net(TERM_IMBALANCE), 75);
    // A knight against pawns: rule 1 (75) and one minor more (50).
    EXPECT_EQ(TracedPosition("4k3/pppp4/8/8/8/8/PPPP4/1N2K3 w - -").net(TERM_IMBALANCE), 125);
    // A rook against pawns: rule 1 (75) and, minors equal, more majors (75).
    EXPECT_EQ(TracedPosition("4k3/pppp4/8/8/8/8/PPPP4/R3K3 w - -").net(TERM_IMBALANCE), 150);
    // Two minors against a rook match no rule.
    EXPECT_EQ(TracedPosition("4k2r/8/8/8/8/8/8/1NB1K3 w - -").net(TERM_IMBALANCE), 0);
    EXPECT_EQ(TracedPosition("r3k3/8/8/8/8/8/8/1NB1K3 b - -").net(TERM_IMBALANCE), 0);
    // The piece favour weight sizes the bonuses.
    EvalParams params = classicEvalParams();
    params.weights.pieceFavour = 30;
    EXPECT_EQ(TracedPosition("4k1n1/8/8/8/8/8/8/R3K3 w - -", params).net(TERM_IMBALANCE), 20);
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/3QK3 w - -", params).net(TERM_IMBALANCE), 30);
}

TEST(EvalWeights, SpaceControlChangesNoScoreAndLargeWeightsLeaveNoTable) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const auto positions = allDataPositions();
    // The evaluator reads the parameters it was handed as they are at each
    // evaluation (it has no caches here).
    EvalParams params = classicEvalParams();
    Evaluator evaluator(params);
    Board b;
    for (size_t i = 0; i < positions.size(); i += 5) {
        if (b.readFen(positions[i].c_str()) != 1 || !b.hasBothKings()) continue;
        params.weights.spaceControl = classicEvalParams().weights.spaceControl;
        const int before = evaluator.evaluate(b);
        for (int value : {0, -500, 100000}) {
            params.weights.spaceControl = value;
            EXPECT_EQ(evaluator.evaluate(b), before) << positions[i];
        }
    }
    // No range check: large and negative weights change the numbers but index
    // no table (the sanitizer build watches every index), and the terms still
    // add up to the score.
    params.weights = {1000000, -1000, 100000, 0, -100000};
    for (size_t i = 0; i < positions.size(); i += 11) {
        if (b.readFen(positions[i].c_str()) != 1 || !b.hasBothKings()) continue;
        EvalTrace trace;
        evaluator.evaluate(b, trace);
        expectTermsAddUp(b, trace, positions[i]);
    }
}
