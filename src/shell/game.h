// The game the engine plays: its position and move record, its result, and
// whether it follows the standard rules or Chess960's. The console, xboard and
// UCI front ends all play this one game; what the engine keeps beside it (the
// transposition table, the score-drop reference) is the engine's to forget
// when the record restarts.
#pragma once

#include <cstdint>
#include <string>

#include "board/output.h"
#include "board/position.h"

class Game {
  public:
    Position position;
    // The result a command or the end of the game gave (NO_RESULT while it
    // goes on). It stays until result learning takes it or a new game starts.
    int32_t result = NO_RESULT;

    Board& board() { return position.board; }
    const Board& board() const { return position.board; }

    // The initial position, the record restarted there.
    void restart();

    // Chess960 (Fischer random chess) or standard chess. Switching keeps the
    // position, reading its castling rights in the new mode, and restarts the
    // record; false when the game follows those rules already.
    bool chess960() const { return position.board.chess960; }
    bool setChess960(bool on);

    // Prints the result on `out` and returns it when the game has ended: 1
    // white mates, 2 black mates, 3 a draw; 0 while it goes on.
    int checkEnd(Output& out);

    // A move as the engine sends it to xboard: coordinates, with a Chess960
    // castle as O-O or O-O-O (the protocol's notation for fischerandom, which
    // cannot confuse a king taking its rook with a king's step).
    std::string xboardMoveText(Move move) const;
};
