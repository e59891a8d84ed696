// Bitboards over the 64 squares (bit rank * 8 + file): the leapers' target
// sets, the rays of the sliders and their attacks through the occupancy. The
// slider attacks are one table lookup each; the evaluator's attack maps are
// built from them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "board/types.h"

namespace bitboard_detail {

// Steps as (file, rank) pairs. The first four rays run towards higher bits.
constexpr int RAY_STEPS[8][2] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}, {0, -1}, {-1, 0}, {-1, -1}, {1, -1}};
constexpr int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

constexpr bool inside(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

constexpr std::array<std::array<uint64_t, 64>, 8> buildRays() {
    std::array<std::array<uint64_t, 64>, 8> t{};
    for (int r = 0; r < 8; ++r) {
        for (int s = 0; s < 64; ++s) {
            int f = (s & 7) + RAY_STEPS[r][0], k = (s >> 3) + RAY_STEPS[r][1];
            for (; inside(f, k); f += RAY_STEPS[r][0], k += RAY_STEPS[r][1])
                t[r][s] |= uint64_t{1} << (k * 8 + f);
        }
    }
    return t;
}

constexpr std::array<uint64_t, 64> buildLeaper(const int (&steps)[8][2]) {
    std::array<uint64_t, 64> t{};
    for (int s = 0; s < 64; ++s) {
        for (const auto& step : steps) {
            const int f = (s & 7) + step[0], k = (s >> 3) + step[1];
            if (inside(f, k)) t[s] |= uint64_t{1} << (k * 8 + f);
        }
    }
    return t;
}

inline constexpr auto RAYS = buildRays();

// The squares from which a pawn of `colour` attacks s: one rank behind it, on
// the files beside it.
constexpr std::array<std::array<uint64_t, 64>, 2> buildPawnAttackers() {
    std::array<std::array<uint64_t, 64>, 2> t{};
    for (int colour = 0; colour < 2; ++colour) {
        const int behind = colour == WHITE ? -1 : 1;
        for (int s = 0; s < 64; ++s) {
            for (int side : {-1, 1}) {
                const int f = (s & 7) + side, k = (s >> 3) + behind;
                if (inside(f, k)) t[colour][s] |= uint64_t{1} << (k * 8 + f);
            }
        }
    }
    return t;
}

constexpr std::array<uint64_t, 64> buildLines(int firstRay) {
    std::array<uint64_t, 64> t{};
    for (int s = 0; s < 64; ++s) {
        for (int r : {firstRay, firstRay + 1, firstRay + 4, firstRay + 5}) t[s] |= RAYS[r][s];
    }
    return t;
}

} // namespace bitboard_detail

inline constexpr auto KNIGHT_TARGETS = bitboard_detail::buildLeaper(bitboard_detail::KNIGHT_STEPS);
inline constexpr auto KING_TARGETS = bitboard_detail::buildLeaper(bitboard_detail::RAY_STEPS);
// PAWN_ATTACKERS[colour][s]: where the pawns of `colour` that attack s stand.
inline constexpr auto PAWN_ATTACKERS = bitboard_detail::buildPawnAttackers();

// Every square on a rank or file (ORTHOGONAL_LINES) or a diagonal (DIAGONAL_LINES) through s, but s.
inline constexpr auto ORTHOGONAL_LINES = bitboard_detail::buildLines(0);
inline constexpr auto DIAGONAL_LINES = bitboard_detail::buildLines(2);

constexpr uint64_t FILE_A_BITS = 0x0101010101010101ULL;
constexpr uint64_t FILE_H_BITS = FILE_A_BITS << 7;

// Squares one ray from s attacks: up to and including the first occupied one.
// A ray that runs towards higher bits ends at its lowest blocker, the others at
// their highest; the sentinel bit stands where the ray from it is empty.
template <int Ray> constexpr uint64_t rayAttacks(int s, uint64_t occupancy) {
    static_assert(Ray >= 0 && Ray < 8);
    FM_ASSERT(s >= 0 && s < 64);
    const auto& ray = bitboard_detail::RAYS[Ray];
    const uint64_t blockers = ray[s] & occupancy;
    const int first =
        Ray < 4 ? std::countr_zero(blockers | (uint64_t{1} << 63)) : 63 - std::countl_zero(blockers | 1);
    return ray[s] ^ ray[first];
}

// Slider attacks ray by ray: the reference the lookup tables below are built
// from and checked against.
constexpr uint64_t bishopRayAttacks(int s, uint64_t occupancy) {
    return rayAttacks<2>(s, occupancy) | rayAttacks<3>(s, occupancy) | rayAttacks<6>(s, occupancy) |
           rayAttacks<7>(s, occupancy);
}

constexpr uint64_t rookRayAttacks(int s, uint64_t occupancy) {
    return rayAttacks<0>(s, occupancy) | rayAttacks<1>(s, occupancy) | rayAttacks<4>(s, occupancy) |
           rayAttacks<5>(s, occupancy);
}

// Multiply-and-shift lookup of a slider's attacks: the occupied squares that
// can block it (its lines less their last squares) times the square's magic
// number give, in the top `indexBits` bits, a distinct table index for every
// set of blockers that leaves different attacks. The shift that brings those
// bits down (64 - indexBits) is kept instead of the count.
struct SliderLookup {
    const uint64_t* attacks;
    uint64_t blockerMask;
    uint64_t magic;
    int shift;

    int indexBits() const { return 64 - shift; }
    uint64_t operator()(uint64_t occupancy) const {
        return attacks[((occupancy & blockerMask) * magic) >> shift];
    }
};

struct SliderTables {
    std::array<SliderLookup, 64> bishop, rook;
};

// Built once, before main, from the ray functions above.
extern const SliderTables SLIDER_TABLES;

inline uint64_t bishopAttacks(int s, uint64_t occupancy) {
    FM_ASSERT(s >= 0 && s < 64);
    return SLIDER_TABLES.bishop[s](occupancy);
}

inline uint64_t rookAttacks(int s, uint64_t occupancy) {
    FM_ASSERT(s >= 0 && s < 64);
    return SLIDER_TABLES.rook[s](occupancy);
}

// Number of set bits, by halves, nibbles and bytes: a portable build has no
// population-count instruction to rely on. (The compiler turns this into that
// instruction where the processor is known to have it: see BIT_COUNTING.)
constexpr int countBits(uint64_t b) {
    b -= (b >> 1) & 0x5555555555555555ULL;
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((b * 0x0101010101010101ULL) >> 56);
}
