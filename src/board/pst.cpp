#include "board/pst.h"

namespace {

constexpr PieceSquareTables NO_TABLES{};
// Written once during start-up, read-only afterwards.
const PieceSquareTables* startupTables = &NO_TABLES;

} // namespace

StageTables PieceSquareTables::atStage(int stage) const {
    FM_ASSERT(stage >= 0 && stage <= 2);
    const PieceSquareTable* pawn = stage == 0 ? &pawnOpening : stage == 1 ? &pawnMiddle : &pawnEnding;
    return {nullptr, stage == 2 ? &kingEnding : &kingMiddle, &queen, &rook, &bishop, &knight, pawn};
}

const PieceSquareTables& startupPieceSquareTables() { return *startupTables; }

void installStartupPieceSquareTables(const PieceSquareTables& tables) { startupTables = &tables; }
