// The UCI front end: the protocol of most current chess GUIs and match tools.
// The engine enters it when the first command it reads is "uci", and stays in
// it until "quit" or the end of its input. The session knows the engine only
// by the front ends' interface (shell/frontend.h).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "search/search.h"

class FrontEndServices;

// What "go" asks for.
struct GoCommand {
    int32_t whiteMs = -1, blackMs = -1; // clocks (-1: not given)
    int32_t whiteIncrementMs = 0, blackIncrementMs = 0;
    int32_t movesToGo = 0;
    int32_t moveTimeMs = -1;
    int32_t depth = 0;
    uint32_t nodes = 0;
    int32_t mate = 0; // mate in this many moves: searched to 2 x mate - 1 plies
    bool infinite = false;
    bool ponder = false;
    std::vector<std::string> searchMoves;
};

// Reads the words after "go"; unknown words and malformed numbers are skipped.
GoCommand parseGo(const std::vector<std::string>& words);

// A move in the protocol's long algebraic notation: e2e4, e7e8q, e1g1 for castling.
std::string uciMove(Move move);

// The score as the protocol writes it: "cp 25", or "mate 3" / "mate -2" in moves.
std::string uciScore(int score);

// The line from its first command word on: unknown words before it are
// skipped, as the protocol asks ("joho isready" is "isready").
std::string withoutUnknownTokens(const std::string& line);

class UciSession : private SearchListener {
  public:
    explicit UciSession(FrontEndServices& engine);
    // Answers the "uci" that opened the session, then reads and runs commands
    // until "quit" or the end of the input.
    void run();

  private:
    FrontEndServices& e;
    std::deque<std::string> pending; // commands read during a search, run after it
    bool quitting = false;
    // The running search: whether a stop or a ponder hit has come, and whether
    // its best move must wait for one of them (infinite and ponder searches).
    bool stopped = false;
    bool ponderHitCame = false;
    bool holdBestMove = false;
    int64_t lastCurrmoveMs = 0;
    bool lineReported = false; // the running search has sent an info line with a score

    // The last position the GUI sent: its start (a FEN or "startpos"), its
    // moves, and the side to move it reached.
    std::string previousStart;
    std::vector<std::string> previousMoves;
    int previousSide = WHITE;

    bool nextCommand(std::string& line);
    void execute(const std::string& line);
    void handshake();
    void newGame();
    void setPosition(const std::vector<std::string>& words);
    void followGame(const std::string& start, const std::vector<std::string>& moves);
    void setOption(const std::string& line);
    void go(const std::vector<std::string>& words);
    // The limits and the kind of the search "go" asks for.
    void configure(const GoCommand& go);
    // The root moves of "go searchmoves" (empty: every legal move).
    std::vector<Move> rootMoves(const GoCommand& go);
    // Waits, reading commands, until "stop" or "ponderhit" lets the best move go.
    void awaitRelease();
    void sendBestMove(Move best);
    void reportUnsearchedMove(Move best);
    // A command that arrives while a search runs; true when it was handled.
    bool handleDuringSearch(const std::string& line);

    // --- the search's listener ----------------------------------------------------
    void poll(Search& s) override;
    bool wantsLines(const Search&) const override { return true; }
    void line(const PvReport& report) override;
    void progress(const ProgressReport& report) override;
    Move bookMove(Position& root, Move* moves, int32_t* scores, int count) override;
    void scoreDropped(const Search& s) override;
    void finished(const Search& s) override;
};
