#include "app_model/selection.h"

#include "app_model/parallel_pass.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace vellumark {

namespace {

constexpr std::size_t kSmallest = 16;
// The slots an assign() places ids in at a time: 128 KiB, well within a core's cache.
constexpr std::size_t kRegionSlots = std::size_t{1} << 13;

}  // namespace

std::size_t Selection::home(const Uuid& id) const {
    return homeIn(id, slots_.size() - 1);
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

void Selection::assign(std::size_t count, const EachId& eachId) {
    Slots table(std::bit_ceil(std::max(kSmallest, 2 * count)));
    const std::size_t half = table.size() / 2;
    Filler low(table.data(), table.size() - 1, 0, half);
    Filler high(table.data(), table.size() - 1, half, table.size());
    const auto fill = [&eachId](Filler& part) {
        eachId(part);
        part.finish();
    };
    runSideBySide(
        count >= kSideBySideFrom, [&] { fill(low); }, [&] { fill(high); });

    slots_.swap(table);
    holdsNone_ = low.sawNone_ || high.sawNone_;
    size_ = low.placed_ + high.placed_ + (holdsNone_ ? 1 : 0);
    // Every region is final now, so an id kept aside goes in as any other would.
    for (const Uuid& id : low.aside_) {
        insert(id);
    }
    for (const Uuid& id : high.aside_) {
        insert(id);
    }
    // More ids than `count` may have filled the table past half without any set aside.
    reserve(size_);
}

Selection::Filler::Filler(Uuid* slots, std::size_t mask, std::size_t first, std::size_t end)
    : slots_(slots),
      mask_(mask),
      first_(first),
      end_(end),
      regionShift_(static_cast<unsigned>(std::countr_zero(std::min(kRegionSlots, end - first)))),
      gathered_((end - first) >> regionShift_) {}

void Selection::Filler::finish() {
    const std::size_t regionSlots = std::size_t{1} << regionShift_;
    std::vector<Uuid> gathered;
    gathered.reserve(regionSlots);
    for (std::size_t region = 0; region < gathered_.size(); ++region) {
        Uuid* const start = slots_ + first_ + (region << regionShift_);
        Uuid* const end = start + regionSlots;
        gathered.assign(start, start + gathered_[region]);
        std::memset(static_cast<void*>(start), 0, regionSlots * sizeof(Uuid));
        for (const Uuid& id : gathered) {
            Uuid* slot = slots_ + homeIn(id, mask_);
            while (slot != end && !isFree(*slot) && !same(*slot, id)) {
                ++slot;
            }
            if (slot == end) {
                aside_.push_back(id);
            } else if (isFree(*slot)) {
                *slot = id;
                ++placed_;
            }
        }
    }
}

void Selection::rehash(std::size_t slotCount) {
    Slots old(slotCount);
    std::fill(old.begin(), old.end(), kNone);
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
        if (!Selection::isFree(id) && !b.contains(id)) {
            return false;
        }
    }
    return true;
}

}  // namespace vellumark
