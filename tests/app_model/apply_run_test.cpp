#include "app_model/apply_run.h"

#include "app_model/app_model.h"
#include "notification_log.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::FakeFileAccess;
using testing::NotificationLog;
using testing::ScriptedOpenPanel;

Date at(double seconds) {
    return Date::fromSecondsSince1970(seconds);
}

// A plan as the planner makes it on a volume without limits: a present date that differs is written.
PlannedChange plannedFor(const FileItem& item, std::optional<Date> creation,
                         std::optional<Date> modification) {
    const auto fate = [](const std::optional<Date>& current, const std::optional<Date>& planned) {
        return planned && !datesMatch(current, planned) ? DateFate::changes : DateFate::unchanged;
    };
    return PlannedChange(item, {creation, modification, fate(item.creationDate, creation),
                                fate(item.modificationDate, modification)});
}

struct WriteCase {
    const char* name;
    std::optional<Date> creation;
    std::optional<Date> modification;
    std::optional<Date> newCreation;
    std::optional<Date> newModification;
    // The dictionary written, or nullopt when the file is not touched.
    std::optional<DateAttributes> expected;
};

TEST(WriteChangeTest, WritesOnlyPresentDatesThatDifferToTheWholeSecond) {
    const WriteCase cases[] = {
        {"both differ", at(100), at(200), at(300), at(400), DateAttributes{at(300), at(400)}},
        {"only modification differs", at(100), at(200), at(100.7), at(400),
         DateAttributes{std::nullopt, at(400)}},
        {"only creation differs", at(100), at(200), at(50), at(200.3), DateAttributes{at(50), std::nullopt}},
        {"0.4 s later in the same second", at(100.2), at(200.5), at(100.6), at(200.9), std::nullopt},
        {"new dates absent", at(100), at(200), std::nullopt, std::nullopt, std::nullopt},
        {"creation absent, modification same", at(100), at(200), std::nullopt, at(200), std::nullopt},
        {"current absent, new present", std::nullopt, std::nullopt, at(5), std::nullopt,
         DateAttributes{at(5), std::nullopt}},
    };
    for (const WriteCase& c : cases) {
        FakeFileAccess files;
        files.addFile("/d/file");
        const FileItem item(std::filesystem::path("/d/file"), c.creation, c.modification);
        const PlannedChange change = plannedFor(item, c.newCreation, c.newModification);

        const std::optional<FileDateError> error = writeChange(files, change);
        EXPECT_FALSE(error) << c.name << ": " << error->description();

        if (!c.expected) {
            EXPECT_TRUE(files.writes.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(files.writes.size(), 1u) << c.name;
        EXPECT_EQ(files.writes[0].path, "/d/file") << c.name;
        EXPECT_EQ(files.writes[0].dates.creationDate, c.expected->creationDate) << c.name;
        EXPECT_EQ(files.writes[0].dates.modificationDate, c.expected->modificationDate) << c.name;
    }
}

TEST(WriteChangeTest, FailureCarriesTheUrlAndTheReason) {
    FakeFileAccess files;
    files.failWriting("/d/notes.txt", "the item vanished");
    const PlannedChange change =
        plannedFor(FileItem(std::filesystem::path("/d/notes.txt"), at(1), at(2)), at(10), at(20));

    const std::optional<FileDateError> error = writeChange(files, change);

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->url, "/d/notes.txt");
    EXPECT_EQ(error->description(), "Could not change dates for \u201cnotes.txt\u201d: the item vanished");
}

class ApplyChangesTest : public ::testing::Test {
protected:
    ApplyChangesTest() : model_(files_, panel_, [] { return at(1'700'000'000); }) {}

    // Lists the files, in order, each with creation 1000 s and modification 2000 s.
    void list(std::initializer_list<const char*> paths) {
        std::vector<std::filesystem::path> urls;
        for (const char* path : paths) {
            files_.addFile(path, DateAttributes{at(1000), at(2000)});
            urls.emplace_back(path);
        }
        model_.addURLs(urls);
    }

    void setModificationTo(Date date) {
        model_.editConfig([date](ActionConfig& config) {
            config.kind = DateActionKind::setSpecific;
            config.fields = DateFieldSelection::modification;
            config.specificDate = date;
        });
    }

    FakeFileAccess files_;
    ScriptedOpenPanel panel_;
    AppModel model_;
};

TEST_F(ApplyChangesTest, ContinuesPastAFailedItemAndReportsItInListOrder) {
    list({"/d/a.txt", "/d/b.txt", "/d/c.txt"});
    files_.failWriting("/d/b.txt", "not the owner");
    setModificationTo(at(5000));

    model_.applyChanges();

    ASSERT_TRUE(model_.lastResult().has_value());
    EXPECT_EQ(model_.lastResult()->succeeded, 2);
    EXPECT_EQ(model_.lastResult()->failed, 1);
    EXPECT_EQ(model_.lastResult()->errors,
              std::vector<std::string>{"Could not change dates for \u201cb.txt\u201d: not the owner"});
    ASSERT_EQ(files_.writes.size(), 3u);
    EXPECT_EQ(files_.writes[2].path, "/d/c.txt");
    // The refresh shows what the files have now: a and c written, b not.
    EXPECT_EQ(model_.items()[0].modificationDate, at(5000));
    EXPECT_EQ(model_.items()[1].modificationDate, at(2000));
    EXPECT_EQ(model_.items()[2].modificationDate, at(5000));
    EXPECT_FALSE(model_.isProcessing());
}

TEST_F(ApplyChangesTest, OnlyTheModificationDateIsWrittenWhenOnlyItDiffers) {
    list({"/d/a.txt"});
    setModificationTo(at(5000));

    model_.applyChanges();

    ASSERT_EQ(files_.writes.size(), 1u);
    EXPECT_EQ(files_.writes[0].dates.creationDate, std::nullopt);
    EXPECT_EQ(files_.writes[0].dates.modificationDate, at(5000));
}

TEST_F(ApplyChangesTest, UnchangedItemsCostNoFileAccessAndCountNowhere) {
    list({"/d/a.txt", "/d/b.txt"});
    setModificationTo(at(2000.9));  // the same whole second as the current modification date
    const int accessesBefore = files_.fileAccesses();

    model_.applyChanges();

    EXPECT_TRUE(files_.writes.empty());
    EXPECT_EQ(model_.lastResult()->succeeded, 0);
    EXPECT_EQ(model_.lastResult()->failed, 0);
    // Only the refresh: one existence test and one attribute read per item.
    EXPECT_EQ(files_.fileAccesses() - accessesBefore, 4);
}

// A long list is counted and looked up in parts: each item still counts once, and the file systems that
// keep creation dates come in the order they first appear.
TEST_F(ApplyChangesTest, ALongListIsCountedAndRemovedFromItemByItem) {
    files_.mount("/e", testing::ext4Volume());
    files_.mount("/f", testing::fatVolume());
    constexpr int kItems = 40'000;
    std::vector<std::filesystem::path> urls;
    for (int i = 0; i < kItems; ++i) {
        urls.emplace_back((i < 30'000 ? "/e/" : "/f/") + std::to_string(i));
        files_.addFile(urls.back(), DateAttributes{at(1'000'000'000), at(1'000'000'000)});
    }
    model_.addURLs(urls);
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDays = 1;
    });
    EXPECT_EQ(model_.changeCount(), std::size_t{kItems});
    EXPECT_EQ(model_.planSummary().keptCreation,
              (std::vector<KeptCreation>{{"ext4", 30'000}, {"FAT", 10'000}}));

    // Removing every other item from it takes exactly those, wherever the parts meet, and the count follows.
    std::vector<Uuid> everyOther;
    for (std::size_t i = 0; i < kItems; i += 2) {
        everyOther.push_back(model_.items()[i].id());
    }
    model_.changeSelection(everyOther, {});
    model_.removeSelected();
    const std::size_t left = kItems - everyOther.size();
    ASSERT_EQ(model_.items().size(), left);
    for (std::size_t j = 0; j < left; ++j) {
        ASSERT_EQ(model_.items()[j].url().filename(), std::to_string(2 * j + 1)) << j;
    }
    EXPECT_EQ(model_.changeCount(), left);
}

// The items a run read again are counted again where they stood: the file systems keep their order.
TEST_F(ApplyChangesTest, AfterARunTheFileSystemsThatKeepCreationDatesKeepTheirOrder) {
    files_.mount("/e", testing::ext4Volume());
    files_.mount("/f", testing::fatVolume());
    list({"/e/a", "/f/b", "/f/c"});
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDays = 1;
    });
    const std::vector<KeptCreation> kept{{"ext4", 1}, {"FAT", 2}};
    EXPECT_EQ(model_.planSummary().keptCreation, kept);
    model_.applyChanges();
    EXPECT_EQ(model_.planSummary().keptCreation, kept);
}

// On a volume that keeps creation dates and stores dates only until 2038, a run writes what the
// preview promised: modification dates, never a creation date, never a date it cannot store. Failed
// items stay marked, by their new ids, until the settings change.
TEST_F(ApplyChangesTest, WritesOnlyWhatTheVolumeCanKeepAndMarksWhatFailed) {
    files_.mount("/d", testing::ext4Volume());
    list({"/d/a.txt", "/d/b.txt", "/d/c.txt"});
    files_.failWriting("/d/b.txt", "the volume is read-only");
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDays = 1;
    });
    EXPECT_EQ(model_.planSummary().keptCreation, (std::vector<KeptCreation>{{"ext4", 3}}));

    model_.applyChanges();
    ASSERT_EQ(files_.writes.size(), 3u);
    for (const auto& write : files_.writes) {
        EXPECT_FALSE(write.dates.creationDate);
        EXPECT_EQ(write.dates.modificationDate, at(2000 + 86'400));
    }
    EXPECT_EQ(model_.lastResult()->succeeded, 2);
    EXPECT_EQ(model_.lastResult()->keptCreation, (std::vector<KeptCreation>{{"ext4", 3}}));
    EXPECT_EQ(model_.failureMarks().size(), 1u);
    EXPECT_EQ(model_.failureMarks().at(model_.items()[1].id()), "the volume is read-only");

    // A date past 2038 is refused before the disk: reported as failed with the range, never written.
    model_.editConfig([](ActionConfig& config) {
        config.shiftDays = 30'000;
        config.correctInconsistencies = false;
    });
    EXPECT_TRUE(model_.failureMarks().empty());
    EXPECT_EQ(model_.changeCount(), 0u);
    files_.writes.clear();
    model_.applyChanges();
    EXPECT_TRUE(files_.writes.empty());
    EXPECT_EQ(model_.lastResult()->failed, 3);
    EXPECT_EQ(
        model_.lastResult()->errors[0],
        "Could not change dates for \u201ca.txt\u201d: the date 2052-02-21 00:33:20 UTC lies outside what "
        "ext4 can store (1901-12-13 to 2038-01-19)");
}

// Nothing to write is no change: it is not counted, not written and not reported as changed.
TEST_F(ApplyChangesTest, AnAbsentNewDateIsNoChange) {
    list({"/d/a.txt"});
    // Lifting with no source chosen has no dates to give.
    model_.editConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    ASSERT_EQ(model_.changeCount(), 0u);

    model_.applyChanges();

    EXPECT_TRUE(files_.writes.empty());
    EXPECT_EQ(model_.lastResult()->succeeded, 0);
    EXPECT_EQ(model_.lastResult()->failed, 0);
    EXPECT_EQ(model_.items()[0].creationDate, at(1000));
    EXPECT_EQ(model_.items()[0].modificationDate, at(2000));
}

TEST_F(ApplyChangesTest, ARunKeepsItsItemsInOrderAndEmptiesTheSelection) {
    list({"/d/a.txt", "/d/b.txt"});
    setModificationTo(at(2000));  // nothing to write
    const Uuid firstId = model_.items()[0].id();
    const Uuid secondId = model_.items()[1].id();
    model_.setSelection({firstId, secondId});

    model_.applyChanges();

    ASSERT_EQ(model_.items().size(), 2u);
    EXPECT_EQ(model_.items()[0].id(), firstId);
    EXPECT_EQ(model_.items()[1].id(), secondId);
    EXPECT_EQ(model_.items()[0].path(), "/d/a.txt");
    EXPECT_TRUE(model_.selection().empty());
}

TEST_F(ApplyChangesTest, NotifiesFiveTimesInOrder) {
    list({"/d/a.txt"});
    setModificationTo(at(5000));
    model_.setSelection({model_.items()[0].id()});
    NotificationLog log(model_);

    model_.applyChanges();

    EXPECT_EQ(log.writtenProperties(),
              (std::vector<std::string>{"isProcessing", "items", "selection", "lastResult", "isProcessing"}));
}

TEST_F(ApplyChangesTest, AnEmptyListStillWritesItemsAndSelection) {
    NotificationLog log(model_);

    model_.applyChanges();

    EXPECT_EQ(log.count(), 5u);
    ASSERT_TRUE(model_.lastResult().has_value());
    EXPECT_EQ(model_.lastResult()->succeeded, 0);
    EXPECT_EQ(model_.lastResult()->failed, 0);
    EXPECT_TRUE(model_.lastResult()->errors.empty());
}

TEST_F(ApplyChangesTest, NestedRunFromAnObserverDoesNothing) {
    list({"/d/a.txt"});
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftHours = 1;
    });
    int notifications = 0;
    auto nested = model_.objectWillChange().subscribe([&] {
        ++notifications;
        model_.applyChanges();
    });

    model_.applyChanges();

    // Even from the first notification, before isProcessing reads true, the shift is applied once.
    EXPECT_EQ(notifications, 5);
    EXPECT_EQ(files_.writes.size(), 1u);
    EXPECT_EQ(model_.items()[0].modificationDate, at(2000 + 3600));
    EXPECT_FALSE(model_.isProcessing());
}

TEST_F(ApplyChangesTest, AVanishedItemStaysListedWithAbsentDatesAfterARun) {
    list({"/d/a.txt"});
    model_.addURLs(std::vector<std::filesystem::path>{"/d/gone.txt"});
    setModificationTo(at(5000));

    model_.applyChanges();

    EXPECT_EQ(model_.lastResult()->succeeded, 1);
    EXPECT_EQ(model_.lastResult()->failed, 1);
    ASSERT_EQ(model_.items().size(), 2u);
    EXPECT_EQ(model_.items()[1].path(), "/d/gone.txt");
    EXPECT_EQ(model_.items()[1].modificationDate, std::nullopt);
}

}  // namespace
}  // namespace vellumark
