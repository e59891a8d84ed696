// Helpers of the search tests: engines with a small table that search to a
// fixed depth, moves by coordinate text, captured output.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "search/selectbest.h"
#include "testutil.h"

// An engine at `fen` with a 1 MB table, fixed-depth mode (no clock, no input),
// no output unless a test asks for it.
std::unique_ptr<Engine> searchEngineAt(const std::string& fen, int depth = 4);

// The legal move of the engine's position written `text` in coordinates (e2e4,
// e7e8Q); fails the test when there is none.
Move moveNamed(Engine& engine, const std::string& text);

// Standard output written while `action` runs.
std::string captureOutput(const std::function<void()>& action);

// The principal variation of the root record, in coordinates.
std::vector<std::string> rootLine(Engine& engine);
