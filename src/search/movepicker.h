// The stages of the main search's move picker. PlyRecord::pickStage holds
// the stage whose moves are being handed out: the picker sets up the next
// stage's moves when the list runs dry.
#pragma once

#include <cstdint>

enum PickStage : int32_t {
    PICK_START = 0,     // nothing generated yet
    PICK_HASH_MOVE = 1, // the table's move, alone
    PICK_CAPTURES = 2,  // captures that do not lose material, by exchange value
    PICK_KILLERS = 3,
    PICK_QUIET = 4,     // quiet moves by history and piece-square gain
    PICK_LOSING = 5,    // captures that lose material, last
    PICK_EVASIONS = 11, // in check: every evasion in one batch
};
