#pragma once

#include "app_model/large_blocks.h"
#include "model/uuid.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <type_traits>
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
    void swap(Selection& other) noexcept;

    const_iterator begin() const { return const_iterator(*this, 0); }
    const_iterator end() const { return const_iterator(*this, slots_.size() + 1); }

    friend bool operator==(const Selection& a, const Selection& b);

private:
    // The empty slot. No random id is all zeros; the set still holds it if asked, beside the slots.
    static constexpr Uuid kNone{};

    std::size_t home(const Uuid& id) const;
    void rehash(std::size_t slotCount);

    std::vector<Uuid, LargeBlockAllocator<Uuid>> slots_;
    std::size_t size_ = 0;
    bool holdsNone_ = false;
};

}  // namespace vellumark
