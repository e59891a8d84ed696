// The learning store, learn.dat: searched positions whose score fell, kept as
// transposition-table entries in a ring of 5001 records and loaded into the
// table at every new game.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/output.h"
#include "board/position.h"
#include "search/tt.h"

class LearnStore {
  public:
    LearnStore() = default;
    LearnStore(const LearnStore&) = delete;
    LearnStore& operator=(const LearnStore&) = delete;
    ~LearnStore() { close(); }

    char path[256] = "learn.dat";

    // Opens the store at `path`, creating an empty one when there is none; 0
    // when neither works.
    int open();
    void close();
    bool isOpen() const { return file != nullptr; }
    uint32_t count() const { return learnCount; }
    uint32_t wrapped() const { return learnWrapped; }

    // Stores every learned entry into the table, marked learned, in the half of
    // its bucket for its side to move, and prints how many there were.
    void load(MainHashTable& table, Output& out);
    // Appends the table's entry for the position (if it has one) to the ring.
    void learnPosition(const Position& position, MainHashTable& table);

  private:
    FILE* file = nullptr;
    uint32_t learnCount = 0;
    uint32_t learnWrapped = 0;
};
