#include "model/item_list.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vellumark {

// A chunk after the first fills up soon. Its pages are made in one call rather than by a fault each as the
// items land in them: some virtual machines charge as much for the fault as for the page. Only advice;
// where it is not taken the pages come as before.
FileItem* ItemList::newChunk() const {
    constexpr std::size_t kBytes = kChunkItems * sizeof(FileItem);
    void* const chunk = ::operator new(kBytes);
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (!chunks_.empty()) {
        const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto start = reinterpret_cast<std::uintptr_t>(chunk);
        // The whole pages within the chunk.
        char* const first = static_cast<char*>(chunk) + (page - start % page) % page;
        const std::size_t length = (start + kBytes) / page * page - reinterpret_cast<std::uintptr_t>(first);
        if (length > 0 && length <= kBytes) {
            ::madvise(first, length, MADV_POPULATE_WRITE);
        }
    }
#endif
    return static_cast<FileItem*>(chunk);
}

}  // namespace vellumark
