// Slider attacks: the lookup tables and the ray functions they are built from,
// both against a square-by-square walk of the board.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "board/bitboard.h"

namespace {

uint64_t walkedAttacks(int s, uint64_t occupancy, const int (&steps)[4][2]) {
    uint64_t attacks = 0;
    for (const auto& step : steps) {
        int file = s % 8 + step[0], rank = s / 8 + step[1];
        for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += step[0], rank += step[1]) {
            const uint64_t bit = uint64_t{1} << (rank * 8 + file);
            attacks |= bit;
            if (occupancy & bit) break;
        }
    }
    return attacks;
}

constexpr int DIAGONAL_STEPS[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
constexpr int ORTHOGONAL_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

} // namespace

// Every set of blockers on a slider's lines (with random pieces elsewhere, which
// must not matter) gives the walked attacks, through the tables and the rays.
TEST(SliderAttacks, EveryBlockerSetOnEverySquareMatchesAWalkOfTheBoard) {
    std::mt19937_64 random(7);
    for (int s = 0; s < 64; ++s) {
        for (const bool bishop : {true, false}) {
            const uint64_t lines = bishop ? DIAGONAL_LINES[s] : ORTHOGONAL_LINES[s];
            const auto& steps = bishop ? DIAGONAL_STEPS : ORTHOGONAL_STEPS;
            uint64_t subset = 0;
            do {
                const uint64_t elsewhere = random() & ~lines & ~(uint64_t{1} << s);
                const uint64_t occupancy = subset | elsewhere;
                const uint64_t expected = walkedAttacks(s, occupancy, steps);
                const uint64_t fromTable = bishop ? bishopAttacks(s, occupancy) : rookAttacks(s, occupancy);
                const uint64_t fromRays =
                    bishop ? bishopRayAttacks(s, occupancy) : rookRayAttacks(s, occupancy);
                ASSERT_EQ(fromTable, expected)
                    << (bishop ? "bishop" : "rook") << " on " << s << " occupancy " << occupancy;
                ASSERT_EQ(fromRays, expected)
                    << (bishop ? "bishop" : "rook") << " on " << s << " occupancy " << occupancy;
                subset = (subset - lines) & lines;
            } while (subset != 0);
        }
    }
}

// The slider's own square, occupied or not, changes nothing.
TEST(SliderAttacks, TheSlidersOwnSquareIsIgnored) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 2000; ++i) {
        const int s = static_cast<int>(random() % 64);
        const uint64_t occupancy = random() & random();
        const uint64_t with = occupancy | (uint64_t{1} << s), without = occupancy & ~(uint64_t{1} << s);
        EXPECT_EQ(bishopAttacks(s, with), bishopAttacks(s, without));
        EXPECT_EQ(rookAttacks(s, with), rookAttacks(s, without));
    }
}
