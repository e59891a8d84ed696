// The piece-square tables with material folded in. The board keeps its
// incremental piece-square sums with them; the evaluation fills them at
// start-up from the configured piece values. Process-wide and read-only once
// built. Which pawn and king tables are in force follows the game stage; each
// board keeps its own selection (Board::updateStage).
#pragma once

#include <array>

#include "board/types.h"

// A piece-square table: entry colour * 128 + square (0x88), material included.
using PieceSquareTable = std::array<int, 256>;

extern PieceSquareTable pawnTableOpening;
extern PieceSquareTable pawnTableMiddle;
extern PieceSquareTable pawnTableEnding;
extern PieceSquareTable kingTableMiddle;
extern PieceSquareTable kingTableEnding;
extern PieceSquareTable knightTable;
extern PieceSquareTable bishopTable;
extern PieceSquareTable rookTable;
extern PieceSquareTable queenTable;

// The tables in force at a game stage (0, 1 or 2), by piece code: the pawn and
// king tables follow the stage; entry 0 is never used.
using StageTables = std::array<const PieceSquareTable*, 7>;
StageTables stageTables(int stage);
