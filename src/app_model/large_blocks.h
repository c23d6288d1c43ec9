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

}  // namespace vellumark
