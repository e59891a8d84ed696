// What a search is asked to do: the time control in force, the kind of search
// (the engine's own move, pondering, analysis) and the switches of the search.
#pragma once

#include <cstdint>

enum class TimeMode : int32_t {
    Clock = 0,      // clock play: the allowance comes from the clock
    FixedTime = 1,  // a fixed time per move
    FixedDepth = 2, // a fixed depth; no clock and no input
    Infinite = 3    // no clock, but input is read: until stopped, or to the depth or node limit
};

struct TimeControl {
    TimeMode mode = TimeMode::FixedTime;
    int32_t moveTimeMs = 2000; // the allowance of the move (set from the clock in clock play)
    int32_t depthLimit = 65;
    int32_t movesPerControl = 0; // 0: sudden death, possibly with increment
    // Moves still to play before the next time control, when the front end says
    // so (0: counted from movesPerControl and the game ply).
    int32_t movesToGo = 0;
    int32_t engineClockMs = 0;
    int32_t opponentClockMs = 0;
    int32_t incrementMs = 0;
    // Clock time kept back for what the search does not see: the GUI's and the
    // system's delays between a move sent and the clock stopped. The allowance
    // and the hard stop of clock play come from the clock less this and less
    // reserveIncrements increments: living on its increment, the engine keeps
    // that many moves' worth in hand against a machine that stalls it.
    int32_t clockReserveMs = 0;
    int32_t reserveIncrements = 0;
    // Stop once the search has visited this many nodes, its helper threads'
    // included (0: no limit). It holds in every mode, fixed depth included.
    uint64_t nodeLimit = 0;
};

// The kind of the running search. The front end sets it before a search and
// may change it from the input poll (a ponder hit ends pondering).
struct SearchModes {
    bool analyze = false;      // analysis: no clock, no book, every move searched
    bool pondering = false;    // on the opponent's time, with the expected reply made
    bool ponderSearch = false; // looking for a reply to ponder on, on the opponent's time
};

// The search the engine runs: the classic one, or the modern profile with the
// pruning and reductions of current engines.
enum class SearchProfile { Classic, Modern };

struct SearchOptions {
    SearchProfile profile = SearchProfile::Classic;
    bool useBook = false;
    bool useLearn = false;
    bool useTablebases = false;
    bool useReductions = false;
    // Root moves searched as lines of their own each iteration, best first,
    // each reported (1: the best move alone, as always).
    int32_t multiPv = 1;
    // Play at about this rating (0: full strength): a shallower search whose
    // move is chosen among the near-best, the wider the weaker.
    int32_t eloLimit = 0;
};

// The ratings a limited strength may take.
constexpr int32_t MIN_ELO = 1000;
constexpr int32_t MAX_ELO = 2400;

// The most lines a search may be asked for.
constexpr int32_t MAX_LINES = 256;
