// Helpers for the evaluation tests: a traced evaluation of a position given as
// text, and a guard that restores the process-wide weights.
#pragma once

#include "eval/evaltrace.h"
#include "eval/weights.h"
#include "testutil.h"

// A position set up from text and evaluated once with the term breakdown.
struct TracedPosition {
    Board board;
    EvalTrace trace;
    int score = 0;

    explicit TracedPosition(const std::string& fen) {
        EXPECT_EQ(board.readFen(fen.c_str()), 1) << fen;
        score = board.evaluate(trace);
    }
    int white(EvalTerm t) const { return trace.term[t][WHITE]; }
    int black(EvalTerm t) const { return trace.term[t][BLACK]; }
    int net(EvalTerm t) const { return trace.net(t); }
};

// Restores the weights, the piece values and the tables built from them.
struct WeightsGuard {
    EvalWeights weights = evalWeights;
    std::array<int, 7> values = pieceValue;
    ~WeightsGuard() {
        evalWeights = weights;
        pieceValue = values;
        foldMaterialIntoTables();
    }
};
