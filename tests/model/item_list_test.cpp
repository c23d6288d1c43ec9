#include "model/item_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace vellumark {
namespace {

constexpr std::size_t kChunk = ItemList::kChunkItems;

static_assert(std::random_access_iterator<ItemList::iterator>);
static_assert(std::random_access_iterator<ItemList::const_iterator>);
static_assert(std::is_convertible_v<ItemList::iterator, ItemList::const_iterator>);
static_assert(!std::is_convertible_v<ItemList::const_iterator, ItemList::iterator>);

ItemList numbered(std::size_t count) {
    ItemList list;
    for (std::size_t i = 0; i < count; ++i) {
        list.push_back(FileItem::withPath("/folder/" + std::to_string(i)));
    }
    return list;
}

std::vector<std::string> pathsOf(const ItemList& list) {
    std::vector<std::string> paths;
    for (const FileItem& item : list) {
        paths.push_back(item.path());
    }
    return paths;
}

TEST(ItemList, GrowsAcrossChunksWithoutMovingItsItems) {
    ItemList list = numbered(kChunk);
    const FileItem* first = &list[0];
    const Uuid id = list[kChunk - 1].id();
    list.push_back(FileItem::withPath("/folder/next"));
    EXPECT_EQ(&list[0], first);
    EXPECT_EQ(list[kChunk - 1].id(), id);
    EXPECT_EQ(list.back().path(), "/folder/next");
    EXPECT_EQ(list.end() - list.begin(), static_cast<std::ptrdiff_t>(kChunk + 1));
    EXPECT_THROW((void)list.at(kChunk + 1), std::out_of_range);

    std::vector<std::size_t> runs;
    list.forEachRun(3, kChunk + 1, [&](std::span<const FileItem> run) { runs.push_back(run.size()); });
    EXPECT_EQ(runs, (std::vector<std::size_t>{kChunk - 3, 1}));
}

// What stays keeps its order and its ids; what goes comes back whole, whether it fills chunks of its own,
// shares the last chunk kept, or is nothing at all.
TEST(ItemList, TakeIfKeepsTheRestInOrderAndHandsBackWhatWent) {
    for (const std::size_t keepEvery : {std::size_t{1}, std::size_t{3}, kChunk + 5, std::size_t{0}}) {
        ItemList list = numbered(2 * kChunk + 100);
        std::vector<std::string> expectedKept;
        std::vector<std::string> expectedTaken;
        std::size_t at = 0;
        for (const FileItem& item : list) {
            const bool keep = keepEvery != 0 && at++ % keepEvery == 0;
            (keep ? expectedKept : expectedTaken).push_back(item.path());
        }
        at = 0;
        ItemList taken =
            list.takeIf([&](const FileItem&) { return !(keepEvery != 0 && at++ % keepEvery == 0); });
        EXPECT_EQ(pathsOf(list), expectedKept) << "keeping every " << keepEvery;
        std::vector<std::string> takenPaths = pathsOf(taken);
        const std::size_t sharedChunk =
            std::min(expectedTaken.size(), (kChunk - list.size() % kChunk) % kChunk);
        EXPECT_EQ(takenPaths.size() + sharedChunk, expectedTaken.size()) << "keeping every " << keepEvery;
        std::sort(takenPaths.begin(), takenPaths.end());
        std::sort(expectedTaken.begin(), expectedTaken.end());
        EXPECT_TRUE(
            std::includes(expectedTaken.begin(), expectedTaken.end(), takenPaths.begin(), takenPaths.end()));

        list.push_back(FileItem::withPath("/folder/after"));
        EXPECT_EQ(list.back().path(), "/folder/after");
    }
}

}  // namespace
}  // namespace vellumark
