// Search counters, zeroed at the start of every search. Node counts are 64-bit:
// a long analysis passes 2^32 nodes within the hour.
#pragma once

#include <cstdint>

struct SearchStats {
    uint64_t nodes;
    uint64_t qnodes;
    uint64_t nextPoll;
    uint32_t nullTried;
    uint32_t nullCutoffs;
    uint32_t firstMoveCutoffs;
    uint32_t cutoffs;
    uint32_t lazy;
    uint32_t seePruned;
    uint32_t checkExt;
    uint32_t recapExt;
    uint32_t pushExt;
    uint32_t threatExt;
    uint32_t bmExt;
    uint32_t force1Ext;
    uint32_t force2Ext;
    uint32_t reductions;
    int32_t selDepth;
};
