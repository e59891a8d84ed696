// The position of a game: the board together with the game record, one history
// record per position of the game and of the search line above it. Every move
// of the game and of a search is made and taken back through it. It needs
// nothing above the board: the shell keeps the game in one, a search works on
// one, and tests and tools make their own.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

// One record per position of the game (and of the current search line).
struct HistoryRecord {
    int32_t fifty;   // plies since the last capture or pawn move
    int32_t inCheck; // the side to move is in check
    uint32_t castling;
    int32_t epSquare; // 0 for none
    Move move;        // the move played from this position (0: none or a null move)
    uint64_t key;
    uint64_t pawnKey;
};

constexpr int HISTORY_SIZE = 1067;
// A game move is refused once the record holds this many plies, so that a
// search of up to MAX_PLY plies always finds room above the game.
constexpr int MAX_GAME_PLY = 1000;
// Plies of a search line: the search stack holds plies 0..MAX_PLY - 1.
constexpr int MAX_PLY = 65;

// The result of a game, as a result command, a PGN file or the game-end test gives it.
enum GameResult : int32_t { NO_RESULT = 0, WHITE_WON = 1, BLACK_WON = 2, DRAWN = 3 };

// How a game ended, as the game-end test finds it.
enum class GameEnd { None, WhiteMates, BlackMates, Stalemate, Repetition, FiftyMoves, InsufficientMaterial };

class Position {
  public:
    Position();
    Position(const Position&) = delete;
    Position& operator=(const Position&) = delete;

    Board board;
    std::array<HistoryRecord, HISTORY_SIZE> history;
    int32_t gamePly = 0;   // index of the top history record
    int32_t searchPly = 0; // pushes made by the current search
    // Plies played before the record's first position, when a FEN gave its
    // move number (0 otherwise): move numbers count on from there.
    int32_t pliesBefore = 0;
    // The number of the move being played, as a game score counts it.
    int moveNumber() const { return (pliesBefore + gamePly) / 2 + 1; }

    // An exact copy, down to the order of the piece lists (which decides the
    // order of generated moves): a search of the copy is the search of the original.
    void copyFrom(const Position& other);

    // The record restarts at the board's position: one record, no moves.
    void resetHistory();
    // The move counters of a FEN for the record's only position: the plies
    // since the last capture or pawn move (0 to 100) and the number of the move
    // to play (1 or more).
    void setMoveCounters(int fiftyPlies, int moveNumber);

    HistoryRecord& top() { return history[gamePly]; }
    const HistoryRecord& top() const { return history[gamePly]; }

    void pushMove(Move move);
    void popMove();
    void pushNullMove();
    void popNullMove();
    // A move of the game itself rather than of a search: the search ply stays 0
    // between searches, so the ply records always start at the root.
    void pushGameMove(Move move) {
        pushMove(move);
        searchPly = 0;
    }
    void popGameMove() {
        popMove();
        searchPly = 0;
    }
    // True while the game record has room for one more game move.
    bool hasRoomForMove() const { return gamePly < MAX_GAME_PLY; }

    // Moves the generators give for the current position: evasions in check.
    void generateMoves(Move* moves, int& count) const;
    // True when the pseudo-legal move (from the generators) leaves the mover's
    // king safe and takes no king.
    bool isLegalMove(Move move);
    // Every legal move of the position, in generation order; the count.
    int legalMoves(Move* moves);
    // 1 when the first generated move between the two squares is legal.
    int isLegalBySquares(Square from, Square to);

    // The position repeats one of the game record since the last capture or pawn move.
    bool isRepetition() const;
    // Mate, stalemate, or a draw by repetition (the fourth occurrence), the
    // fifty-move rule or bare material.
    GameEnd gameEnd();
};

// The root of the line a position is searching: a copy of `position` with the
// search's moves taken back (the position itself when no search runs).
void copyRootOf(const Position& position, Position& root);
