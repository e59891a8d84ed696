// The program's own options, read before the engine starts: --help and
// --version answer and end the program at once, without reading falkmere.ini
// or writing a log; all other arguments are left to the engine.
#pragma once

#include <cstdio>
#include <optional>

// True for the words that begin a group of program arguments run as one
// command line: runeval, runepd, score and quit.
bool startsArgumentGroup(const char* word);

// The text --help prints.
const char* usageText();

// Reads the options among the arguments before the first group word (the
// engine ignores those words). -h or --help prints the usage to `out`, -v or
// --version the name and version; any other word beginning with '-' is an
// unknown option and gets a one-line error on `err`. The first option decides.
// Returns the exit status when the program should end (0, or 2 for an unknown
// option), nothing when the engine should start.
std::optional<int> handleOptions(int argc, char** argv, FILE* out, FILE* err);
