#include "board/largememory.h"

#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t CACHE_LINE = 64;
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

} // namespace

void* allocateLarge(std::size_t bytes) {
    const std::size_t alignment = bytes >= HUGE_PAGE ? HUGE_PAGE : CACHE_LINE;
    if (bytes == 0 || bytes > SIZE_MAX - alignment) return nullptr;
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* memory = std::aligned_alloc(alignment, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off or scarce the table gets small ones.
    if (memory && alignment == HUGE_PAGE) madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    return memory;
}

void freeLarge(void* memory) { std::free(memory); }
