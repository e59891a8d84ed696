// Memory for the big tables (the transposition table and the evaluator's
// caches): aligned to a cache line, and tables of 2 MB and more aligned to
// 2 MB and, on Linux, offered to the system for transparent huge pages. Random
// probes of a table then need far fewer address translations, and filling a
// new table far fewer page faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

// Null when the memory cannot be had; the contents are undefined.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* memory);

struct LargeMemoryRelease {
    void operator()(void* memory) const { freeLarge(memory); }
};
// An array of a type that needs no construction, in memory from allocateLarge.
template <typename T> using LargeArray = std::unique_ptr<T[], LargeMemoryRelease>;

template <typename T> T* allocateLargeArray(std::size_t count) {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
    if (count > SIZE_MAX / sizeof(T)) return nullptr;
    return static_cast<T*>(allocateLarge(count * sizeof(T)));
}
