#pragma once

#include "app_model/large_blocks.h"
#include "model/uuid.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vellumark {

// The ids of the selected items: a set of ids in one flat table (open addressing, linear probing, at most
// half full). A million ids cost 32 MiB in one block and no allocation per id, so selecting, testing and
// freeing a million rows are each one pass over one array, and freeing leaves no million small blocks
// behind for the allocator to merge later on whichever thread asks next.
class Selection {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Uuid;
        using difference_type = std::ptrdiff_t;
        using pointer = const Uuid*;
        using reference = const Uuid&;

        const_iterator() = default;
        reference operator*() const { return slot_ == set_->slots_.size() ? kNone : set_->slots_[slot_]; }
        pointer operator->() const { return &**this; }
        const_iterator& operator++() {
            ++slot_;
            skipFree();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.slot_ == b.slot_;
        }

    private:
        friend class Selection;
        const_iterator(const Selection& set, std::size_t slot) : set_(&set), slot_(slot) { skipFree(); }
        // Past the slots comes the one id no slot can hold, when the set holds it.
        void skipFree() {
            while (slot_ < set_->slots_.size() && set_->slots_[slot_] == kNone) {
                ++slot_;
            }
            if (slot_ == set_->slots_.size() && !set_->holdsNone_) {
                ++slot_;
            }
        }

        const Selection* set_ = nullptr;
        std::size_t slot_ = 0;
    };
    using iterator = const_iterator;
    using value_type = Uuid;

    // Takes the ids of one part of a table being filled, one by one; see assign().
    class Filler;
    using EachId = std::function<void(Filler&)>;

    Selection() = default;
    Selection(std::initializer_list<Uuid> ids) { insert(ids.begin(), ids.end()); }
    template <typename Iterator>
    Selection(Iterator first, Iterator last) {
        insert(first, last);
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool contains(const Uuid& id) const;

    // Returns whether `id` was not held before.
    bool insert(const Uuid& id);
    template <typename Iterator>
    void insert(Iterator first, Iterator last) {
        if constexpr (std::is_base_of_v<std::forward_iterator_tag,
                                        typename std::iterator_traits<Iterator>::iterator_category>) {
            reserve(size_ + static_cast<std::size_t>(std::distance(first, last)));
        }
        if constexpr (std::is_base_of_v<std::random_access_iterator_tag,
                                        typename std::iterator_traits<Iterator>::iterator_category>) {
            // Each id's slot is asked for a few ids ahead, so that the memory waits overlap.
            const auto count = last - first;
            for (decltype(last - first) at = 0; at < count; ++at) {
                if (at + kLookAhead < count) {
                    prefetch(first[at + kLookAhead]);
                }
                insert(first[at]);
            }
        } else {
            for (; first != last; ++first) {
                insert(*first);
            }
        }
    }
    // Asks for the memory where `id` would be, ahead of a contains() or insert() a few ids later.
    void prefetch(const Uuid& id) const;
    // How far ahead to prefetch in a run of ids.
    static constexpr int kLookAhead = 12;
    // Returns whether `id` was held.
    bool erase(const Uuid& id);
    // Room for `count` ids without growing again.
    void reserve(std::size_t count);
    // Makes the set hold exactly the ids that `eachId` passes to the Filler it is given. `count`, how many
    // there are, sizes the table; more are taken too, at the cost of growing it. A large set is filled by two
    // threads at once, each taking the ids whose slots lie in its half of the table, so each thread gets
    // every id from a call of its own: `eachId` must pass all of them each time and be safe to call from
    // two threads at once.
    void assign(std::size_t count, const EachId& eachId);
    void swap(Selection& other) noexcept;

    const_iterator begin() const { return const_iterator(*this, 0); }
    const_iterator end() const { return const_iterator(*this, slots_.size() + 1); }

    friend bool operator==(const Selection& a, const Selection& b);

private:
    // The empty slot. No random id is all zeros; the set still holds it if asked, beside the slots.
    static constexpr Uuid kNone{};

    // Leaves the slots of a new table as the memory came: whoever makes a table clears it.
    struct SlotAllocator {
        using value_type = Uuid;
        template <typename T>
        struct rebind {
            using other = SlotAllocator;
        };
        Uuid* allocate(std::size_t count) { return LargeBlockAllocator<Uuid>().allocate(count); }
        void deallocate(Uuid* block, std::size_t count) noexcept {
            LargeBlockAllocator<Uuid>().deallocate(block, count);
        }
        template <typename T>
        void construct(T* /*slot*/) noexcept {}
        template <typename T, typename... Args>
        void construct(T* slot, Args&&... args) {
            ::new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
        }
        friend bool operator==(const SlotAllocator&, const SlotAllocator&) { return true; }
    };
    using Slots = std::vector<Uuid, SlotAllocator>;

    struct Halves {
        std::uint64_t low;
        std::uint64_t high;
    };
    static Halves halves(const Uuid& id) {
        Halves parts{};
        std::memcpy(&parts, id.bytes().data(), sizeof parts);
        return parts;
    }
    // Two loads and a compare: Uuid's own == goes through memcmp, a call for every slot probed.
    static bool same(const Uuid& a, const Uuid& b) {
        const Halves x = halves(a);
        const Halves y = halves(b);
        return ((x.low ^ y.low) | (x.high ^ y.high)) == 0;
    }
    static bool isFree(const Uuid& slot) {
        const Halves parts = halves(slot);
        return (parts.low | parts.high) == 0;
    }
    // Where the search for `id` starts in a table of `mask` + 1 slots.
    static std::size_t homeIn(const Uuid& id, std::size_t mask) {
        // Random ids are hashed well by any of their bytes; the multiply spreads ids that are not random too.
        const Halves parts = halves(id);
        const std::uint64_t mixed =
            (parts.low ^ (parts.high * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
        return static_cast<std::size_t>(mixed >> 32) & mask;
    }
    std::size_t home(const Uuid& id) const;
    void rehash(std::size_t slotCount);

    Slots slots_;
    std::size_t size_ = 0;
    bool holdsNone_ = false;
};

// Fills one part of a table in two passes, so that memory is written a small region at a time rather than
// at a random slot per id. As ids come, each is put after the others of its region (the slots it may take),
// in the order they come; then each region in turn is cleared and its ids placed by their home slots,
// within a region small enough to stay in the processor's cache. An id that finds no slot before its
// region's end, or whose region is already full, is kept aside to be put in once every part is filled.
class Selection::Filler {
public:
    // Takes `id` when its home slot lies in this filler's part of the table.
    void operator()(const Uuid& id) {
        if (isFree(id)) {
            sawNone_ = true;
            return;
        }
        const std::size_t slot = homeIn(id, mask_);
        if (slot < first_ || slot >= end_) {
            return;
        }
        const std::size_t region = (slot - first_) >> regionShift_;
        std::uint32_t& count = gathered_[region];
        if (count == std::size_t{1} << regionShift_) {
            aside_.push_back(id);
            return;
        }
        Uuid* const next = slots_ + first_ + (region << regionShift_) + count;
        if (++count + 8 < std::size_t{1} << regionShift_) {
            __builtin_prefetch(next + 8, 1);
        }
        *next = id;
    }

private:
    friend class Selection;

    Filler(Uuid* slots, std::size_t mask, std::size_t first, std::size_t end);
    // Places the ids gathered at the start of each region.
    void finish();

    Uuid* slots_;
    std::size_t mask_;
    std::size_t first_;
    std::size_t end_;
    unsigned regionShift_;
    std::vector<std::uint32_t> gathered_;  // per region
    std::vector<Uuid> aside_;
    std::size_t placed_ = 0;
    bool sawNone_ = false;
};

}  // namespace vellumark
