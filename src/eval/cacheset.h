// The pawn and evaluation caches of one search thread. A board evaluates with
// the set it is given, or with the process-wide caches when it has none; the
// helper threads of a multi-core search each have a set of their own, so that
// no cache entry is ever written by two threads.
#pragma once

#include "board/board.h"
#include "eval/evalcache.h"
#include "eval/pawncache.h"

struct CacheSet {
    PawnHashTable pawn{5, "pawn cache", "pawn hash table"};
    EvalCache eval{2, "eval cache", "evaluation cache"};
};

inline PawnHashTable& pawnCacheOf(const Board& board) {
    return board.caches ? board.caches->pawn : pawnHashTable;
}
inline EvalCache& evalCacheOf(const Board& board) { return board.caches ? board.caches->eval : evalCache; }

// Starts loading the cache entries the evaluation of the board will probe
// (called right after a move, while the child node sets itself up).
inline void prefetchEvaluation(const Board& board) {
    evalCacheOf(board).prefetch(static_cast<uint32_t>(board.key));
    pawnCacheOf(board).prefetch(static_cast<uint32_t>(board.pawnKey));
}
