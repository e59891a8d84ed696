// Helpers for the evaluation tests: a traced evaluation of a position given as
// text, parameter sets that differ from the classic one, and the caches of an
// evaluator allocated.
#pragma once

#include <cstring>
#include <random>

#include "eval/evaluator.h"
#include "eval/params.h"
#include "eval/tables.h"
#include "shell/settings.h"
#include "testutil.h"

// A position set up from text and evaluated once, by an evaluator of its
// own, with the term breakdown; with the classic parameters or others (the
// board then sums with their piece-square tables).
struct TracedPosition {
    EvalParams params;
    PieceSquareTables tables;
    Board board;
    Evaluator evaluator{params};
    EvalTrace trace;
    int score = 0;

    explicit TracedPosition(const std::string& fen, const EvalParams& with = classicEvalParams())
        : params(with), tables(buildPieceSquareTables(with)) {
        board.usePieceSquareTables(tables);
        EXPECT_EQ(board.readFen(fen.c_str()), 1) << fen;
        score = evaluator.evaluate(board, trace);
    }
    const EvalScratch& scratch() const { return evaluator.scratch(); }
    int white(EvalTerm t) const { return trace.term[t][WHITE]; }
    int black(EvalTerm t) const { return trace.term[t][BLACK]; }
    int net(EvalTerm t) const { return trace.net(t); }
    std::pair<int, int> both(EvalTerm t) const { return {white(t), black(t)}; }
};

// Sizes and allocates both caches of an evaluator; returns the size lines the
// program would print for them.
inline std::string allocateCaches(Evaluator& evaluator, int pawnMB = 1, int evalMB = 1) {
    CacheSet& caches = evaluator.caches();
    caches.pawn.sizeMB = pawnMB;
    caches.eval.sizeMB = evalMB;
    const std::string pawnLines = cacheSizeLines(caches.pawn.allocate());
    return pawnLines + cacheSizeLines(caches.eval.allocate());
}

// The traced terms add up to the raw score of the board's side to move.
inline void expectTermsAddUp(const Board& b, const EvalTrace& trace, const std::string& fen) {
    int sum = 0;
    for (int t = 0; t < TERM_COUNT; ++t) sum += trace.term[t][b.side] - trace.term[t][b.side ^ 1];
    EXPECT_EQ(sum, trace.raw) << fen;
}

// The classic parameters with every value raised by 1 to 3 at random (the two
// piece values that must stay 0 aside): a set that differs from the classic
// one everywhere and is still valid (divisors stay positive, every value in
// its range).
inline EvalParams perturbedParams(uint32_t seed) {
    constexpr size_t COUNT = sizeof(EvalParams) / sizeof(int);
    static_assert(sizeof(EvalParams) == COUNT * sizeof(int), "the parameters are ints only");
    EvalParams params = classicEvalParams();
    std::array<int, COUNT> values;
    std::memcpy(values.data(), &params, sizeof params);
    std::mt19937 random(seed);
    for (int& value : values) value += 1 + static_cast<int>(random() % 3);
    std::memcpy(&params, values.data(), sizeof params);
    params.pieceValue[NO_PIECE] = params.pieceValue[KING] = 0;
    return params;
}
