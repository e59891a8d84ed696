// Endgame tablebases: registration at start-up and probing during the search.
// Process-wide, like the tables of the files they read.
#pragma once

#include <cstdint>
#include <functional>

#include "board/counter.h"

class Board;

// Registers the tables found in the directories of `paths` (separated by "," or
// ";") and sets up a block cache of `cacheMB` megabytes. Prints its progress
// ("Loading Nalimov tablebase=>" unless `xboard`, then "Success!"). Returns
// false when the cache cannot be had.
bool loadTablebases(const char* paths, int cacheMB, bool xboard);
// The same without the progress messages (a failure is still reported), for
// a path or cache size changed while the engine runs.
bool reloadTablebases(const char* paths, int cacheMB);

// Where the tablebase messages go (default: nowhere). The shell routes them
// through its print routine, so that they reach the terminal and the log.
void setTablebaseOutput(std::function<void(const char*)> output);

// 0 when no table is registered, else the most men of any registered table (3 to 6).
int tablebaseMenAvailable();
// How many tables are registered (a table counts once, whatever its files).
int tablebasesRegistered();

// The exact score of the position from the side to move's point of view, on
// the search's scale: the side mated at ply p scores p - MATE_SCORE, counted
// from `ply`, and a draw scores 0. False when no table answers.
bool probeTablebases(const Board& board, int ply, int& score);

// Probes attempted and answered since the last reset (each search resets them).
struct TablebaseStats {
    RelaxedCounter hits;
    RelaxedCounter probes;
};
extern TablebaseStats tablebaseStats;
