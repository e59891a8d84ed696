// Search depths are counted in eighths of a ply, so that extensions can add
// fractions of a ply.
#pragma once

constexpr int ONE_PLY = 8;

// Whole plies of a depth in eighths, as the transposition table stores them.
constexpr int wholePlies(int depth) { return depth / ONE_PLY; }
