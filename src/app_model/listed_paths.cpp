#include "app_model/listed_paths.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

namespace vellumark {

namespace {

// Tables of fewer slots than this (512 KiB) are cleared in place: quicker than starting a thread.
constexpr std::size_t kClearedAsideFrom = std::size_t{1} << 16;

bool isKnownFile(const FileItem& item) {
    return item.identity && item.identity->inode != 0;
}

// Agrees with sameListedItem: a known file hashes by its numbers, anything else by its path.
std::uint32_t foldedHash(const FileItem& item) {
    std::uint64_t hash = 0;
    if (isKnownFile(item)) {
        hash = (item.identity->device * 0x9E3779B97F4A7C15ULL) ^ item.identity->inode;
        hash ^= hash >> 29;
        hash *= 0xBF58476D1CE4E5B9ULL;
    } else {
        hash = std::hash<std::string_view>{}(item.path());
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

bool sameListedItem(const FileItem& a, const FileItem& b) {
    if (isKnownFile(a) || isKnownFile(b)) {
        return isKnownFile(a) && a.identity->isSameFile(*b.identity);
    }
    return a.path() == b.path();
}

ListedPaths::ListedPaths(ItemAt itemAt) : itemAt_(std::move(itemAt)) {}

void ListedPaths::assign(std::size_t count) {
    if (count >= UINT32_MAX) {
        throw std::length_error("too many listed items");
    }
    slots_.clear();
    moving_ = {};
    next_ = {};
    moved_ = 0;
    size_ = 0;
    reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        place(slots_, Slot{static_cast<std::uint32_t>(position + 1), foldedHash(itemAt_(position))});
    }
    size_ = count;
}

bool ListedPaths::insert(const FileItem& item, std::size_t position) {
    const std::uint32_t hash = foldedHash(item);
    if (holds(slots_, item, hash) || holds(moving_, item, hash)) {
        return false;
    }
    if (position >= UINT32_MAX) {
        throw std::length_error("too many listed items");
    }
    reserve(size_ + 1);
    place(slots_, Slot{static_cast<std::uint32_t>(position + 1), hash});
    ++size_;
    // The table before is half the size of this one: eight slots of it per insert have it moved a quarter
    // of the way to the next growth, so that both are rarely held when the list stops growing.
    moveSome(8);
    return true;
}

void ListedPaths::prefetch(const FileItem& item) const {
    const std::uint32_t hash = foldedHash(item);
    if (!slots_.empty()) {
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }
    if (!moving_.empty()) {
        __builtin_prefetch(&moving_[hash & (moving_.size() - 1)]);
    }
}

bool ListedPaths::holds(const LargeVector<Slot>& table, const FileItem& item, std::uint32_t hash) const {
    if (table.empty()) {
        return false;
    }
    const std::size_t mask = table.size() - 1;
    for (std::size_t i = hash & mask; table[i].positionAfter != 0; i = (i + 1) & mask) {
        if (table[i].hash == hash && sameListedItem(itemAt_(table[i].positionAfter - 1), item)) {
            return true;
        }
    }
    return false;
}

void ListedPaths::reserve(std::size_t count) {
    if (count * 4 <= slots_.size() * 3) {
        if (count * 2 > slots_.size() && slots_.size() >= kClearedAsideFrom && !next_.valid()) {
            // A thread of its own that no one waits for: should the list stop growing first, the table
            // goes with the thread.
            std::packaged_task<LargeVector<Slot>()> clear(
                [size = 2 * slots_.size()] { return LargeVector<Slot>(size); });
            std::future<LargeVector<Slot>> cleared = clear.get_future();
            try {
                std::thread(std::move(clear)).detach();
                next_ = std::move(cleared);
            } catch (const std::system_error&) {
                // No thread to be had: the growth clears its table itself.
            }
        }
        return;
    }
    moveSome(moving_.size());  // should it grow again before the last growth was moved
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, count + count / 3 + 1));
    LargeVector<Slot> grown;
    if (next_.valid()) {
        grown = next_.get();
    }
    if (grown.size() < capacity) {
        grown = LargeVector<Slot>(capacity);
    }
    moving_ = std::move(grown);
    moving_.swap(slots_);
    moved_ = 0;
}

void ListedPaths::moveSome(std::size_t count) {
    if (moving_.empty()) {
        return;
    }
    for (const std::size_t end = std::min(moving_.size(), moved_ + count); moved_ < end; ++moved_) {
        if (moving_[moved_].positionAfter != 0) {
            place(slots_, moving_[moved_]);
        }
    }
    if (moved_ == moving_.size()) {
        moving_ = {};
        moved_ = 0;
    }
}

void ListedPaths::place(LargeVector<Slot>& table, Slot slot) {
    const std::size_t mask = table.size() - 1;
    std::size_t i = slot.hash & mask;
    while (table[i].positionAfter != 0) {
        i = (i + 1) & mask;
    }
    table[i] = slot;
}

}  // namespace vellumark
