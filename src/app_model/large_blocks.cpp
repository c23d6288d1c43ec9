#include "app_model/large_blocks.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vellumark {

#if defined(__linux__)

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t mappedSize(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kHugePage) {
        throw std::bad_alloc();
    }
    // Mapped one huge page longer than needed, then trimmed to a block that starts on a huge page.
    const std::size_t size = mappedSize(bytes);
    void* mapped =
        ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* const base = static_cast<char*>(mapped);
    const std::size_t lead = (kHugePage - reinterpret_cast<std::uintptr_t>(base) % kHugePage) % kHugePage;
    char* const block = base + lead;
    if (lead > 0) {
        ::munmap(base, lead);
    }
    if (const std::size_t tail = kHugePage - lead; tail > 0) {
        ::munmap(block + size, tail);
    }
    // Only advice: without huge pages the block works the same, page by page.
    ::madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void freeLargeBlock(void* block, std::size_t bytes) noexcept {
    ::munmap(block, mappedSize(bytes));
}

#else

void* allocateLargeBlock(std::size_t bytes) {
    return ::operator new(bytes);
}

void freeLargeBlock(void* block, std::size_t /*bytes*/) noexcept {
    ::operator delete(block);
}

#endif

}  // namespace vellumark
