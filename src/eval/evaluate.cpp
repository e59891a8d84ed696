// The main evaluator: two accumulators, one per colour, each the sum of that
// colour's merits; the score is the side to move's minus the other's, with
// corrections for drawish material, kept in the evaluation cache.
#include "eval/evalterms.h"
#include "eval/evaluator.h"

namespace {

inline bool singlePiece(const Board& b, int colour, int piece) { return b.pieceCount[colour][piece] == 1; }

inline int squareColour(Square s) { return (fileOf(s) + rankOf(s)) & 1; }

// One share when the pawn counts are close, another otherwise.
inline int64_t drawishScale(const Board& b, const EvalParams& p, int64_t score) {
    const int difference = b.pawnCount[WHITE] - b.pawnCount[BLACK];
    return score *
           (difference < 3 && difference > -3 ? p.drawishClosePawnsPercent : p.drawishPawnsApartPercent) /
           100;
}

} // namespace

// Corrections for material that rarely wins: queen against queen, opposite
// bishops, a side without pawns and with too little to mate, and a small
// pawnless material edge in the ending. The score is the side to move's.
int64_t applyDrawishness(const Board& board, const EvalParams& p, const EvalState& st, int64_t score) {
    const Board& b = board;
    const int mw = b.pieceMaterial[WHITE], mb = b.pieceMaterial[BLACK];
    if (mw == 9 && singlePiece(b, WHITE, QUEEN) && mb == 9 && singlePiece(b, BLACK, QUEEN)) {
        score = drawishScale(b, p, score);
    }
    if (mw == 3 && singlePiece(b, WHITE, BISHOP) && mb == 3 && singlePiece(b, BLACK, BISHOP) &&
        squareColour(b.pieceList[WHITE][BISHOP]->square) !=
            squareColour(b.pieceList[BLACK][BISHOP]->square)) {
        score = drawishScale(b, p, score);
    }
    // A score is in colour c's favour when it is positive for c.
    auto favours = [&b, &score](int c) { return b.side == c ? score > 0 : score < 0; };
    for (int c = WHITE; c <= BLACK; ++c) {
        const int m = b.pieceMaterial[c];
        if (b.pawnCount[c] == 0 && (m == 3 || (m == 6 && b.pieceCount[c][KNIGHT] == 2)) && favours(c))
            score = score * p.loneMinorPercent / 100;
    }
    if (st.ending) {
        for (int c = WHITE; c <= BLACK; ++c) {
            const int edge = b.pieceMaterial[c] - b.pieceMaterial[c ^ 1];
            if (b.pawnCount[c] == 0 && edge > 0 && edge <= 3 && favours(c))
                score = score * p.pawnlessEdgePercent / 100;
        }
    }
    return score;
}

// The evaluation laid out as numbered steps, one call per term family. The
// traced instance also records what each family added to each accumulator.
template <bool Traced> int Evaluator::evaluateSteps(const Board& board, EvalTrace* trace) {
    FM_ASSERT(board.hasBothKings());
    const Board& b = board;
    EvalScratch& sc = scratch_;
    const EvalParams& p = *params_;
    EvalState st;
    auto step = [&st, trace](EvalTerm term, auto&& evalTerm) {
        if constexpr (Traced) {
            const int64_t white = st.acc[WHITE], black = st.acc[BLACK];
            evalTerm();
            trace->term[term][WHITE] += static_cast<int>(st.acc[WHITE] - white);
            trace->term[term][BLACK] += static_cast<int>(st.acc[BLACK] - black);
        } else {
            (void)term;
            evalTerm();
        }
    };
    // The position key leaves out the side to move; the cache key adds it, so
    // that a placement with the other side to move is never handed an
    // evaluation whose side-to-move terms belong to the wrong side.
    const uint32_t keyLow = static_cast<uint32_t>(b.key);
    const uint32_t keyHigh =
        static_cast<uint32_t>(b.key >> 32) ^ (b.side == BLACK ? EVAL_CACHE_BLACK_TO_MOVE : 0u);

    // 1. The evaluation cache keeps white-relative scores and the info bytes.
    if constexpr (!Traced) {
        if (const EvalCacheData* cached = caches_.eval.probe(keyLow, keyHigh)) {
            sc.evalInfo[0] = cached->info[0];
            sc.evalInfo[1] = cached->info[1];
            sc.evalInfo[2] = cached->info[2];
            return b.side == WHITE ? cached->score : -cached->score;
        }
    }

    // 2. Material and piece-square values start the accumulators.
    st.acc[WHITE] = b.pstScore[WHITE];
    st.acc[BLACK] = b.pstScore[BLACK];
    st.ending = b.pieceMaterial[WHITE] < 15 && b.pieceMaterial[BLACK] < 15;
    st.lateEnding = b.pieceMaterial[WHITE] < 10 && b.pieceMaterial[BLACK] < 10;
    st.evalInfo[0] = st.evalInfo[1] = st.evalInfo[2] = 0;
    st.runawayMoves[WHITE] = st.runawayMoves[BLACK] = 7;
    st.runawaySquare[WHITE] = st.runawaySquare[BLACK] = -1;
    st.seventhRankPiece[WHITE] = st.seventhRankPiece[BLACK] = -1;
    if constexpr (Traced) {
        trace->term[TERM_MATERIAL][WHITE] = b.pstScore[WHITE];
        trace->term[TERM_MATERIAL][BLACK] = b.pstScore[BLACK];
    }

    // 3. Attack maps and mobility.
    step(TERM_MOBILITY, [&] { st.acc[b.side] += buildAttackMaps(b); });

    // 4. Material imbalance.
    step(TERM_IMBALANCE, [&] { evalImbalance(b, p, st); });

    // 5. Pawn structure, from the pawn cache when it knows the pawns.
    step(TERM_PAWN_STRUCTURE, [&] {
        if (const PawnCacheData* cached = caches_.pawn.probe(static_cast<uint32_t>(b.pawnKey),
                                                             static_cast<uint32_t>(b.pawnKey >> 32))) {
            st.passedFiles[0] = cached->passedFiles[0];
            st.passedFiles[1] = cached->passedFiles[1];
            st.acc[WHITE] += scaleBy(cached->score, p.weights.pawnStructure, 100);
        } else {
            st.acc[b.side] += scaleBy(evalPawnStructure(b, st.passedFiles), p.weights.pawnStructure, 100);
        }
    });

    // 6. Passed pawns and the race between runaway pawns.
    if (st.passedFiles[WHITE] | st.passedFiles[BLACK]) {
        step(TERM_PASSED_PAWNS, [&] { evalPassedPawns(b, sc, p, st); });
        step(TERM_RUNAWAY_RACE, [&] { evalRunawayRace(b, p, st); });
    }

    // 7. Pawn endings and pawn majorities.
    if (st.ending) {
        step(TERM_PAWN_ENDING, [&] { evalPawnEnding(b, sc, p, st); });
        if (st.lateEnding) step(TERM_MAJORITY, [&] { evalMajorities(b, sc, p, st); });
    }

    // 8. Bishop pair and trapped pieces.
    step(TERM_BISHOP_PAIR, [&] { evalBishopPair(b, p, st); });
    step(TERM_TRAPPED_PIECES, [&] { evalTrappedPieces(b, sc, p, st); });

    // 9. King safety while there is material for an attack.
    if (!st.ending) {
        step(TERM_KING_ATTACK, [&] { evalKingAttack(b, sc, p, st); });
        step(TERM_KING_SHIELD, [&] { evalKingShield(b, sc, p, st); });
        step(TERM_PAWN_STORM, [&] { evalPawnStorm(b, sc, p, st); });
    }

    // 10. Castling, blocked centre pawns, minor pieces, rooks and queens.
    step(TERM_CASTLING, [&] { evalCastling(b, p, st); });
    step(TERM_BLOCKED_CENTRE, [&] { evalBlockedCentre(b, p, st); });
    step(TERM_OUTPOSTS, [&] { evalOutposts(b, sc, p, st); });
    step(TERM_KNIGHTS_IN_ENDING, [&] { evalKnightsInEnding(b, sc, p, st); });
    step(TERM_ROOKS, [&] { evalRooks(b, sc, p, st); });
    step(TERM_QUEENS, [&] { evalQueens(b, p, st); });
    if (p.threatByPawn | p.threatByMinor | p.threatByRook | p.hangingPiece)
        step(TERM_THREATS, [&] { evalThreats(b, sc, p, st); });

    // 11. Side-to-move score, drawishness corrections, cache store.
    const int64_t raw = st.acc[b.side] - st.acc[b.side ^ 1];
    const int score = clampScore(applyDrawishness(b, p, st, raw));
    sc.evalInfo[0] = st.evalInfo[0];
    sc.evalInfo[1] = st.evalInfo[1];
    sc.evalInfo[2] = st.evalInfo[2];
    if constexpr (Traced) {
        trace->raw = static_cast<int>(raw);
        trace->final = score;
        trace->passedFiles[WHITE] = st.passedFiles[WHITE];
        trace->passedFiles[BLACK] = st.passedFiles[BLACK];
    } else {
        EvalCacheData data{static_cast<int16_t>(b.side == WHITE ? score : -score),
                           {sc.evalInfo[0], sc.evalInfo[1], sc.evalInfo[2]},
                           {0, 0, 0}};
        caches_.eval.store(keyLow, keyHigh, data);
    }
    return score;
}

int Evaluator::evaluate(const Board& board) { return evaluateSteps<false>(board, nullptr); }

int Evaluator::evaluate(const Board& board, EvalTrace& trace) {
    trace = EvalTrace{};
    return evaluateSteps<true>(board, &trace);
}
