// Helper threads of a multi-core search. While the main search deepens, each
// helper searches the same root on a position of its own, with its own ply
// stack, history, killers, statistics and evaluator; they meet in the
// shared transposition table, where each finds what the others have stored.
// The first helper (and every odd one after it) keeps at least level with the
// main search, the others at least one iteration ahead. At every node of three
// plies and more, all threads put off the moves another thread is busy with
// (BusyMoves), so that threads on the same iteration split its work rather than
// search the same tree. Only the main search reads input, keeps the clock and
// reports.
// Each helper publishes its last completed iteration; when the main search
// ends, a helper's iteration deeper than its own gives the move played, and a
// helper that completes the depth limit ends the search.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "eval/evaluator.h"
#include "search/busymoves.h"
#include "search/search.h"

class HelperThreads {
  public:
    explicit HelperThreads(MainHashTable& table);
    ~HelperThreads();
    HelperThreads(const HelperThreads&) = delete;
    HelperThreads& operator=(const HelperThreads&) = delete;

    // The number of helpers (threads beside the main search); their caches
    // take the sizes of `sizes` (the main search's).
    void setCount(int count, const CacheSet& sizes);
    int count() const { return static_cast<int>(helpers.size()); }
    // The moves the threads are busy with, shared by the main search and its
    // helpers.
    BusyMoves& busyMoves() { return busy; }

    // Every helper starts on a copy of the main search's position, which must
    // stand at the root, with its switches, depth limit and evaluation
    // parameters (read-only while the threads search).
    void start(const Search& main);
    // Tells every helper to stop and waits for them all (within a few thousand
    // nodes each).
    void stop();
    // Empties the helpers' evaluation caches (the bench starts each position so).
    void clearCaches();
    // Empties the histories each helper keeps from search to search (a new game).
    void forgetHistory();
    // Nodes searched by the helpers: as last published while they run, exact
    // once they have stopped.
    uint64_t nodes() const;

    // The main search begins an iteration: a helper that finishes its own
    // iteration moves on to this one (the first helper, the third...) or the
    // next (the second, the fourth...).
    void mainIterationStarts(int depth) { mainIteration.store(depth, std::memory_order_relaxed); }

    // A completed iteration of a helper: its depth, score and root variation.
    struct Result {
        int32_t depth = 0;
        int32_t score = 0;
        int32_t pvEnd = 0;
        std::array<Move, MAX_PLY> pv{};
    };
    // The deepest iteration any helper of the running search has completed,
    // 0 when none has or when the helpers are not running.
    int deepestCompleted() const;
    // The deepest completed iteration of the last search, when it is deeper
    // than `depth` (read once the helpers have stopped).
    bool deepestResult(int depth, Result& out) const;

  private:
    struct Helper;
    MainHashTable& table;
    std::vector<std::unique_ptr<Helper>> helpers;
    BusyMoves busy;
    std::atomic<bool> stopping{false};
    std::atomic<int> mainIteration{0};
    bool running = false;
};
