#include "app_model/app_model.h"

#include "linux_fs/linux_file_access.h"
#include "notification_log.h"
#include "support/scripted_open_panel.h"
#include "temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::NotificationLog;
using testing::ScriptedOpenPanel;
using ::testing::StartsWith;
using testing::TempFolder;
using Names = std::vector<std::string>;
using Paths = std::vector<std::filesystem::path>;

const Date kCreatedAt = Date::fromParts(1'700'000'000, 42);

class AppModelTest : public ::testing::Test {
protected:
    AppModelTest() : model_(files_, panel_, [] { return kCreatedAt; }) {}

    // Lists files with these names, in order, and returns their ids.
    std::vector<Uuid> list(std::initializer_list<const char*> names) {
        Paths urls;
        for (const char* name : names) {
            urls.push_back(temp_.file(name));
        }
        model_.addURLs(urls);
        std::vector<Uuid> ids;
        for (const FileItem& item : model_.items()) {
            ids.push_back(item.id());
        }
        return ids;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const FileItem& item : model_.items()) {
            result.push_back(item.url().filename().native());
        }
        return result;
    }

    TempFolder temp_;
    LinuxFileAccess files_;
    ScriptedOpenPanel panel_;
    AppModel model_;
};

TEST_F(AppModelTest, StartsEmptyWithDefaultsAndTheCreationMomentAsSpecificDate) {
    EXPECT_TRUE(model_.items().empty());
    EXPECT_TRUE(model_.selection().empty());
    EXPECT_EQ(model_.config().kind, DateActionKind::setSpecific);
    EXPECT_EQ(model_.config().fields, DateFieldSelection::both);
    EXPECT_EQ(model_.config().specificDate, kCreatedAt);
    EXPECT_TRUE(model_.config().correctInconsistencies);
    EXPECT_FALSE(model_.config().includeSubfolderContents);
    EXPECT_FALSE(model_.config().liftSourceURL.has_value());
    EXPECT_FALSE(model_.isProcessing());
    EXPECT_FALSE(model_.lastResult().has_value());
}

// A plan with a date corrected to the present moves on with the clock, a second at a time, though the
// plan otherwise keeps its instant.
TEST_F(AppModelTest, APlanCorrectedToThePresentMovesOnWithTheClock) {
    const std::filesystem::path file = temp_.file("a.txt");
    Date now = Date::now().addingSeconds(60);  // after the file's birth
    TempFolder::setModification(file, now.addingSeconds(-1'800));
    AppModel model(files_, panel_, [&] { return now; });
    model.addURLs(Paths{file});
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftHours = 1;
    });
    const auto planned = [&] {
        model.planSummary();
        return planDates(model.items()[0], model.config(), model.planInstant()).newModification;
    };
    EXPECT_EQ(planned(), now);
    now = now.addingSeconds(2);
    EXPECT_EQ(planned(), now);
}

// As the clock moves on, only the plans that follow it are made again: the count stays that of every
// item planned afresh, through appends, removals and dates read again. A date a few seconds ahead is
// corrected to the present, and changes, except in the second the present reaches it.
TEST_F(AppModelTest, TheCountFollowsTheClockThroughAppendsRemovalsAndDatesReadAgain) {
    Date now = Date::now().addingSeconds(60);
    const Date t0 = now;
    AppModel model(files_, panel_, [&] { return now; });
    const auto add = [&](const char* name, Date modification) {
        const std::filesystem::path file = temp_.file(name);
        TempFolder::setModification(file, modification);
        model.addURLs(Paths{file});
        return file;
    };
    add("s1", t0.addingSeconds(2));
    std::vector<std::filesystem::path> old;
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        old.push_back(add(name, Date::fromParts(978'307'200)));
    }
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftHours = 1;
    });
    const auto expectCount = [&](int seconds, std::size_t changing) {
        now = t0.addingSeconds(seconds);
        EXPECT_EQ(model.changeCount(), changing) << "at t0 + " << seconds << " s";
        EXPECT_EQ(model.planInstant(), now);
    };
    expectCount(0, 7);
    add("s2", t0.addingSeconds(2));
    expectCount(0, 8);
    expectCount(1, 8);
    expectCount(2, 6);  // s1 and s2 reached
    TempFolder::setModification(old[1], t0.addingSeconds(3));
    model.refreshItems();
    expectCount(3, 7);  // b reached
    model.setSelection({model.items()[1].id()});
    model.removeSelected();
    expectCount(3, 6);
    expectCount(4, 7);
}

TEST_F(AppModelTest, AddingNotifiesOncePerBatchBeforeItsItemsAreAppended) {
    list({"a.txt"});
    NotificationLog log(model_);

    model_.addURLs(Paths{temp_.file("b.txt"), temp_.path() / "a.txt", temp_.file("c.txt")});

    EXPECT_EQ(log.writtenProperties(), (Names{"items"}));
    EXPECT_THAT(names(), ElementsAre("a.txt", "b.txt", "c.txt"));
}

TEST_F(AppModelTest, AddingNothingNewSendsNothing) {
    const auto file = temp_.file("a.txt");
    model_.addURLs(Paths{file});
    NotificationLog log(model_);

    model_.addURLs(Paths{file, file});
    model_.addURLs(Paths{});

    EXPECT_EQ(log.count(), 0u);
}

TEST_F(AppModelTest, AddingLeavesSelectionAndConfigurationAlone) {
    const std::vector<Uuid> ids = list({"a.txt"});
    model_.setSelection({ids[0]});

    list({"b.txt"});

    EXPECT_EQ(model_.selection(), Selection{ids[0]});
    EXPECT_EQ(model_.config().specificDate, kCreatedAt);
}

TEST_F(AppModelTest, RemoveSelectedKeepsTheOthersInOrder) {
    const std::vector<Uuid> ids = list({"A", "B", "C", "D"});
    model_.setSelection({ids[1], ids[3]});
    NotificationLog log(model_);

    model_.removeSelected();

    EXPECT_THAT(names(), ElementsAre("A", "C"));
    EXPECT_TRUE(model_.selection().empty());
    EXPECT_EQ(log.writtenProperties(), (Names{"items", "selection"}));
}

TEST_F(AppModelTest, RemoveSelectedIgnoresIdsThatMatchNoItem) {
    const std::vector<Uuid> ids = list({"A", "B", "C"});
    model_.setSelection({ids[0]});
    model_.removeSelected();
    model_.setSelection({ids[0], ids[2], Uuid::random()});

    model_.removeSelected();

    EXPECT_THAT(names(), ElementsAre("B"));
    EXPECT_TRUE(model_.selection().empty());
}

TEST_F(AppModelTest, RemoveSelectedWithNothingSelectedStillWritesBoth) {
    list({"A", "B"});
    NotificationLog log(model_);

    model_.removeSelected();

    EXPECT_EQ(log.count(), 2u);
    EXPECT_THAT(names(), ElementsAre("A", "B"));
}

TEST_F(AppModelTest, RemoveAllEmptiesListAndSelectionWithTwoNotifications) {
    const std::vector<Uuid> ids = list({"A", "B"});
    model_.setSelection({ids[0]});
    NotificationLog log(model_);

    model_.removeAll();

    EXPECT_TRUE(model_.items().empty());
    EXPECT_EQ(log.writtenProperties(), (Names{"items", "selection"}));

    log.clear();
    model_.removeAll();
    EXPECT_EQ(log.count(), 2u);
}

TEST_F(AppModelTest, SetLiftSourceStoresTheURLAsGivenAndASnapshotOfItsDates) {
    temp_.folder("sub");
    const auto source = temp_.file("source.txt", Date::fromParts(1'111'111'111, 7));
    const std::filesystem::path given = temp_.path() / "sub/../source.txt";
    NotificationLog log(model_);

    model_.setLiftSource(given);

    EXPECT_EQ(log.writtenProperties(), (Names{"liftSourceURL", "liftCreation", "liftModification"}));
    EXPECT_EQ(model_.config().liftSourceURL, given);
    EXPECT_EQ(model_.config().liftModification, Date::fromParts(1'111'111'111, 7));
    EXPECT_EQ(model_.config().kind, DateActionKind::setSpecific);

    TempFolder::setModification(source, Date::fromParts(5));
    EXPECT_EQ(model_.config().liftModification, Date::fromParts(1'111'111'111, 7));

    log.clear();
    model_.setLiftSource(given);
    EXPECT_EQ(log.count(), 3u);
}

TEST_F(AppModelTest, SetLiftSourceOfAVanishedFileStoresTheURLAndAbsentDates) {
    const std::filesystem::path gone = temp_.path() / "gone.txt";

    model_.setLiftSource(gone);

    EXPECT_EQ(model_.config().liftSourceURL, gone);
    EXPECT_EQ(model_.config().liftCreation, std::nullopt);
    EXPECT_EQ(model_.config().liftModification, std::nullopt);
}

TEST_F(AppModelTest, EveryPropertyWriteNotifiesOnceEvenWhenTheValueIsEqual) {
    NotificationLog log(model_);

    model_.setSelection({});
    model_.setConfig(model_.config());
    model_.editConfig([](ActionConfig&) {});
    model_.setLastResult(std::nullopt);

    EXPECT_EQ(log.count(), 4u);
}

TEST_F(AppModelTest, ShiftAmountsAreHeldToTheSteppersRangesWhenWritten) {
    constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
    const auto amounts = [this] {
        const ActionConfig& config = model_.config();
        return std::vector<std::int64_t>{config.shiftDays, config.shiftHours, config.shiftMinutes,
                                         config.shiftSeconds};
    };
    ActionConfig config = model_.config();
    config.shiftDays = kMostShiftDays;
    config.shiftHours = kMostShiftHours + 1;
    config.shiftMinutes = kMost;
    config.shiftSeconds = -1;
    model_.setConfig(config);
    EXPECT_THAT(amounts(), ElementsAre(kMostShiftDays, kMostShiftHours, kMostShiftMinutes, 0));

    model_.editConfig([](ActionConfig& edited) {
        edited.shiftDays = kLeast;
        edited.shiftHours = 0;
        edited.shiftSeconds = kMostShiftSeconds;
    });
    EXPECT_THAT(amounts(), ElementsAre(0, 0, kMostShiftMinutes, kMostShiftSeconds));
}

TEST_F(AppModelTest, ApplyingWritesRealFilesAndReportsTheOneThatVanished) {
    list({"a.txt", "b.txt", "c.txt"});
    std::filesystem::remove(temp_.path() / "b.txt");
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftDirection = ShiftDirection::subtract;
        config.shiftDays = 1;
        config.correctInconsistencies = false;  // the files were born today, after their modification dates
    });
    const Date shifted = Date::fromParts(1'500'000'000 - 86'400);

    model_.applyChanges();

    ASSERT_TRUE(model_.lastResult().has_value());
    EXPECT_EQ(model_.lastResult()->succeeded, 2);
    EXPECT_EQ(model_.lastResult()->failed, 1);
    EXPECT_THAT(model_.lastResult()->errors,
                ElementsAre(StartsWith("Could not change dates for \u201cb.txt\u201d: ")));
    EXPECT_EQ(TempFolder::modification(temp_.path() / "a.txt"), shifted);
    EXPECT_EQ(TempFolder::modification(temp_.path() / "c.txt"), shifted);
    EXPECT_THAT(names(), ElementsAre("a.txt", "b.txt", "c.txt"));
    EXPECT_EQ(model_.items()[0].modificationDate, shifted);
    EXPECT_EQ(model_.items()[1].modificationDate, std::nullopt);
}

TEST_F(AppModelTest, ApplyingWritesTheChosenDateExactlyAndLeavesTheOtherAlone) {
    const auto file = temp_.file("a.txt", Date::fromParts(1'500'000'000, 123'456'789));
    model_.addURLs(Paths{file});
    const std::optional<Date> creation = model_.items()[0].creationDate;
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::modification;
        config.specificDate = Date::fromParts(1'400'000'000, 5);
        config.correctInconsistencies = false;
    });

    model_.applyChanges();

    EXPECT_EQ(model_.lastResult()->failed, 0) << model_.lastResult()->errors.front();
    EXPECT_EQ(TempFolder::modification(file), Date::fromParts(1'400'000'000, 5));
    EXPECT_EQ(model_.items()[0].modificationDate, Date::fromParts(1'400'000'000, 5));
    EXPECT_EQ(model_.items()[0].creationDate, creation);
}

}  // namespace
}  // namespace vellumark
