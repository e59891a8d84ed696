// The moves that the threads of a multi-core search are searching right now,
// so that a thread which meets a move another thread is busy with can put it
// off to the end of its list and search its other moves meanwhile: by the
// time it comes back, the other thread has usually stored the result in the
// transposition table. A move is known by the position's key mixed with the
// move; a slot holds one such key. Collisions only misdirect the order of
// search, never its result, so the table is small and lock-free.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "board/types.h"

class BusyMoves {
  public:
    // Nodes of less depth (in eighths of a ply) search their moves in order:
    // the cost of putting a move off would outweigh what it saves.
    static constexpr int MIN_DEPTH = 3 * 8;

    static uint64_t keyOf(uint64_t positionKey, Move move) {
        return positionKey ^ (static_cast<uint64_t>(move) + 1) * 0x9E3779B97F4A7C15ull;
    }
    bool isBusy(uint64_t key) const { return slot(key).load(std::memory_order_relaxed) == key; }
    void enter(uint64_t key) { slot(key).store(key, std::memory_order_relaxed); }
    void leave(uint64_t key) {
        uint64_t expected = key;
        slot(key).compare_exchange_strong(expected, 0, std::memory_order_relaxed);
    }
    // Slots that hold a move: none once every thread has stopped, since each
    // thread leaves every move it entered, however its search ends.
    int busyCount() const {
        int count = 0;
        for (const auto& s : slots) count += s.load(std::memory_order_relaxed) != 0;
        return count;
    }
    void clear() {
        for (auto& s : slots) s.store(0, std::memory_order_relaxed);
    }

  private:
    static constexpr uint32_t SLOTS = 1u << 15;
    std::atomic<uint64_t>& slot(uint64_t key) { return slots[key & (SLOTS - 1)]; }
    const std::atomic<uint64_t>& slot(uint64_t key) const { return slots[key & (SLOTS - 1)]; }
    std::array<std::atomic<uint64_t>, SLOTS> slots{};
};
