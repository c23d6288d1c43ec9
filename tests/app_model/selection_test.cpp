#include "app_model/selection.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_set>
#include <vector>

namespace vellumark {
namespace {

// Many inserts and erases against the standard set: erasing shifts later ids back, across the end of the
// table too, and a search must still find every id that stays.
TEST(Selection, AgreesWithAStandardSetThroughInsertsAndErases) {
    std::vector<Uuid> ids(5000);
    for (Uuid& id : ids) {
        id = Uuid::random();
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, ids.size() - 1);
    Selection selection;
    std::unordered_set<Uuid> expected;
    for (int step = 0; step < 40'000; ++step) {
        const Uuid& id = ids[pick(random)];
        if (step % 3 == 0) {
            EXPECT_EQ(selection.erase(id), expected.erase(id) == 1);
        } else {
            EXPECT_EQ(selection.insert(id), expected.insert(id).second);
        }
    }
    ASSERT_EQ(selection.size(), expected.size());
    for (const Uuid& id : ids) {
        ASSERT_EQ(selection.contains(id), expected.contains(id));
    }
    std::unordered_set<Uuid> iterated(selection.begin(), selection.end());
    EXPECT_EQ(iterated, expected);
    EXPECT_EQ(Selection(expected.begin(), expected.end()), selection);
}

TEST(Selection, HoldsTheAllZeroIdLikeAnyOther) {
    Selection selection{Uuid{}, Uuid::random()};
    EXPECT_TRUE(selection.contains(Uuid{}));
    EXPECT_EQ(std::distance(selection.begin(), selection.end()), 2);
    EXPECT_NE(selection, Selection{Uuid::random()});
    EXPECT_TRUE(selection.erase(Uuid{}));
    EXPECT_FALSE(selection.contains(Uuid{}));
    EXPECT_EQ(selection.size(), 1u);
}

// Built on two threads, each filling half the table: ids given twice and more ids than announced crowd
// the halves, so that searches run past a half's end and the table must grow; every id still counts once.
TEST(Selection, AssignHoldsEachIdGivenOnceWhateverTheCountAnnounced) {
    std::vector<Uuid> ids(120'000);
    for (Uuid& id : ids) {
        id = Uuid::random();
    }
    ids[5] = Uuid{};
    for (const std::size_t announced : {ids.size(), std::size_t{40'000}}) {
        Selection selection{Uuid::random()};
        selection.assign(announced, [&](Selection::Filler& fill) {
            for (const Uuid& id : ids) {
                fill(id);
            }
            fill(ids[7]);
        });
        ASSERT_EQ(selection.size(), ids.size());
        EXPECT_EQ(std::unordered_set<Uuid>(selection.begin(), selection.end()),
                  std::unordered_set<Uuid>(ids.begin(), ids.end()));
        for (const Uuid& id : ids) {
            ASSERT_TRUE(selection.contains(id));
        }
        EXPECT_FALSE(selection.contains(Uuid::random()));
        EXPECT_TRUE(selection.erase(ids[9]));
        EXPECT_FALSE(selection.contains(ids[9]));
    }
}

}  // namespace
}  // namespace vellumark
