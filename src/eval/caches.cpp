#include "eval/evalcache.h"
#include "eval/pawncache.h"

PawnHashTable pawnHashTable(5, "pawn cache", "pawn hash table");
EvalCache evalCache(2, "eval cache", "evaluation cache");
