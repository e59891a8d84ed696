// Board geometry: direction tables, square differences and the between-squares
// bitboards. Everything here is computed at compile time and never changes.
#pragma once

#include <array>
#include <cstdint>

#include "board/types.h"

// Unit directions in the order the tables use them.
constexpr std::array<int, 8> DIRECTIONS = {1, -1, 16, -16, 17, -17, 15, -15};
constexpr std::array<int, 8> KNIGHT_OFFSETS = {14, -14, 18, -18, 31, -31, 33, -33};

// Generation orders of the sliders and the king.
constexpr std::array<int, 4> BISHOP_RAYS = {17, -17, 15, -15};
constexpr std::array<int, 4> ROOK_RAYS = {16, -16, 1, -1};
constexpr std::array<int, 8> QUEEN_RAYS = {17, -17, 15, -15, 16, -16, 1, -1};
constexpr std::array<int, 8> KING_STEPS = QUEEN_RAYS;

// A pawn of colour c on s attacks s + PAWN_CAPTURE[c][i]; it pushes by PAWN_PUSH[c].
constexpr int PAWN_CAPTURE[2][2] = {{17, 15}, {-17, -15}};
constexpr int PAWN_PUSH[2] = {16, -16};

// Bits of attackKinds and of the piece-to-bit table.
enum AttackBit : uint8_t {
    ATTACK_KING = 1,
    ATTACK_QUEEN = 2,
    ATTACK_ROOK = 4,
    ATTACK_BISHOP = 8,
    ATTACK_KNIGHT = 16,
    ATTACK_PAWN = 32
};
constexpr std::array<uint8_t, 7> PIECE_BIT = {
    0, ATTACK_KING, ATTACK_QUEEN, ATTACK_ROOK, ATTACK_BISHOP, ATTACK_KNIGHT, ATTACK_PAWN};

// Material units of non-pawn pieces (queen 9, rook 5, bishop 3, knight 3).
constexpr std::array<int, 7> MATERIAL_UNITS = {0, 0, 9, 5, 3, 3, 1};
// Piece-type mask bits: queen 1, rook 2, bishop 4, knight 8, pawn 16.
constexpr std::array<int, 7> PIECE_TYPE_BIT = {0, 0, 1, 2, 4, 8, 16};

namespace geometry_detail {

// Square differences run from -119 to +119; the tables cover -256..255 so that
// a difference with an off-board square never leaves them.
constexpr int DIFF_OFFSET = 256;
constexpr int DIFF_SIZE = 512;

constexpr std::array<uint8_t, DIFF_SIZE> buildAttackKinds() {
    std::array<uint8_t, DIFF_SIZE> t{};
    for (int d : {1, -1, 16, -16, 15, -15, 17, -17}) t[DIFF_OFFSET + d] |= ATTACK_KING;
    for (int d : KNIGHT_OFFSETS) t[DIFF_OFFSET + d] |= ATTACK_KNIGHT;
    for (int dir : DIRECTIONS) {
        bool orthogonal = dir == 1 || dir == -1 || dir == 16 || dir == -16;
        for (int k = 1; k <= 7; ++k) {
            t[DIFF_OFFSET + k * dir] |= ATTACK_QUEEN | (orthogonal ? ATTACK_ROOK : ATTACK_BISHOP);
        }
    }
    return t;
}

constexpr std::array<int8_t, DIFF_SIZE> buildLineStep() {
    std::array<int8_t, DIFF_SIZE> t{};
    for (int dir : DIRECTIONS) {
        for (int k = 1; k <= 7; ++k) t[DIFF_OFFSET + k * dir] = static_cast<int8_t>(dir);
    }
    return t;
}

constexpr int absolute(int x) { return x < 0 ? -x : x; }

constexpr std::array<std::array<uint64_t, 64>, 64> buildBetween() {
    std::array<std::array<uint64_t, 64>, 64> t{};
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            if (a == b) continue;
            int df = absolute((a & 7) - (b & 7));
            int dr = absolute((a >> 3) - (b >> 3));
            if (df != 0 && dr != 0 && df != dr) continue;
            int d = df > dr ? df : dr;
            int step = (b - a) / d;
            uint64_t bits = 0;
            for (int s = a + step; s != b; s += step) bits |= uint64_t{1} << s;
            t[a][b] = bits;
        }
    }
    return t;
}

constexpr std::array<uint64_t, 64> buildSquareBit() {
    std::array<uint64_t, 64> t{};
    for (int i = 0; i < 64; ++i) t[i] = uint64_t{1} << i;
    return t;
}

inline constexpr auto ATTACK_KINDS = buildAttackKinds();
inline constexpr auto LINE_STEP = buildLineStep();
inline constexpr auto BETWEEN = buildBetween();

} // namespace geometry_detail

inline constexpr auto squareBit = geometry_detail::buildSquareBit();

// Kinds of piece that can attack along the 0x88 difference d = to - from.
constexpr uint8_t attackKinds(int d) {
    FM_ASSERT(d > -geometry_detail::DIFF_OFFSET && d < geometry_detail::DIFF_OFFSET);
    return geometry_detail::ATTACK_KINDS[d + geometry_detail::DIFF_OFFSET];
}

// Unit direction of the difference d when it is a multiple of one, else 0.
constexpr int lineStep(int d) {
    FM_ASSERT(d > -geometry_detail::DIFF_OFFSET && d < geometry_detail::DIFF_OFFSET);
    return geometry_detail::LINE_STEP[d + geometry_detail::DIFF_OFFSET];
}

// Squares strictly between two 64-numbered squares on one line.
constexpr uint64_t between(int a64, int b64) {
    FM_ASSERT(a64 >= 0 && a64 < 64 && b64 >= 0 && b64 < 64);
    return geometry_detail::BETWEEN[a64][b64];
}

constexpr uint64_t bitOf(Square s) { return squareBit[square64(s)]; }

// King distance between two 0x88 squares.
constexpr int distance(Square a, Square b) {
    int df = geometry_detail::absolute(fileOf(a) - fileOf(b));
    int dr = geometry_detail::absolute(rankOf(a) - rankOf(b));
    return df > dr ? df : dr;
}
