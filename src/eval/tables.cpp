#include "eval/tables.h"

#include "board/see.h"

namespace {

// White's entry for square rank * 16 + file sits at layout row 7 - rank; black's
// entry for the same square equals white's for the mirrored square.
void fillTable(PieceSquareTable& table, const PieceSquareLayout& layout, int material) {
    table.fill(0);
    for (int rank = 0; rank < 8; ++rank) {
        for (int file = 0; file < 8; ++file) {
            const int value = layout[(7 - rank) * 8 + file] + material;
            table[makeSquare(file, rank)] = value;
            table[128 + makeSquare(file, 7 - rank)] = value;
        }
    }
}

} // namespace

PieceSquareTables buildPieceSquareTables(const EvalParams& params) {
    const std::array<int, 7>& value = params.pieceValue;
    PieceSquareTables tables;
    fillTable(tables.pawnOpening, params.pstPawnOpening, value[PAWN]);
    fillTable(tables.pawnMiddle, params.pstPawnMiddle, value[PAWN]);
    fillTable(tables.pawnEnding, params.pstPawnEnding, value[PAWN]);
    fillTable(tables.kingMiddle, params.pstKingMiddle, 0);
    fillTable(tables.kingEnding, params.pstKingEnding, 0);
    fillTable(tables.knight, params.pstKnight, value[KNIGHT]);
    fillTable(tables.bishop, params.pstBishop, value[BISHOP]);
    fillTable(tables.rook, params.pstRook, value[ROOK]);
    fillTable(tables.queen, params.pstQueen, value[QUEEN]);
    return tables;
}

const PieceSquareTables& classicPieceSquareTables() {
    static const PieceSquareTables tables = buildPieceSquareTables(classicEvalParams());
    return tables;
}

void initEvalTables() {
    buildSwapTable();
    installStartupPieceSquareTables(classicPieceSquareTables());
}
