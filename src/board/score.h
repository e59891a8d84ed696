// Score constants of the evaluation, the tablebases and the search. Scores are
// centipawns from the side to move's point of view; a side mated at ply p
// scores p - MATE_SCORE.
#pragma once

constexpr int INFINITE_SCORE = 10000;
constexpr int MATE_SCORE = 9999;
constexpr int MATE_THRESHOLD = 9936;

// A search window: alpha below beta, both near the score range (aspiration
// windows around a mate score reach a little beyond it).
constexpr bool isWindow(int alpha, int beta) {
    return alpha < beta && alpha >= -2 * INFINITE_SCORE && beta <= 2 * INFINITE_SCORE;
}
