// Counting the leaves of the legal move tree.
#pragma once

#include <cstdint>

#include "board/output.h"
#include "board/position.h"

// Leaves of the legal move tree below the position, `depth` plies deep (depth 0
// counts like depth 1); with `progress`, prints "." per legal root move.
uint64_t perft(Position& position, int depth, Output* progress = nullptr);
