#include "app_model/listed_paths.h"

#include <bit>
#include <stdexcept>
#include <string_view>

namespace vellumark {

namespace {

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
    if (count >= kEmpty) {
        throw std::length_error("too many listed items");
    }
    slots_.clear();
    size_ = 0;
    reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        place(Slot{static_cast<std::uint32_t>(position), foldedHash(itemAt_(position))});
    }
}

bool ListedPaths::insert(const FileItem& item, std::size_t position) {
    const std::uint32_t hash = foldedHash(item);
    reserve(size_ + 1);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].position != kEmpty; i = (i + 1) & mask) {
        if (slots_[i].hash == hash && sameListedItem(itemAt_(slots_[i].position), item)) {
            return false;
        }
    }
    if (position >= kEmpty) {
        throw std::length_error("too many listed items");
    }
    place(Slot{static_cast<std::uint32_t>(position), hash});
    return true;
}

void ListedPaths::reserve(std::size_t count) {
    // At most three quarters full, so that probing for a new item stays short.
    if (count * 4 <= slots_.size() * 3) {
        return;
    }
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, count + count / 3 + 1));
    LargeVector<Slot> old(capacity, Slot{kEmpty, 0});
    old.swap(slots_);
    size_ = 0;
    for (const Slot slot : old) {
        if (slot.position != kEmpty) {
            place(slot);
        }
    }
}

void ListedPaths::place(Slot slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = slot.hash & mask;
    while (slots_[i].position != kEmpty) {
        i = (i + 1) & mask;
    }
    slots_[i] = slot;
    ++size_;
}

}  // namespace vellumark
