// Shared by the evaluator's term files: the state an evaluation carries from
// term to term, the byte tables for the pawn masks, and one function per
// term family, which reads the board, the evaluator's work area and the
// parameters it needs. Every term adds to the accumulator of the colour it
// favours.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"
#include "board/score.h"
#include "board/see.h"
#include "eval/evaluator.h"
#include "eval/params.h"

namespace evalbits {

constexpr int NO_BIT = 8; // lowest and highest set bit of the byte 0

constexpr std::array<uint8_t, 256> buildLowestBit() {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int i = 0;
        while (i < 8 && !(b & (1 << i))) ++i;
        t[b] = static_cast<uint8_t>(i);
    }
    return t;
}

constexpr std::array<uint8_t, 256> buildHighestBit() {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int i = 7;
        while (i >= 0 && !(b & (1 << i))) --i;
        t[b] = static_cast<uint8_t>(i < 0 ? NO_BIT : i);
    }
    return t;
}

constexpr std::array<uint8_t, 256> buildBitCount() {
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) t[b] = static_cast<uint8_t>(t[b] + ((b >> i) & 1));
    }
    return t;
}

constexpr std::array<uint8_t, 8> buildRanksAbove() {
    std::array<uint8_t, 8> t{};
    for (int r = 0; r < 8; ++r) t[r] = static_cast<uint8_t>((0xFF << (r + 1)) & 0xFF);
    return t;
}

constexpr std::array<uint8_t, 8> buildRanksBelow() {
    std::array<uint8_t, 8> t{};
    for (int r = 0; r < 8; ++r) t[r] = static_cast<uint8_t>((1 << r) - 1);
    return t;
}

constexpr std::array<uint8_t, 8> buildAdjacentFiles() {
    std::array<uint8_t, 8> t{};
    for (int f = 0; f < 8; ++f)
        t[f] = static_cast<uint8_t>(((f > 0 ? 1 << (f - 1) : 0) | (1 << (f + 1))) & 0xFF);
    return t;
}

inline constexpr auto LOWEST_BIT = buildLowestBit();
inline constexpr auto HIGHEST_BIT = buildHighestBit();
inline constexpr auto BIT_COUNT = buildBitCount();
inline constexpr auto RANKS_ABOVE = buildRanksAbove();
inline constexpr auto RANKS_BELOW = buildRanksBelow();
inline constexpr auto ADJACENT_FILES = buildAdjacentFiles();

} // namespace evalbits

// Rank of a square as seen by `colour` (0 on its own first rank).
constexpr int relativeRank(int colour, Square s) { return colour == WHITE ? rankOf(s) : 7 - rankOf(s); }

// Ranks of a colour's pawn masks that lie ahead of, or behind, rank r.
constexpr uint8_t ranksAhead(int colour, int r) {
    return colour == WHITE ? evalbits::RANKS_ABOVE[r] : evalbits::RANKS_BELOW[r];
}
constexpr uint8_t ranksBehind(int colour, int r) {
    return colour == WHITE ? evalbits::RANKS_BELOW[r] : evalbits::RANKS_ABOVE[r];
}

// Rank of the most advanced pawn in a colour's file mask (8 when empty).
constexpr int mostAdvancedRank(int colour, uint8_t ranks) {
    return colour == WHITE ? evalbits::HIGHEST_BIT[ranks] : evalbits::LOWEST_BIT[ranks];
}

// A table index that board contents (promoted pieces, pawns on odd squares)
// might push past the end of its table.
constexpr int clampIndex(int i, int last) { return i < 0 ? 0 : i > last ? last : i; }

// `value` scaled by weight / divisor, truncating toward zero, without overflow
// in the product for any configured weight.
constexpr int scaleBy(int value, int weight, int divisor) {
    return static_cast<int>(static_cast<int64_t>(value) * weight / divisor);
}

// A static score never reaches the mate range, whatever the material on the
// board or the configured weights.
constexpr int STATIC_SCORE_LIMIT = MATE_THRESHOLD - 1;
constexpr int clampScore(int64_t score) {
    return static_cast<int>(score > STATIC_SCORE_LIMIT    ? STATIC_SCORE_LIMIT
                            : score < -STATIC_SCORE_LIMIT ? -STATIC_SCORE_LIMIT
                                                          : score);
}

struct EvalState {
    // Accumulators are 64-bit so that no configured weight can overflow them.
    int64_t acc[2];
    bool ending;     // both sides' piece material below 15
    bool lateEnding; // both below 10
    uint8_t passedFiles[2];
    uint8_t evalInfo[3];
    // Runaway passed pawn of each colour found by the square rule: moves to
    // promotion (7 when none) and its square (-1 when none).
    int runawayMoves[2];
    Square runawaySquare[2];
    // The last rook or queen found on the seventh rank, per colour (-1: none).
    Square seventhRankPiece[2];
};

// Whether a pawn of `colour` on s would be lost: the exchange entry with the
// enemy capturing first is above 0.
inline bool unsafeForPawn(const EvalScratch& scratch, int colour, Square s) {
    return swapValue(PAWN, scratch.attackMap[colour ^ 1][s], scratch.attackMap[colour][s]) > 0;
}

// material.cpp
void evalImbalance(const Board& board, const EvalParams& p, EvalState& st);
// passedpawns.cpp
void evalPassedPawns(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalRunawayRace(const Board& board, const EvalParams& p, EvalState& st);
void evalPawnEnding(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalMajorities(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
// kingsafety.cpp
void evalKingAttack(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalKingShield(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalPawnStorm(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
// development.cpp
void evalCastling(const Board& board, const EvalParams& p, EvalState& st);
void evalBlockedCentre(const Board& board, const EvalParams& p, EvalState& st);
// pieces.cpp
void evalBishopPair(const Board& board, const EvalParams& p, EvalState& st);
void evalTrappedPieces(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalOutposts(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalKnightsInEnding(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalRooks(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
void evalQueens(const Board& board, const EvalParams& p, EvalState& st);
void evalThreats(const Board& board, const EvalScratch& sc, const EvalParams& p, EvalState& st);
// evaluate.cpp
int64_t applyDrawishness(const Board& board, const EvalParams& p, const EvalState& st, int64_t score);
