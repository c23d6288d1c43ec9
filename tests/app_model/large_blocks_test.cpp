#include "app_model/large_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace vellumark {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// A pattern of a block's own in every page of it and its last byte.
void fill(void* block, std::size_t bytes, std::uint8_t seed) {
    auto* const bytesOf = static_cast<std::uint8_t*>(block);
    for (std::size_t at = 0; at < bytes; at += 4096) {
        bytesOf[at] = static_cast<std::uint8_t>(seed + at / 4096);
    }
    bytesOf[bytes - 1] = seed;
}

bool holds(const void* block, std::size_t bytes, std::uint8_t seed) {
    const auto* const bytesOf = static_cast<const std::uint8_t*>(block);
    for (std::size_t at = 0; at < bytes; at += 4096) {
        if (bytesOf[at] != static_cast<std::uint8_t>(seed + at / 4096)) {
            return false;
        }
    }
    return bytesOf[bytes - 1] == seed;
}

TEST(LargeBlocksTest, BlocksLetGoOfMakeUpLargerAndSmallerOnesWholeAndApart) {
    void* six = allocateLargeBlock(6 * kMiB);
    void* ten = allocateLargeBlock(10 * kMiB);
    fill(six, 6 * kMiB, 1);
    fill(ten, 10 * kMiB, 2);
    freeLargeBlock(six, 6 * kMiB);
    freeLargeBlock(ten, 10 * kMiB);

    // Made of both, with a piece of one left over for the next.
    void* twelve = allocateLargeBlock(12 * kMiB);
    void* four = allocateLargeBlock(4 * kMiB);
    void* twenty = allocateLargeBlock(20 * kMiB + 5);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(twelve) % (2 * kMiB), 0u);
    // Every byte of each is usable and belongs to it alone.
    fill(twelve, 12 * kMiB, 3);
    fill(four, 4 * kMiB, 4);
    fill(twenty, 20 * kMiB + 5, 5);
    EXPECT_TRUE(holds(twelve, 12 * kMiB, 3));
    EXPECT_TRUE(holds(four, 4 * kMiB, 4));
    EXPECT_TRUE(holds(twenty, 20 * kMiB + 5, 5));
    freeLargeBlock(twelve, 12 * kMiB);
    freeLargeBlock(four, 4 * kMiB);
    freeLargeBlock(twenty, 20 * kMiB + 5);

    // More than is ever kept, and vectors that start from zero on reused pages.
    void* huge = allocateLargeBlock(200 * kMiB);
    fill(huge, 200 * kMiB, 7);
    EXPECT_TRUE(holds(huge, 200 * kMiB, 7));
    freeLargeBlock(huge, 200 * kMiB);
    const LargeVector<std::uint64_t> zeros(3 * kMiB);
    EXPECT_TRUE(std::all_of(zeros.begin(), zeros.end(), [](std::uint64_t value) { return value == 0; }));
}

// Blocks prepared in the background among them.
TEST(LargeBlocksTest, ThreadsTakeAndLetGoAtOnce) {
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([thread, &failures] {
            for (int round = 0; round < 20; ++round) {
                const std::size_t bytes = (4 + static_cast<std::size_t>((thread + round) % 5) * 2) * kMiB;
                if (round % 4 == thread) {
                    prepareLargeBlock(bytes);
                }
                void* block = allocateLargeBlock(bytes);
                const auto seed = static_cast<std::uint8_t>(thread * 40 + round);
                fill(block, bytes, seed);
                std::this_thread::yield();
                if (!holds(block, bytes, seed)) {
                    failures.fetch_add(1);
                }
                freeLargeBlock(block, bytes);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace vellumark
