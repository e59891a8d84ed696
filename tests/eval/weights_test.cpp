// Piece values, piece-square tables with material folded in, the stage
// selectors, the material-imbalance bonus and the weights that scale terms.
#include "evaltest.h"

TEST(PieceSquareTables, AConfiguredPawnValueShowsInEveryPawnTable) {
    WeightsGuard guard;
    pieceValue[PAWN] = 90;
    foldMaterialIntoTables();
    EXPECT_EQ(pawnTableOpening[E4], 15 + 90);
    EXPECT_EQ(pawnTableMiddle[128 + E5], 20 + 90);
    EXPECT_EQ(pawnTableEnding[A7], 29 + 90);
    EXPECT_EQ(knightTable[E4], 4 + 325);
}

TEST(PieceSquareTables, EachBoardFollowsItsOwnStage) {
    Board b;
    b.readFen("r3k3/pppp4/8/8/8/8/PPPP4/4K3 w q -"); // a castling right: stage 0
    EXPECT_EQ(&b.currentPawnTable(), &pawnTableOpening);
    EXPECT_EQ(&b.currentKingTable(), &kingTableMiddle);
    b.readFen("rq2k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"); // black has 14: stage 2
    EXPECT_EQ(&b.currentPawnTable(), &pawnTableEnding);
    EXPECT_EQ(&b.currentKingTable(), &kingTableEnding);
    // Another board at another stage leaves this one's tables alone.
    Board other;
    other.readFen("rqb1k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"); // black has 17: stage 1
    EXPECT_EQ(&other.currentPawnTable(), &pawnTableMiddle);
    EXPECT_EQ(&b.currentPawnTable(), &pawnTableEnding);
    b.readFen("r1b1kb2/8/8/8/8/8/8/R1BNKBN1 w - -"); // white has 17, black 11: stage 1
    EXPECT_EQ(&b.currentPawnTable(), &pawnTableMiddle);
    EXPECT_TRUE(b.isConsistent());
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
    WeightsGuard guard;
    evalWeights.pieceFavour = 30;
    EXPECT_EQ(TracedPosition("4k1n1/8/8/8/8/8/8/R3K3 w - -").net(TERM_IMBALANCE), 20);
    EXPECT_EQ(TracedPosition("r3k2r/8/8/8/8/8/8/3QK3 w - -").net(TERM_IMBALANCE), 30);
}

TEST(EvalWeights, SpaceControlChangesNoScoreAndLargeWeightsLeaveNoTable) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    WeightsGuard guard;
    const auto positions = allDataPositions();
    Board b;
    Evaluator evaluator;
    for (size_t i = 0; i < positions.size(); i += 5) {
        if (b.readFen(positions[i].c_str()) != 1 || !b.hasBothKings()) continue;
        evalWeights.spaceControl = guard.weights.spaceControl;
        const int before = evaluator.evaluate(b);
        for (int value : {0, -500, 100000}) {
            evalWeights.spaceControl = value;
            EXPECT_EQ(evaluator.evaluate(b), before) << positions[i];
        }
    }
    // No range check: large and negative weights change the numbers but index
    // no table (the sanitizer build watches every index), and the terms still
    // add up to the score.
    evalWeights = {1000000, -1000, 100000, 0, -100000};
    for (size_t i = 0; i < positions.size(); i += 11) {
        if (b.readFen(positions[i].c_str()) != 1 || !b.hasBothKings()) continue;
        EvalTrace trace;
        evaluator.evaluate(b, trace);
        expectTermsAddUp(b, trace, positions[i]);
    }
}
