// Helpers shared by the tests: data files, positions and engines set up from
// FEN, legal moves and move text, EPD parsing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "board/position.h"
#include "eval/tables.h"
#include "shell/engine.h"

// Builds with invariant checks or sanitizers run far slower; heavy tests scale
// down there.
#if defined(FALKMERE_CHECKS) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif

// A data file: tests/data first, then the shared data folder (or $FALKMERE_DATA_DIR).
std::string dataFile(const std::string& name);
std::vector<std::string> readLines(const std::string& path);

// A position read from FEN, its record restarted there.
std::unique_ptr<Position> positionAt(const std::string& fen);

// An engine set up at a position (FEN), with its history reset. Its input is a
// pipe that stays silent, so searches see no commands.
std::unique_ptr<Engine> engineAt(const std::string& fen);

// The first four FEN fields of an EPD or FEN line.
std::string fenFields(const std::string& line);

struct PerftCase {
    std::string fen;
    int depth;
    uint64_t count;
};
std::vector<PerftCase> readPerftFile(const std::string& path);

// A move in coordinate notation (e2e4, e7e8Q), and in SAN with check marks.
std::string coord(Move move);
std::string san(Position& position, Move move);

// Every legal move of the position.
std::vector<Move> legalMoves(Position& position);
bool isLegalIn(Position& position, Move move);
// The legal move written `text` in coordinates (e2e4, e7e8Q); fails the test
// when there is none.
Move moveNamed(Position& position, const std::string& text);
// The generated (pseudo-legal) move between two squares; fails the test when there is none.
Move generatedMove(Position& position, Square from, Square to, int promotion = 0);
// Plays moves (any notation the move reader takes) as game moves; false when
// one of them is not a legal move.
bool playMoves(Position& position, const std::vector<std::string>& moves);

// Positions from all data files (EPD suites and perft files), FEN fields only.
std::vector<std::string> allDataPositions();

// The shared test data (EPD suites, PGN games) sits beside the checkout; tests
// built on it skip with this message where it is missing.
bool sharedDataPresent();
constexpr const char* NO_SHARED_DATA =
    "the shared test data (../shared/data or $FALKMERE_DATA_DIR) is missing";

// The inside of a search, for tests that drive its routines one by one or
// script a search of their own.
struct SearchTestAccess {
    explicit SearchTestAccess(Search& s)
        : target(s), stats(s.stats), iteration(s.iteration), completedIteration(s.completedIteration),
          rootScore(s.rootScore), rootMoveCount(s.rootMoveCount), rootMoveIndex(s.rootMoveIndex),
          startTime(s.startTime), startCpuTime(s.startCpuTime), easyMove(s.easyMove),
          failLowCount(s.failLowCount), failHighCount(s.failHighCount), stopRequested(s.stopRequested),
          searchAborted(s.searchAborted), clockStopped(s.clockStopped), lastScore(s.lastScore),
          historyCounters(s.historyCounters), helpers(s.helpers) {}
    Search& target;
    SearchStats& stats;
    int32_t& iteration;
    int32_t& completedIteration;
    int32_t& rootScore;
    int32_t& rootMoveCount;
    int32_t& rootMoveIndex;
    int64_t& startTime;
    int64_t& startCpuTime;
    bool& easyMove;
    int32_t& failLowCount;
    int32_t& failHighCount;
    bool& stopRequested;
    bool& searchAborted;
    bool& clockStopped;
    int32_t& lastScore;
    uint32_t (&historyCounters)[4096];
    HelperThreads*& helpers;

    int search(int alpha, int beta, int depth, bool nullAllowed) {
        return target.search(alpha, beta, depth, nullAllowed);
    }
    int quiescence(int alpha, int beta, int qdepth) { return target.quiescence(alpha, beta, qdepth); }
    int nextMove() { return target.nextMove(); }
    void computeExtension(Move move, int movesBefore) { target.computeExtension(move, movesBefore); }
    void checkTime() { target.checkTime(); }
    void extendAfterScoreDrop() { target.extendAfterScoreDrop(); }
    void reportLine(int score) { target.reportLine(score); }
};
inline SearchTestAccess inside(Search& s) { return SearchTestAccess(s); }

// Lines handed to a reader one by one, as the board editor reads its input.
struct Lines : LineSource {
    std::vector<std::string> lines;
    size_t next = 0;
    explicit Lines(std::vector<std::string> l) : lines(std::move(l)) {}
    bool readLine(std::string& line) override {
        if (next >= lines.size()) return false;
        line = lines[next++];
        return true;
    }
};
