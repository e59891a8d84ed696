// Score constants of the search. Scores are centipawns from the side to move's
// point of view; a side mated at ply p scores p - MATE_SCORE.
#pragma once

constexpr int INFINITE_SCORE = 10000;
constexpr int MATE_SCORE = 9999;
constexpr int MATE_THRESHOLD = 9936;
