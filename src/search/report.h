// What the search tells its front end: principal-variation lines and the root
// move being searched. The front end turns them into text.
#pragma once

#include <cstdint>

#include "board/position.h"

// How a reported score relates to the true one: the root window failed high
// (lower bound) or low (upper bound), or the score is exact.
enum class ScoreBound { Exact, Lower, Upper };

struct PvReport {
    // The searched position, standing at the root while the report is handed out.
    const Position& root;
    int iteration;
    int selDepth;
    uint64_t nodes; // of every thread of the search
    int score;
    int64_t elapsedMs;
    ScoreBound bound;
    // The searched variation, extended from the transposition table; every
    // move is legal where it is played.
    Move moves[MAX_PLY];
    int length;
    // Several lines: the line's rank, from 1 (0: the one line of a search for
    // the best move alone).
    int multiPv;
};

struct ProgressReport {
    const Position& root;
    int iteration;
    uint64_t nodes; // of every thread of the search
    int index;      // of the root move, from 0
    int count;      // root moves
    Move move;
    int64_t elapsedMs;
};
