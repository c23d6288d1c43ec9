#include "app_model/selection.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace vellumark {

namespace {

constexpr std::size_t kSmallest = 16;

struct Halves {
    std::uint64_t low;
    std::uint64_t high;
};

Halves halves(const Uuid& id) {
    Halves parts{};
    std::memcpy(&parts, id.bytes().data(), sizeof parts);
    return parts;
}

// Two loads and a compare: Uuid's own == goes through memcmp, a call for every slot probed.
bool same(const Uuid& a, const Uuid& b) {
    const Halves x = halves(a);
    const Halves y = halves(b);
    return ((x.low ^ y.low) | (x.high ^ y.high)) == 0;
}

bool isFree(const Uuid& slot) {
    const Halves parts = halves(slot);
    return (parts.low | parts.high) == 0;
}

}  // namespace

std::size_t Selection::home(const Uuid& id) const {
    // Random ids are hashed well by any of their bytes; the multiply spreads ids that are not random too.
    const Halves parts = halves(id);
    const std::uint64_t mixed = (parts.low ^ (parts.high * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
    return static_cast<std::size_t>(mixed >> 32) & (slots_.size() - 1);
}

bool Selection::contains(const Uuid& id) const {
    if (isFree(id)) {
        return holdsNone_;
    }
    if (slots_.empty()) {
        return false;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = home(id);; slot = (slot + 1) & mask) {
        if (same(slots_[slot], id)) {
            return true;
        }
        if (isFree(slots_[slot])) {
            return false;
        }
    }
}

void Selection::prefetch(const Uuid& id) const {
    if (!slots_.empty()) {
        __builtin_prefetch(&slots_[home(id)]);
    }
}

bool Selection::insert(const Uuid& id) {
    if (isFree(id)) {
        if (holdsNone_) {
            return false;
        }
        holdsNone_ = true;
        ++size_;
        return true;
    }
    if (2 * (size_ + 1) > slots_.size()) {
        rehash(std::max(kSmallest, 2 * slots_.size()));
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = home(id);; slot = (slot + 1) & mask) {
        if (same(slots_[slot], id)) {
            return false;
        }
        if (isFree(slots_[slot])) {
            slots_[slot] = id;
            ++size_;
            return true;
        }
    }
}

bool Selection::erase(const Uuid& id) {
    if (isFree(id)) {
        if (!holdsNone_) {
            return false;
        }
        holdsNone_ = false;
        --size_;
        return true;
    }
    if (slots_.empty()) {
        return false;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = home(id);
    while (!same(slots_[hole], id)) {
        if (isFree(slots_[hole])) {
            return false;
        }
        hole = (hole + 1) & mask;
    }
    // Shifts back every id after the hole that would not be found past it, so that no search stops early.
    for (std::size_t next = (hole + 1) & mask; !isFree(slots_[next]); next = (next + 1) & mask) {
        const std::size_t wanted = home(slots_[next]);
        // Whether `wanted` lies cyclically in (hole, next]: then the id stays where it is.
        const bool staysPut =
            hole <= next ? (hole < wanted && wanted <= next) : (hole < wanted || wanted <= next);
        if (!staysPut) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = kNone;
    --size_;
    return true;
}

void Selection::reserve(std::size_t count) {
    const std::size_t wanted = std::bit_ceil(std::max(kSmallest, 2 * count));
    if (wanted > slots_.size()) {
        rehash(wanted);
    }
}

void Selection::rehash(std::size_t slotCount) {
    std::vector<Uuid, LargeBlockAllocator<Uuid>> old(slotCount);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Uuid& id : old) {
        if (isFree(id)) {
            continue;
        }
        std::size_t slot = home(id);
        while (!isFree(slots_[slot])) {
            slot = (slot + 1) & mask;
        }
        slots_[slot] = id;
    }
}

void Selection::swap(Selection& other) noexcept {
    slots_.swap(other.slots_);
    std::swap(size_, other.size_);
    std::swap(holdsNone_, other.holdsNone_);
}

bool operator==(const Selection& a, const Selection& b) {
    if (a.size_ != b.size_ || a.holdsNone_ != b.holdsNone_) {
        return false;
    }
    for (const Uuid& id : a.slots_) {
        if (!isFree(id) && !b.contains(id)) {
            return false;
        }
    }
    return true;
}

}  // namespace vellumark
