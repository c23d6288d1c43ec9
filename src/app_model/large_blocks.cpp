#include "app_model/large_blocks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vellumark {

#if defined(__linux__)

namespace {

constexpr std::size_t kPage = 4096;  // the smallest there is
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// What is kept of the blocks let go of, at most.
constexpr std::size_t kKeptBytes = std::size_t{128} << 20;

std::size_t mappedSize(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// `size` bytes of fresh memory, starting on a huge page, advised to be made of huge pages.
char* freshBlock(std::size_t size) {
    // Mapped one huge page longer than needed, then trimmed to a block that starts on a huge page.
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

// Blocks let go of, kept with their pages for the blocks asked for next. The first touch of fresh memory is
// what a large array costs (a fault per page, and some virtual machines charge 10 us for each), and a long
// list lets go of arrays about the size of those it asks for next: the table of a selection replaced, the
// duplicate check of an add that ended. A block asked for is made of kept blocks moved into place (mremap
// moves pages without touching them) and fresh pages for the rest. Kept pages are marked free: under memory
// pressure the kernel takes them, and they come back as fresh ones.
class KeptBlocks {
public:
    struct Piece {
        char* start;
        std::size_t size;
    };

    // Every piece is a whole number of huge pages and they add up to kKeptBytes at most, so that keeping
    // never needs memory of its own.
    static constexpr std::size_t kMostPieces = kKeptBytes / kHugePage;

    KeptBlocks() { kept_.reserve(kMostPieces); }

    // Kept blocks for `size` bytes: the smallest one large enough, else the largest, as many as needed.
    std::vector<Piece> take(std::size_t size) {
        std::vector<Piece> taken;
        taken.reserve(kMostPieces);
        const std::lock_guard lock(mutex_);
        const auto bySize = [](const Piece& a, const Piece& b) { return a.size < b.size; };
        auto fits = kept_.end();
        for (auto piece = kept_.begin(); piece != kept_.end(); ++piece) {
            if (piece->size >= size && (fits == kept_.end() || piece->size < fits->size)) {
                fits = piece;
            }
        }
        if (fits != kept_.end()) {
            taken.push_back({fits->start, size});
            keptBytes_ -= size;
            if (fits->size > size) {
                *fits = {fits->start + size, fits->size - size};
            } else {
                kept_.erase(fits);
            }
            return taken;
        }
        for (std::size_t found = 0; found < size && !kept_.empty(); found += taken.back().size) {
            const auto largest = std::max_element(kept_.begin(), kept_.end(), bySize);
            taken.push_back(*largest);
            keptBytes_ -= largest->size;
            kept_.erase(largest);
        }
        return taken;
    }

    void keep(Piece piece) noexcept {
        if (piece.size > kKeptBytes) {
            ::munmap(piece.start, piece.size);
            return;
        }
        ::madvise(piece.start, piece.size, MADV_FREE);
        std::array<Piece, kMostPieces> evicted{};
        std::size_t evictedCount = 0;
        {
            const std::lock_guard lock(mutex_);
            // The blocks kept longest go first, unmapped once the lock is let go.
            while (keptBytes_ + piece.size > kKeptBytes) {
                evicted[evictedCount++] = kept_.front();
                keptBytes_ -= kept_.front().size;
                kept_.erase(kept_.begin());
            }
            kept_.push_back(piece);  // within the capacity reserved
            keptBytes_ += piece.size;
        }
        for (std::size_t gone = 0; gone < evictedCount; ++gone) {
            ::munmap(evicted[gone].start, evicted[gone].size);
        }
    }

private:
    std::mutex mutex_;
    std::vector<Piece> kept_;  // oldest first; guarded by mutex_, as is keptBytes_
    std::size_t keptBytes_ = 0;
};

// Never destroyed: blocks may be let go of on other threads while the process exits.
KeptBlocks& keptBlocks() {
    static auto* const kept = new KeptBlocks;
    return *kept;
}

}  // namespace

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kHugePage) {
        throw std::bad_alloc();
    }
    const std::size_t size = mappedSize(bytes);
    std::vector<KeptBlocks::Piece> pieces = keptBlocks().take(size);
    if (pieces.size() == 1 && pieces.front().size == size) {
        return pieces.front().start;
    }
    char* block = nullptr;
    try {
        block = freshBlock(size);
    } catch (const std::bad_alloc&) {
        for (const KeptBlocks::Piece& piece : pieces) {
            keptBlocks().keep(piece);
        }
        throw;
    }
    std::size_t offset = 0;
    for (const KeptBlocks::Piece& piece : pieces) {
        const std::size_t part = std::min(piece.size, size - offset);
        // Over the fresh pages at `offset`; a piece that cannot move is let go, and they stay.
        if (::mremap(piece.start, part, part, MREMAP_MAYMOVE | MREMAP_FIXED, block + offset) == MAP_FAILED) {
            ::munmap(piece.start, part);
        }
        if (part < piece.size) {
            keptBlocks().keep({piece.start + part, piece.size - part});
        }
        offset += part;
    }
    return block;
}

void freeLargeBlock(void* block, std::size_t bytes) noexcept {
    keptBlocks().keep({static_cast<char*>(block), mappedSize(bytes)});
}

void prepareLargeBlock(std::size_t bytes) {
    if (bytes < kLargeBlockBytes || bytes > kKeptBytes) {
        return;
    }
    try {
        std::thread([size = mappedSize(bytes)] {
            try {
                volatile char* const block = freshBlock(size);
                for (std::size_t at = 0; at < size; at += kPage) {
                    block[at] = 0;
                }
                keptBlocks().keep({const_cast<char*>(block), size});
            } catch (const std::bad_alloc&) {
                // No memory to spare: the array grows into fresh pages, as it would have.
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the same.
    }
}

#else

void* allocateLargeBlock(std::size_t bytes) {
    return ::operator new(bytes);
}

void freeLargeBlock(void* block, std::size_t /*bytes*/) noexcept {
    ::operator delete(block);
}

void prepareLargeBlock(std::size_t /*bytes*/) {}

#endif

}  // namespace vellumark
