// The Polyglot position key: a Zobrist hash over a fixed table of 781 numbers
// that every Polyglot book shares. It is unrelated to the board's own key.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

// Sections of the number table: 768 piece-square numbers (64 per piece kind),
// then the four castling rights, the eight en-passant files and the side to move.
enum PolyglotTableOffset : int {
    POLYGLOT_PIECES = 0,
    POLYGLOT_CASTLING = 768,
    POLYGLOT_EN_PASSANT = 772,
    POLYGLOT_TURN = 780,
    POLYGLOT_TABLE_SIZE = 781
};

extern const std::array<uint64_t, POLYGLOT_TABLE_SIZE> POLYGLOT_RANDOM;

// Polyglot numbers piece kinds from the black pawn (0) up to the white king
// (11), each black kind followed by its white twin.
constexpr int polyglotPieceKind(int piece, int colour) {
    constexpr std::array<int, 7> PAIR = {-1, 5, 4, 3, 2, 1, 0}; // indexed by PieceCode
    return 2 * PAIR[piece] + (colour == WHITE ? 1 : 0);
}

// File of the en-passant square when it enters the key, else -1. Polyglot
// counts it only when a pawn of the side to move stands beside the pawn that
// just made its double step, whether or not the capture would be legal.
int polyglotEnPassantFile(const Board& board);

uint64_t polyglotKey(const Board& board);
