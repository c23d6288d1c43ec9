#pragma once

#include "model/file_item.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <iterator>
#include <new>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace vellumark {

// The listed items, in order, kept in chunks of kChunkItems that never move. Appending to a list of a
// million items therefore never copies it: the list grows a chunk at a time, and its memory is touched a
// chunk at a time rather than all at once when one array would double. Positions are stable while nothing is
// removed, as in a vector; a removal moves the items after it forward.
class ItemList {
public:
    static constexpr std::size_t kChunkShift = 12;
    static constexpr std::size_t kChunkItems = std::size_t{1} << kChunkShift;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = FileItem;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const FileItem*, FileItem*>;
        using reference = std::conditional_t<Const, const FileItem&, FileItem&>;

        Iterator() = default;
        // NOLINTNEXTLINE(google-explicit-constructor): a mutable iterator converts as a vector's does.
        template <bool Other>
        requires(Const && !Other) Iterator(const Iterator<Other>& other)
            : chunks_(other.chunks_), at_(other.at_) {}

        reference operator*() const { return chunks_[at_ >> kChunkShift][at_ & (kChunkItems - 1)]; }
        pointer operator->() const { return &**this; }
        reference operator[](difference_type offset) const { return *(*this + offset); }

        Iterator& operator++() {
            ++at_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++at_;
            return before;
        }
        Iterator& operator--() {
            --at_;
            return *this;
        }
        Iterator operator--(int) {
            Iterator before = *this;
            --at_;
            return before;
        }
        Iterator& operator+=(difference_type offset) {
            at_ = static_cast<std::size_t>(static_cast<difference_type>(at_) + offset);
            return *this;
        }
        Iterator& operator-=(difference_type offset) { return *this += -offset; }
        friend Iterator operator+(Iterator it, difference_type offset) { return it += offset; }
        friend Iterator operator+(difference_type offset, Iterator it) { return it += offset; }
        friend Iterator operator-(Iterator it, difference_type offset) { return it -= offset; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return static_cast<difference_type>(a.at_) - static_cast<difference_type>(b.at_);
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.at_ <=> b.at_; }

    private:
        friend class ItemList;
        friend class Iterator<!Const>;
        Iterator(FileItem* const* chunks, std::size_t at) : chunks_(chunks), at_(at) {}

        FileItem* const* chunks_ = nullptr;
        std::size_t at_ = 0;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;
    using value_type = FileItem;
    using size_type = std::size_t;

    ItemList() = default;
    ItemList(ItemList&& other) noexcept { swap(other); }
    ItemList& operator=(ItemList&& other) noexcept {
        ItemList(std::move(other)).swap(*this);
        return *this;
    }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList() { clear(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    FileItem& operator[](std::size_t position) { return chunks_[position >> kChunkShift][position & kMask]; }
    const FileItem& operator[](std::size_t position) const {
        return chunks_[position >> kChunkShift][position & kMask];
    }
    const FileItem& at(std::size_t position) const {
        if (position >= size_) {
            throw std::out_of_range("ItemList::at");
        }
        return (*this)[position];
    }
    const FileItem& back() const { return (*this)[size_ - 1]; }

    iterator begin() { return {chunks_.data(), 0}; }
    iterator end() { return {chunks_.data(), size_}; }
    const_iterator begin() const { return {chunks_.data(), 0}; }
    const_iterator end() const { return {chunks_.data(), size_}; }

    void push_back(FileItem&& item) {
        if ((size_ >> kChunkShift) == chunks_.size()) {
            // Room for the pointer first: nothing can throw between making the chunk and keeping it.
            chunks_.reserve(chunks_.size() + 1);
            chunks_.push_back(newChunk());
        }
        ::new (static_cast<void*>(&(*this)[size_])) FileItem(std::move(item));
        ++size_;
    }
    void push_back(const FileItem& item) { push_back(FileItem(item)); }

    // The items from `first` up to `last`, a run of adjacent items at a time.
    template <typename Visit>
    void forEachRun(std::size_t first, std::size_t last, Visit&& visit) const {
        while (first < last) {
            const std::size_t chunkEnd = (first | kMask) + 1;
            const std::size_t runEnd = chunkEnd < last ? chunkEnd : last;
            visit(std::span<const FileItem>(&(*this)[first], runEnd - first));
            first = runEnd;
        }
    }

    // Takes out every item `remove` picks, keeping the order of the others, and returns the items taken
    // (in no particular order) as a list of their own: a caller can free them elsewhere.
    template <typename Predicate>
    ItemList takeIf(Predicate&& remove) {
        std::size_t kept = 0;
        for (std::size_t position = 0; position < size_; ++position) {
            FileItem& item = (*this)[position];
            if (remove(std::as_const(item))) {
                continue;
            }
            if (kept != position) {
                using std::swap;
                swap((*this)[kept], item);
            }
            ++kept;
        }
        return splitAt(kept);
    }

    void clear() {
        for (std::size_t position = 0; position < size_; ++position) {
            (*this)[position].~FileItem();
        }
        for (FileItem* chunk : chunks_) {
            ::operator delete(static_cast<void*>(chunk));
        }
        chunks_.clear();
        chunks_.shrink_to_fit();
        size_ = 0;
    }

    void swap(ItemList& other) noexcept {
        chunks_.swap(other.chunks_);
        std::swap(size_, other.size_);
    }

private:
    static constexpr std::size_t kMask = kChunkItems - 1;

    // Memory for the next chunk.
    FileItem* newChunk() const;

    // Keeps the first `count` items; the rest leave in whole chunks, as the list returned, apart from
    // those sharing a chunk with the last item kept, which are destroyed here.
    ItemList splitAt(std::size_t count) {
        const std::size_t firstWhole = (count + kMask) >> kChunkShift;
        const std::size_t wholeStart = firstWhole << kChunkShift;
        // The only step that can throw comes first, while every item is still where size_ says.
        ItemList rest;
        if (wholeStart < size_) {
            rest.chunks_.assign(chunks_.begin() + static_cast<std::ptrdiff_t>(firstWhole), chunks_.end());
            rest.size_ = size_ - wholeStart;
        }
        for (std::size_t position = count; position < std::min(wholeStart, size_); ++position) {
            (*this)[position].~FileItem();
        }
        // Past the last kept item, the chunks now belong to `rest`, or hold nothing.
        for (std::size_t chunk = firstWhole; wholeStart >= size_ && chunk < chunks_.size(); ++chunk) {
            ::operator delete(static_cast<void*>(chunks_[chunk]));
        }
        chunks_.resize(firstWhole);
        size_ = count;
        return rest;
    }

    std::vector<FileItem*> chunks_;
    std::size_t size_ = 0;
};

}  // namespace vellumark
