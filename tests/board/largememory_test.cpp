// Memory for the big tables: alignment, whole use of what is given, and
// refusal of sizes that cannot be had.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "board/largememory.h"

namespace {

struct Slot {
    uint64_t a, b;
};

} // namespace

TEST(LargeMemory, SmallBlocksAreLineAlignedAndTableSizedOnesHugePageAligned) {
    for (std::size_t bytes :
         {std::size_t{1}, std::size_t{100}, std::size_t{4096}, std::size_t{(2u << 20) - 1}}) {
        void* memory = allocateLarge(bytes);
        ASSERT_NE(memory, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 64, 0u) << bytes;
        std::memset(memory, 0xA5, bytes); // every byte asked for is usable
        freeLarge(memory);
    }
    for (std::size_t bytes : {std::size_t{2} << 20, std::size_t{5} << 20, (std::size_t{3} << 20) + 17}) {
        void* memory = allocateLarge(bytes);
        ASSERT_NE(memory, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % (std::size_t{2} << 20), 0u) << bytes;
        std::memset(memory, 0x5A, bytes);
        freeLarge(memory);
    }
}

TEST(LargeMemory, ImpossibleSizesGiveNullAndNullIsReleasedQuietly) {
    EXPECT_EQ(allocateLarge(0), nullptr);
    EXPECT_EQ(allocateLarge(SIZE_MAX), nullptr);
    EXPECT_EQ(allocateLarge(SIZE_MAX - 63), nullptr);
    EXPECT_EQ(allocateLargeArray<Slot>(SIZE_MAX / 8), nullptr); // the byte count would overflow
    freeLarge(nullptr);
    LargeArray<Slot> slots(allocateLargeArray<Slot>(1000));
    ASSERT_NE(slots, nullptr);
    slots[999] = Slot{1, 2};
    EXPECT_EQ(slots[999].b, 2u);
}
