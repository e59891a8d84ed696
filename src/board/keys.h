// Zobrist key constants. They are fixed at compile time (a splitmix64 sequence
// from a fixed seed): opening books and learning files store position keys, so
// the constants must never change between builds or runs.
#pragma once

#include <array>
#include <cstdint>

namespace keys_detail {

constexpr uint64_t splitmix64(uint64_t& state) {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// 1792 piece keys, then 8 en-passant keys, then 16 castling keys.
constexpr std::array<uint64_t, 1816> buildKeys() {
    std::array<uint64_t, 1816> k{};
    uint64_t state = 0xFA1C3E5E2005ull;
    for (auto& v : k) v = splitmix64(state);
    return k;
}

inline constexpr auto ALL_KEYS = buildKeys();

template <int Offset, int Count> constexpr std::array<uint64_t, Count> slice() {
    std::array<uint64_t, Count> s{};
    for (int i = 0; i < Count; ++i) s[i] = ALL_KEYS[Offset + i];
    return s;
}

} // namespace keys_detail

// Index (square * 7 + piece) * 2 + colour, square in 0x88 numbering.
inline constexpr auto pieceKeys = keys_detail::slice<0, 1792>();
// Indexed by the file of the en-passant square.
inline constexpr auto enPassantKeys = keys_detail::slice<1792, 8>();
// Indexed by the whole 4-bit castling value.
inline constexpr auto castlingKeys = keys_detail::slice<1800, 16>();

constexpr uint64_t pieceKey(int square, int piece, int colour) {
    return pieceKeys[(square * 7 + piece) * 2 + colour];
}

// The halves of a 64-bit position key, as tables store them.
constexpr uint32_t keyLow(uint64_t key) { return static_cast<uint32_t>(key); }
constexpr uint32_t keyHigh(uint64_t key) { return static_cast<uint32_t>(key >> 32); }
