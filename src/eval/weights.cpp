#include "eval/weights.h"

#include "board/see.h"
#include "eval/recognizers.h"

std::array<int, 7> pieceValue = {0, 0, 975, 500, 325, 325, 100};
EvalWeights evalWeights = classicEvalParams().weights;

namespace {

// Positional values for white, rank 8 first, files a to h; black mirrors them.
using Layout = std::array<int, 64>;

// clang-format off

constexpr Layout PAWN_OPENING = {
    0, 0, 0, 0, 0, 0, 0, 0,
    4, 8, 8, 10, 10, 8, 8, 4,
    4, 8, 8, 10, 10, 8, 8, 4,
    2, 6, 8, 10, 10, 8, 6, 2,
    0, 0, 7, 15, 15, 7, 0, 0,
    0, 0, 5, 6, 6, 4, -2, -2,
    2, 5, 5, -10, -10, 5, 5, 2,
    0, 0, 0, 0, 0, 0, 0, 0};

constexpr Layout PAWN_MIDDLE = {
    0, 0, 0, 0, 0, 0, 0, 0,
    16, 20, 28, 30, 30, 28, 20, 16,
    12, 14, 16, 25, 25, 16, 14, 12,
    7, 12, 14, 20, 20, 14, 12, 7,
    3, 5, 10, 20, 20, 10, 5, 3,
    3, 4, 5, 7, 7, 5, 4, 3,
    0, 0, 0, -10, -10, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0};

constexpr Layout PAWN_ENDING = {
    0, 0, 0, 0, 0, 0, 0, 0,
    29, 30, 32, 35, 35, 32, 30, 29,
    19, 20, 22, 25, 25, 22, 20, 19,
    12, 13, 15, 18, 18, 15, 13, 12,
    7, 8, 10, 13, 13, 10, 8, 7,
    3, 4, 5, 5, 5, 5, 4, 3,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0};

constexpr Layout KING_MIDDLE = {};

constexpr Layout KING_ENDING = {
    -40, -30, -20, -10, -10, -20, -30, -40,
    -30, -20, -10, 0, 0, -10, -20, -30,
    -20, -10, 0, 10, 10, 0, -10, -20,
    -10, 0, 10, 25, 25, 10, 0, -10,
    -10, 0, 10, 25, 25, 10, 0, -10,
    -20, -10, 0, 10, 10, 0, -10, -20,
    -30, -20, -10, 0, 0, -10, -20, -30,
    -40, -30, -20, -10, -10, -20, -30, -40};

constexpr Layout KNIGHT_LAYOUT = {
    -20, -15, -9, -9, -9, -9, -15, -20,
    -15, -15, 5, 5, 5, 5, -15, -15,
    -8, 5, 8, 8, 8, 8, 5, -8,
    -8, 5, 6, 6, 6, 6, 5, -8,
    -8, 5, 4, 4, 4, 4, 5, -8,
    -8, 6, 5, 5, 5, 5, 6, -8,
    -8, -8, 0, 0, 0, 0, -8, -8,
    -8, -8, -8, -8, -8, -8, -8, -8};

constexpr Layout BISHOP_LAYOUT = {
    -15, -15, -10, -10, -10, -10, -15, -15,
    -15, -9, 5, 5, 5, 5, -9, -15,
    -9, 5, 8, 8, 8, 8, 5, -9,
    -9, 5, 6, 6, 6, 6, 5, -9,
    -9, 5, 4, 4, 4, 4, 5, -9,
    -8, 6, 5, 5, 5, 5, 6, -8,
    -8, 0, 0, 0, 0, 0, 0, -8,
    -10, -10, -8, -8, -8, -8, -10, -10};

constexpr Layout ROOK_LAYOUT = {
    -5, 0, 0, 0, 0, 0, 0, -5,
    -5, 0, 0, 0, 0, 0, 0, -5,
    -5, 0, 0, 0, 0, 0, 0, -5,
    -5, -5, 1, 1, 1, 1, -5, -5,
    -5, -4, 2, 2, 2, 2, -4, -5,
    -5, -4, 4, 4, 4, 4, -4, -5,
    -4, -2, 4, 5, 5, 4, -2, -4,
    0, 0, 4, 6, 6, 4, 0, 0};

constexpr Layout QUEEN_LAYOUT = {
    -15, -15, -15, -15, -15, -15, -15, -15,
    -15, -9, 5, 5, 5, 5, -9, -15,
    -9, 5, 4, 6, 6, 4, 5, -9,
    -9, 5, 6, 9, 9, 6, 5, -9,
    -9, 5, 6, 9, 9, 6, 5, -9,
    -9, 6, 4, 6, 6, 4, 6, -9,
    -9, 0, 0, 0, 0, 0, 0, -9,
    -9, -9, -9, -9, -9, -9, -9, -9};

// clang-format on

// White's entry for square rank * 16 + file sits at layout row 7 - rank; black's
// entry for the same square equals white's for the mirrored square.
void fillTable(PieceSquareTable& table, const Layout& layout, int material) {
    table.fill(0);
    for (int rank = 0; rank < 8; ++rank) {
        for (int file = 0; file < 8; ++file) {
            int value = layout[(7 - rank) * 8 + file] + material;
            table[makeSquare(file, rank)] = value;
            table[128 + makeSquare(file, 7 - rank)] = value;
        }
    }
}

} // namespace

void foldMaterialIntoTables() {
    fillTable(pawnTableOpening, PAWN_OPENING, pieceValue[PAWN]);
    fillTable(pawnTableMiddle, PAWN_MIDDLE, pieceValue[PAWN]);
    fillTable(pawnTableEnding, PAWN_ENDING, pieceValue[PAWN]);
    fillTable(kingTableMiddle, KING_MIDDLE, 0);
    fillTable(kingTableEnding, KING_ENDING, 0);
    fillTable(knightTable, KNIGHT_LAYOUT, pieceValue[KNIGHT]);
    fillTable(bishopTable, BISHOP_LAYOUT, pieceValue[BISHOP]);
    fillTable(rookTable, ROOK_LAYOUT, pieceValue[ROOK]);
    fillTable(queenTable, QUEEN_LAYOUT, pieceValue[QUEEN]);
}

void initEvalTables() {
    foldMaterialIntoTables();
    buildSwapTable();
    initRecognizers();
}
