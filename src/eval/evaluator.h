// The evaluator: the static score of a board under a set of parameters it is
// handed (and does not own), computed in a work area and kept in caches that
// belong to this evaluator alone. Each search thread has one, so no cache
// entry or work area is ever touched by two threads, and evaluators with
// different parameters never disturb each other. The board's material and
// piece-square sums come from the tables it sums with, which must be built
// from the same parameters (buildPieceSquareTables).
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "eval/cacheset.h"
#include "eval/evaltrace.h"
#include "eval/params.h"

// Work area of the evaluator, rewritten by every evaluation that misses the cache.
struct EvalScratch {
    // Attack bytes per colour and square: pawns add 64, knights and bishops 16,
    // rooks 4, queens 2, the king 1 (8-bit sums that carry between fields).
    uint8_t attackMap[2][128];
    // The squares whose attack byte is not zero (bit rank * 8 + file).
    uint64_t attacked[2];
    uint8_t pawnRankFiles[2][8];
    uint8_t pawnFileRanks[2][10]; // files -1..8; the two guard bytes stay 0
    uint8_t pawnFiles[2];
    // evalInfo: [0] flags (bit 0: a runaway passed pawn), [1] king-attack index of
    // the black king, [2] king-attack index of the white king.
    std::array<uint8_t, 3> evalInfo;
    // Mobility plus pawn-count adjustments of each colour, weighted.
    int32_t mobility[2];

    // Pawn ranks of colour c on file f (-1..8).
    uint8_t& fileRanks(int c, int f) { return pawnFileRanks[c][f + 1]; }
    uint8_t fileRanks(int c, int f) const { return pawnFileRanks[c][f + 1]; }
};

class Evaluator {
  public:
    // `params` must outlive the evaluator, or its next useParams.
    explicit Evaluator(const EvalParams& params = classicEvalParams()) : params_(&params) {}
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Evaluates with `params` from now on. Another set empties the caches,
    // whose entries the old one made; the owner of a set that it changes in
    // place empties them itself.
    void useParams(const EvalParams& params) {
        if (&params == params_) return;
        params_ = &params;
        caches_.clear();
    }
    const EvalParams& params() const { return *params_; }

    // Static score for the side to move; the board needs both kings.
    int evaluate(const Board& board);
    // The same evaluation with each term family's share written to `trace`. It
    // uses the pawn cache but neither probes nor fills the evaluation cache.
    int evaluate(const Board& board, EvalTrace& trace);
    // True with a side-to-move score when an endgame recognizer knows the position.
    bool recognize(const Board& board, int& score) const;

    // The info bytes of the last evaluation (see EvalScratch::evalInfo).
    const std::array<uint8_t, 3>& evalInfo() const { return scratch_.evalInfo; }
    // The work area as the last evaluation that missed the cache left it.
    const EvalScratch& scratch() const { return scratch_; }
    CacheSet& caches() { return caches_; }
    const CacheSet& caches() const { return caches_; }
    // Starts loading the cache entries the evaluation of the board will probe
    // (called right after a move, while the child node sets itself up).
    void prefetch(const Board& board) const {
        caches_.eval.prefetch(static_cast<uint32_t>(board.key));
        caches_.pawn.prefetch(static_cast<uint32_t>(board.pawnKey));
    }

  private:
    template <bool Traced> int evaluateSteps(const Board& board, EvalTrace* trace);
    // Fills the attack maps and pawn masks of the scratch; returns the mobility
    // of the side to move minus the other's.
    int buildAttackMaps(const Board& board);
    // Pawn structure (side-to-move relative) and each colour's passed-pawn
    // files; stores both in the pawn cache.
    int evalPawnStructure(const Board& board, uint8_t passedFiles[2]);

    const EvalParams* params_;
    // Zeroed once: the off-board bytes of the attack maps stay 0, as nothing writes them.
    EvalScratch scratch_{};
    CacheSet caches_;
};
