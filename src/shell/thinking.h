// Thinking output: the search's reports as text.
#pragma once

#include <string>

#include "search/report.h"

// The principal-variation line with its line feed. The console line: depth and
// selective depth, nodes, score and seconds in columns, then the numbered moves
// in SAN, three moves to a row; the xboard line: depth, score, centiseconds,
// nodes, then the moves. The first move number carries "+" or "-" when the
// score is a bound.
std::string thinkingLine(const PvReport& report, bool console);

// The console's line for the root move being searched, between carriage
// returns so that the next one overwrites it.
std::string progressLine(const ProgressReport& report);
