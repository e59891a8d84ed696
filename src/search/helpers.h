// Helper threads of a multi-core search. While the main search deepens, each
// helper searches the same root on a position of its own, with its own ply
// stack, history, killers, statistics and evaluation caches; they meet in the
// shared transposition table, where each finds what the others have stored.
// Odd helpers start one iteration deeper, so that they do not all search the
// same tree. Only the main search reads input, keeps the clock and reports;
// its move is the one played.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "eval/cacheset.h"
#include "search/search.h"

class HelperThreads {
  public:
    explicit HelperThreads(MainHashTable& table);
    ~HelperThreads();
    HelperThreads(const HelperThreads&) = delete;
    HelperThreads& operator=(const HelperThreads&) = delete;

    // The number of helpers (threads beside the main search); their caches
    // take the sizes of the process-wide ones.
    void setCount(int count);
    int count() const { return static_cast<int>(helpers.size()); }

    // Every helper starts on a copy of the main search's position, which must
    // stand at the root, with its switches and depth limit.
    void start(const Search& main);
    // Tells every helper to stop and waits for them all (within a few thousand
    // nodes each).
    void stop();
    // Empties the helpers' evaluation caches (the bench starts each position so).
    void clearCaches();
    // Nodes searched by the helpers: as last published while they run, exact
    // once they have stopped.
    uint64_t nodes() const;

  private:
    struct Helper;
    MainHashTable& table;
    std::vector<std::unique_ptr<Helper>> helpers;
    std::atomic<bool> stopping{false};
    bool running = false;
};
