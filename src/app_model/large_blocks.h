#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace vellumark {

// Memory for the arrays that grow with the list: a million ids, positions or hash slots. A block of at least
// kLargeBlockBytes is mapped on its own and, where the system has them, asked for in huge pages: the first
// touch of a fresh 32 MiB array then costs 16 page faults instead of 8,192, which on some virtual machines is
// the difference between 8 ms and 120 ms on the thread that touches it. Up to 128 MiB of the blocks let go
// of are kept, with their pages, and make up the next blocks asked for. Smaller blocks come from the heap.
// Safe to use from several threads at once.
void* allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void* block, std::size_t bytes) noexcept;
// Makes a block of `bytes` on a thread of its own, touches its pages and keeps it for the next block asked
// for: for an array about to grow, so that the thread that grows it copies into memory already there
// instead of meeting a fault per page (a 16 MiB array took 40 ms to grow on the window's thread). Does
// nothing for a block that would come from the heap or not be kept.
void prepareLargeBlock(std::size_t bytes);

inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;

template <typename T>
struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>& /*other*/) noexcept {}

    T* allocate(std::size_t count) {
        if (count > SIZE_MAX / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlockBytes) {
            return static_cast<T*>(::operator new(bytes));
        }
        return static_cast<T*>(allocateLargeBlock(bytes));
    }

    void deallocate(T* block, std::size_t count) noexcept {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlockBytes) {
            ::operator delete(block);
        } else {
            freeLargeBlock(block, bytes);
        }
    }

    template <typename U>
    friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator<U>&) {
        return true;
    }
};

// A vector whose large buffers are huge-page blocks.
template <typename T>
using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

// Prepares the block that `vector` doubles into, when `coming` more elements fill it past three quarters
// (a vector that has just doubled is half full).
template <typename T>
void prepareGrowth(const LargeVector<T>& vector, std::size_t coming) {
    const std::size_t threeQuarters = vector.capacity() / 4 * 3;
    if (vector.size() <= threeQuarters && vector.size() + coming > threeQuarters) {
        prepareLargeBlock(2 * vector.capacity() * sizeof(T));
    }
}

}  // namespace vellumark
