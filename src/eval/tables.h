// The tables the evaluation builds: piece-square tables from a set of
// parameters, and the process-wide tables made once at start-up.
#pragma once

#include "board/pst.h"
#include "eval/params.h"

// The nine piece-square layouts of `params` with their piece values added
// (the kings' tables without material), for white and, mirrored, for black.
PieceSquareTables buildPieceSquareTables(const EvalParams& params);

// Those of the classic parameters, built on first use and read-only.
const PieceSquareTables& classicPieceSquareTables();

// Start-up table construction, in order: geometry (compile-time here), the
// exchange tables, and the classic piece-square tables installed as the set
// every new board starts with.
void initEvalTables();
