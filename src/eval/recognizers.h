// Endgame recognizers: small functions for one kind of material that know
// the outcome well enough to score it, or decline.
#pragma once

#include <array>
#include <cstdint>

class Board;

// Writes a side-to-move score and returns 1, or declines with 0.
using Recognizer = int (*)(const Board& board, int& score);

// Slot (tw | tb) + 32 when both kind masks are non-zero, else (tw | tb).
extern std::array<Recognizer, 64> recognizerTable;
// Bit j of recognizerPairs[i]: the pair of kind masks (i, j) was registered.
extern std::array<uint32_t, 32> recognizerPairs;

// Fills the table; part of the start-up table construction.
void initRecognizers();
