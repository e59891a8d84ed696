// Per-ply search state: the node's move list with ordering scores, the
// principal variation, killers and the move picker's cursors.
#pragma once

#include <cstdint>

#include "board/position.h"

struct PlyRecord {
    Move moves[MAX_MOVES];
    int32_t orderScores[MAX_MOVES];
    uint8_t evalInfo[3];
    Move pv[MAX_PLY]; // indexed by absolute ply: moves for plies ply .. pvEnd - 1
    Move killer1;
    Move killer2;
    Move bestMove;
    Move threatMove; // best reply found by the null-move search
    Move hashMove;
    int32_t pvEnd;
    // move picker
    int32_t moveCount;
    int32_t moveIndex;
    int32_t pickStage;
    int32_t pickMode;
    int32_t killersTried;
    int32_t deferredStart;
    int32_t deferredEnd;
    int32_t batchStart;
    int32_t extension; // eighths of a ply granted to the move that led here
    // quiescence bookkeeping
    int32_t materialBalance;
    int32_t staticEval;
    int32_t evaluated;
    // node flags
    int32_t endgame;
    int32_t lowMaterial;
    int32_t mateThreat;
    int32_t bmThreat;
};
