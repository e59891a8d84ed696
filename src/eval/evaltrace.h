// A breakdown of one evaluation by term family, filled only by the traced
// evaluation (Evaluator::evaluate(board, trace)); the ordinary evaluation
// never touches it.
#pragma once

enum EvalTerm : int {
    TERM_MATERIAL,       // material and piece-square values (pstScore)
    TERM_MOBILITY,       // mobility and pawn-count adjustments
    TERM_IMBALANCE,      // material-imbalance bonus
    TERM_PAWN_STRUCTURE, // cached or computed pawn structure, weighted
    TERM_PASSED_PAWNS,   // passed-pawn bonuses, outside passers, square rule
    TERM_RUNAWAY_RACE,   // bonus of the runaway pawn that wins its race
    TERM_PAWN_ENDING,    // pure pawn endings: majority and king distances
    TERM_MAJORITY,       // candidate passer of a pawn majority
    TERM_BISHOP_PAIR,
    TERM_TRAPPED_PIECES,
    TERM_KING_ATTACK, // credited to the attacking colour
    TERM_KING_SHIELD,
    TERM_PAWN_STORM,
    TERM_CASTLING,
    TERM_BLOCKED_CENTRE,
    TERM_OUTPOSTS,
    TERM_KNIGHTS_IN_ENDING,
    TERM_ROOKS,
    TERM_QUEENS,
    TERM_THREATS, // charged to the threatened piece's owner
    TERM_COUNT
};

struct EvalTrace {
    // What each term family added to each colour's accumulator ([term][colour]).
    int term[TERM_COUNT][2] = {};
    // Side-to-move score before and after the drawishness corrections.
    int raw = 0;
    int final = 0;
    // Passed-pawn files of each colour (bit f for file f).
    unsigned passedFiles[2] = {0, 0};

    // A term's net value from white's point of view.
    int net(EvalTerm t) const { return term[t][0] - term[t][1]; }
};
