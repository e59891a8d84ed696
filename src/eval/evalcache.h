// The evaluation cache: final scores and evaluation info by position key.
#pragma once

#include <cstdint>
#include <memory>

struct EvalCacheEntry {
    uint32_t keyLow;
    uint32_t keyHigh;
    int16_t score; // white's point of view
    uint8_t info[3];
    uint8_t padding[3];
};

class EvalCache {
  public:
    int32_t sizeMB = 2;
    uint32_t mask = 0;
    uint32_t hits = 0;
    uint32_t probes = 0;

    void allocate();
    bool probe(uint32_t keyLow, uint32_t keyHigh, int& score, uint8_t info[3]);
    void store(uint32_t keyLow, uint32_t keyHigh, int score, const uint8_t info[3]);

  private:
    std::unique_ptr<EvalCacheEntry[]> entries;
};

extern EvalCache evalCache;
