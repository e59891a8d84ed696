// The piece-square tables with material folded in, as a board sums them. A
// set of them is built from one set of evaluation parameters (by the
// evaluation); a board keeps its incremental piece-square sums (pstScore)
// with the set it is given. Which pawn and king tables are in force follows
// the game stage; each board keeps its own selection (Board::updateStage).
#pragma once

#include <array>

#include "board/types.h"

// A piece-square table: entry colour * 128 + square (0x88), material included.
using PieceSquareTable = std::array<int, 256>;

// The tables in force at a game stage, by piece code: entry 0 is never used.
using StageTables = std::array<const PieceSquareTable*, 7>;

struct PieceSquareTables {
    PieceSquareTable pawnOpening; // stage 0
    PieceSquareTable pawnMiddle;  // stage 1
    PieceSquareTable pawnEnding;  // stage 2
    PieceSquareTable kingMiddle;  // stages 0 and 1
    PieceSquareTable kingEnding;  // stage 2
    PieceSquareTable knight;
    PieceSquareTable bishop;
    PieceSquareTable rook;
    PieceSquareTable queen;

    // The tables in force at a game stage (0, 1 or 2).
    StageTables atStage(int stage) const;
};

// The set every new board sums with. Boards are made everywhere (the game's
// position, tests, tools, the tablebase generator), far from whoever owns
// evaluation parameters, and each must be consistent from its construction:
// so a new board takes one process-wide set, installed once during start-up
// (the evaluation's start-up installs the classic tables; before that it is
// all zeros) and read-only afterwards. A board that is to evaluate with other
// parameters is given their tables (Board::usePieceSquareTables).
const PieceSquareTables& startupPieceSquareTables();
void installStartupPieceSquareTables(const PieceSquareTables& tables);
