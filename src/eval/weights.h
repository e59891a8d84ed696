// The configurable evaluation weights, the material values and the
// piece-square tables with material folded in. These are process-wide values:
// the configuration reader stores into them before the tables are built, and
// they stay read-only afterwards.
#pragma once

#include <array>

#include "board/pst.h"
#include "board/types.h"
#include "eval/params.h"

// Material values by piece code (index 0 and the king hold 0).
extern std::array<int, 7> pieceValue;

extern EvalWeights evalWeights;

// Rebuilds the nine tables from their positional values plus the current
// piece values. Safe to call again after the piece values change.
void foldMaterialIntoTables();

// Start-up table construction, in order: geometry (compile-time here), material
// folded into the piece-square tables, exchange tables, recognizer table.
void initEvalTables();
