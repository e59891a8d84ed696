// Statistics counters that several search threads may bump.
#pragma once

#include <atomic>
#include <cstdint>

// A statistics counter that several threads may bump: relaxed loads and
// stores, so a count may miss an increment when threads collide, but the
// search pays nothing for it.
class RelaxedCounter {
  public:
    RelaxedCounter& operator=(uint32_t v) {
        value.store(v, std::memory_order_relaxed);
        return *this;
    }
    void operator++() { value.store(value.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
    operator uint32_t() const { return value.load(std::memory_order_relaxed); }

  private:
    std::atomic<uint32_t> value{0};
};
