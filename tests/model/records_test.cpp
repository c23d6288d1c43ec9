#include "model/action_config.h"
#include "model/file_item.h"
#include "model/planned_change.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace vellumark {
namespace {

TEST(ActionConfig, StartsFromTheDefaults) {
    const Date created = Date::fromParts(1'760'000'000, 42);
    const ActionConfig config(created);
    EXPECT_EQ(config.kind, DateActionKind::setSpecific);
    EXPECT_EQ(config.fields, DateFieldSelection::both);
    EXPECT_EQ(config.specificDate, created);
    EXPECT_EQ(config.shiftDirection, ShiftDirection::add);
    EXPECT_EQ(config.shiftDays, 0);
    EXPECT_EQ(config.shiftHours, 0);
    EXPECT_EQ(config.shiftMinutes, 0);
    EXPECT_EQ(config.shiftSeconds, 0);
    EXPECT_FALSE(config.liftSourceURL);
    EXPECT_FALSE(config.liftCreation);
    EXPECT_FALSE(config.liftModification);
    EXPECT_TRUE(config.correctInconsistencies);
    EXPECT_FALSE(config.includeSubfolderContents);
}

TEST(FileItem, IsEqualAndHashedByIdAlone) {
    const FileItem item("/tmp/a.txt", Date::fromParts(1), Date::fromParts(2));
    FileItem sameRecord = item;
    sameRecord.creationDate.reset();
    sameRecord.isDirectory = true;
    EXPECT_EQ(item, sameRecord);
    EXPECT_EQ(std::hash<FileItem>{}(item), std::hash<FileItem>{}(sameRecord));

    const FileItem samePath("/tmp/a.txt", Date::fromParts(1), Date::fromParts(2));
    EXPECT_NE(item, samePath);
    const std::unordered_set<FileItem> set{item, sameRecord, samePath};
    EXPECT_EQ(set.size(), 2u);
}

TEST(FileItem, GetsAFreshVersion4IdEveryTime) {
    std::unordered_set<Uuid> ids;
    for (int i = 0; i < 1000; ++i) {
        const FileItem item("/same/path");
        EXPECT_EQ(item.id().version(), 4);
        EXPECT_EQ(item.id().bytes()[8] & 0xC0, 0x80);
        ids.insert(item.id());
    }
    EXPECT_EQ(ids.size(), 1000u);
    const std::string text = Uuid::random().toString();
    EXPECT_EQ(text.size(), 36u);
    EXPECT_EQ(text[14], '4');
}

TEST(PlannedChange, IsIdentifiedByItsItem) {
    const FileItem item("/tmp/b");
    const PlannedChange change(item, PlannedDates{std::nullopt, Date::fromParts(5)});
    EXPECT_EQ(change.id(), item.id());
}

}  // namespace
}  // namespace vellumark
