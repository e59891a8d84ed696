// Provisional until the evaluation work lands: caches that never hit.
#include "eval/evalcache.h"
#include "eval/pawncache.h"

PawnHashTable pawnHashTable;
EvalCache evalCache;

void PawnHashTable::allocate() {}
bool PawnHashTable::probe(uint32_t, uint32_t, int&, uint8_t[2]) { return false; }
void PawnHashTable::store(uint32_t, uint32_t, int, const uint8_t[2]) {}
void EvalCache::allocate() {}
bool EvalCache::probe(uint32_t, uint32_t, int&, uint8_t[3]) { return false; }
void EvalCache::store(uint32_t, uint32_t, int, const uint8_t[3]) {}
