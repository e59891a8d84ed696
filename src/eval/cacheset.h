// The pawn and evaluation caches of one evaluator. Every search thread's
// evaluator has a set of its own, so that no cache entry is ever written by
// two threads.
#pragma once

#include "eval/evalcache.h"
#include "eval/pawncache.h"

struct CacheSet {
    PawnHashTable pawn{5, "pawn cache", "pawn hash table"};
    EvalCache eval{2, "eval cache", "evaluation cache"};

    // Empties both (the bench starts each position so, and new parameters make old entries wrong).
    void clear() {
        pawn.clear();
        eval.clear();
    }
};
