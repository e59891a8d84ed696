// Helpers shared by the tests: data files, engines set to a position, EPD parsing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "eval/weights.h"
#include "shell/engine.h"

// Builds with invariant checks run far slower; heavy tests scale down there.
#if defined(FALKMERE_CHECKS) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif

// A data file: tests/data first, then the shared data folder (or $FALKMERE_DATA_DIR).
std::string dataFile(const std::string& name);
std::vector<std::string> readLines(const std::string& path);

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
std::string san(Engine& engine, Move move);

// Every legal move of the engine's position.
std::vector<Move> legalMoves(Engine& engine);

// Positions from all data files (EPD suites and perft files), FEN fields only.
std::vector<std::string> allDataPositions();

// The shared test data (EPD suites, PGN games) sits beside the checkout; tests
// built on it skip with this message where it is missing.
bool sharedDataPresent();
constexpr const char* NO_SHARED_DATA =
    "the shared test data (../shared/data or $FALKMERE_DATA_DIR) is missing";
