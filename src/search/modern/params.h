// The switches and numbers of the modern search profile, in one place, so that
// each technique can be measured alone (off, or with other numbers) and tuned.
// Depths are in plies, margins in centipawns, exchange values in pawns.
#pragma once

#include <cstdint>

struct ModernParams {
    // Iterative deepening inside an aspiration window around the last score,
    // widened by half again on each failure.
    bool useAspiration = true;
    int aspirationMinDepth = 5;
    int aspirationDelta = 18;

    // Reverse futility (static null move): a static evaluation this far above
    // beta at low depth is taken as a fail high.
    bool useReverseFutility = true;
    int reverseFutilityDepth = 6;
    int reverseFutilityMargin = 110; // per ply, less one ply when improving

    // Razoring: a static evaluation far below alpha at low depth drops into
    // the quiescence search.
    bool useRazoring = true;
    int razorDepth = 3;
    int razorMargin = 200; // plus this per ply

    // Null move: the reduction grows with depth and with the margin over beta.
    bool useNullMove = true;
    int nullMinDepth = 2;
    int nullBaseReduction = 3;
    int nullDepthDivisor = 3;
    int nullEvalDivisor = 200;
    int nullEvalReductionMax = 3;

    // Futility pruning of quiet moves at low depth.
    bool useFutility = true;
    int futilityDepth = 6;
    int futilityBase = 90;
    int futilityPerDepth = 110;

    // Late-move pruning: quiet moves after the first few at low depth.
    bool useLateMovePruning = true;
    int lateMoveDepth = 8;
    int lateMoveBase = 3; // moves searched: base + depth^2 (halved when not improving)

    // Late-move reductions from a table of depth and move number, adjusted by
    // the move's history.
    bool useReductions = true;
    int reductionMinDepth = 3;
    int reductionBase = 75;     // hundredths of a ply
    int reductionDivisor = 225; // hundredths: base + ln(depth) ln(moves) / divisor
    int reductionHistoryDivisor = 8192;
    // A quiet move is reduced one ply more when the table's best move is a
    // capture: the quiet alternatives of a position that wants a capture
    // rarely beat it.
    bool reduceMoreAfterTableCapture = true;

    // History pruning: at low depth a quiet move whose history (its own and
    // its continuations) is this far below zero per ply is not searched.
    bool useHistoryPruning = true;
    int historyPruningDepth = 4;
    int historyPruningMargin = 3000;

    // Exchange (SEE) pruning at low depth, in pawns per ply (squared for quiets).
    bool useExchangePruning = true;
    int exchangePruningDepth = 8;
    int exchangeCaptureMargin = 1; // captures losing more than margin * depth
    int exchangeQuietMargin = 1;   // quiets losing more than margin * depth^2 / 4, at least one pawn
    // Captures that give check are never pruned. Off: it finds mating
    // sacrifices sooner but lost about 14 Elo in games (more nodes everywhere).
    bool exchangePruningSparesChecks = false;

    // History: updates scaled by depth squared, with penalties for the quiet
    // moves tried before the one that cut off; counter moves and continuation
    // histories (one and two plies back).
    int historyLimit = 16384;
    int historyBonusMax = 1600;
    bool useCounterMoves = true;
    bool useContinuationHistory = true;

    // Internal iterative reduction: a node without a table move at depth is
    // searched one ply shallower.
    bool useIterativeReduction = true;
    int iterativeReductionDepth = 4;

    // Singular extension of a table move that beats every other move by a margin.
    bool useSingularExtension = true;
    int singularDepth = 8;
    int singularMarginPerDepth = 2;

    // Correction history: the static evaluation is moved by how far searches
    // found it off, on average, in earlier positions of the same pawn
    // structure; each search result moves the average by more the deeper it was.
    bool useCorrectionHistory = true;
    int correctionLimit = 64;     // centipawns either way
    int correctionWeightMax = 16; // 256ths: depth + 1, at most this
    // And by the opponent's last move: that entry learns the error the pawn
    // structure's leaves, and counts this share of itself.
    bool useMoveCorrection = true;
    int moveCorrectionPercent = 50;

    // Checks are extended one ply when the checking move does not lose material.
    bool useCheckExtension = true;

    // Quiescence: captures that lose material are dropped, and so are captures
    // that cannot bring the score near alpha.
    bool useQuiescenceExchange = true;
    bool useDeltaPruning = true;
    // Quiet checks on the first ply, when they lose nothing. Off: tested with
    // the switch above, the pair did not hold its strength in games.
    bool useQuiescenceChecks = false;
    int deltaMargin = 200;

    // Time: a soft limit that grows when the best move changes and when the
    // score drops, and a hard limit the search never passes.
    bool useTimeManagement = true;
    int timeMovesToGo = 20;      // the clock is spent as if this many moves were left
    int timeIncrementShare = 80; // per cent of the increment added
    int timeHardFactor = 5;      // hard limit: this many soft limits ...
    int timeHardClockShare = 25; // ... and never more than this per cent of the clock
};
