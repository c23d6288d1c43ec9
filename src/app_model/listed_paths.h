#pragma once

#include "app_model/large_blocks.h"
#include "model/file_item.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <vector>

namespace vellumark {

// Whether two items name the same listed item: the same file where both know theirs (hard links, a folder
// reached by two routes, a name spelt two ways on a volume that folds them), otherwise equal path bytes.
// Two files are two items whatever their names look like: a precomposed and a decomposed "café.txt" in
// one folder are two files on Linux.
bool sameListedItem(const FileItem& a, const FileItem& b);

// A set of listed items under sameListedItem that keeps no item of its own. It holds the positions of items
// in a list the caller owns and reads them back through `itemAt` only when two hashes meet, so the caller's
// list may grow and move while the set is in use. Eight bytes per position plus free slots.
class ListedPaths {
public:
    using ItemAt = std::function<const FileItem&(std::size_t position)>;

    explicit ListedPaths(ItemAt itemAt);

    // Starts over with the positions 0 to count - 1, taken as distinct.
    void assign(std::size_t count);

    // Records `item` as the one at `position` unless the same item is present; returns whether it was
    // recorded. The caller places the item there before the next call.
    bool insert(const FileItem& item, std::size_t position);

    std::size_t size() const { return size_; }

    // Brings in the slots where `item` will be looked for, ahead of its insert: in a run of inserts, each
    // would otherwise wait for memory.
    void prefetch(const FileItem& item) const;
    // How far ahead to prefetch in a run of inserts.
    static constexpr std::size_t kLookAhead = 8;

private:
    // A free slot is all zeros: a new table, value-initialised, is all free slots.
    struct Slot {
        std::uint32_t positionAfter;  // the position + 1
        std::uint32_t hash;
    };

    // Whether `table` holds an item the same as `item`, whose hash is `hash`.
    bool holds(const LargeVector<Slot>& table, const FileItem& item, std::uint32_t hash) const;
    // Room for `count` items in `slots_`: at most three quarters full.
    void reserve(std::size_t count);
    // Moves up to `count` slots of the table before into `slots_`.
    void moveSome(std::size_t count);
    static void place(LargeVector<Slot>& table, Slot slot);

    ItemAt itemAt_;
    LargeVector<Slot> slots_;
    // The table the next growth moves into, cleared on a thread of its own once `slots_` is half full: at a
    // million items, clearing it takes tens of milliseconds that an insert need not wait for.
    std::future<LargeVector<Slot>> next_;
    // The table before the last growth, moved into `slots_` a few slots per insert, so that no insert
    // stops to move a million at once; until then both are searched.
    LargeVector<Slot> moving_;
    std::size_t moved_ = 0;
    std::size_t size_ = 0;
};

}  // namespace vellumark
