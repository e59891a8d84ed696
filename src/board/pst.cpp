#include "board/pst.h"

PieceSquareTable pawnTableOpening;
PieceSquareTable pawnTableMiddle;
PieceSquareTable pawnTableEnding;
PieceSquareTable kingTableMiddle;
PieceSquareTable kingTableEnding;
PieceSquareTable knightTable;
PieceSquareTable bishopTable;
PieceSquareTable rookTable;
PieceSquareTable queenTable;

StageTables stageTables(int stage) {
    FM_ASSERT(stage >= 0 && stage <= 2);
    static const std::array<const PieceSquareTable*, 3> pawnTables = {&pawnTableOpening, &pawnTableMiddle,
                                                                      &pawnTableEnding};
    return {nullptr,          stage == 2 ? &kingTableEnding : &kingTableMiddle,
            &queenTable,      &rookTable,
            &bishopTable,     &knightTable,
            pawnTables[stage]};
}
