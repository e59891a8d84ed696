// Helpers of the Polyglot book tests: book files written byte by byte,
// independently of the reader under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "book/polyglot.h"
#include "testutil.h"

// A Polyglot file holding the entries in the given order, big-endian.
void writePolyglotFile(const std::string& path, const std::vector<PolyglotEntry>& entries);
// The Polyglot move word built straight from squares ("e1h1"), promotion code 0-4.
uint16_t polyglotWord(const std::string& squares, int promotion = 0);
