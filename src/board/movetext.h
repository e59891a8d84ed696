// Move text: coordinate notation (e2e4, e7e8Q), standard algebraic notation
// (Nbd2, exd5, O-O, e8=Q+), and the one tolerant reader for both.
#pragma once

#include "board/position.h"

// The square's name ("e4"); `text` holds at least 3 characters.
void squareToText(Square square, char* text);
// Coordinate notation of a move ("e2e4", "e7e8Q"); `text` holds at least 6
// characters. A castle is written as its word has it: the king's two-square
// step in standard chess (e1g1), the king taking its rook in Chess960 (e1h1).
void moveToCoord(Move move, char* text);
// The squares and promotion piece of coordinate text; no piece or flags. NO_MOVE
// when the text does not begin with two squares, or when a letter after them
// names no promotion piece (a king, say).
Move coordToMove(const char* text);
// True when the text is written as a move (coordinates, castling or SAN),
// whether or not such a move exists: the xboard protocol answers those that
// are not legal with "Illegal move".
bool looksLikeMove(const char* text);

// SAN with "+" or "#" when the move gives check or mate; `text` holds at least
// 16 characters. The move must be pseudo-legal in the position to get a mark.
void moveToSan(Position& position, Move move, char* text);

// The move a text names in the position: castling words (O-O, 0-0-0, as the
// board's castlingMove writes them), coordinates (squares only, as coordToMove
// gives them) or SAN matched against the generated moves (full move word).
// NO_MOVE when it names none.
Move parseMove(Position& position, const char* text);

// The full move word for two squares of the board. A promotion piece counts
// only for a pawn reaching its last rank, and such a pawn without one becomes a
// queen: the word never describes a move the board cannot make. A king's
// two-square step is a castle in standard chess; in Chess960 the king moving
// onto its own rook is.
Move moveFromSquares(const Board& board, Square from, Square to, int promotion);
