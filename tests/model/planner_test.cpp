#include "model/planner.h"

#include "support/volumes.h"

#include <gtest/gtest.h>

#include <limits>
#include <span>
#include <string>
#include <vector>

namespace vellumark {
namespace {

constexpr std::int64_t kDay = 86'400;
constexpr std::int64_t kHour = 3'600;

const Date kCreation = Date::fromParts(1'600'000'000, 250'000'000);
const Date kModification = kCreation.addingSeconds(-9 * kDay);  // as on a copied file
const Date kNow = kCreation.addingSeconds(30 * kDay);

FileItem copiedFile() {
    return FileItem("/tmp/copied.txt", kCreation, kModification);
}

ActionConfig configFor(DateActionKind kind, DateFieldSelection fields, bool correct) {
    ActionConfig config(kNow);
    config.kind = kind;
    config.fields = fields;
    config.correctInconsistencies = correct;
    return config;
}

struct WorkedExample {
    std::string name;
    ActionConfig config;
    Date newCreation;
    Date newModification;
};

std::vector<WorkedExample> workedExamples() {
    std::vector<WorkedExample> rows;
    auto add = [&](std::string name, ActionConfig config, Date creation, Date modification) {
        rows.push_back({std::move(name), std::move(config), creation, modification});
    };
    using K = DateActionKind;
    using F = DateFieldSelection;

    ActionConfig specific = configFor(K::setSpecific, F::creation, true);
    specific.specificDate = kCreation.addingSeconds(10 * kDay);
    add("specificCreationOnlyRaisesModification", specific, specific.specificDate, specific.specificDate);
    specific.correctInconsistencies = false;
    add("specificCreationOnlyUncorrected", specific, specific.specificDate, kModification);

    ActionConfig future = configFor(K::setSpecific, F::both, true);
    future.specificDate = kNow.addingSeconds(kDay);
    add("specificFutureClampedToNow", future, kNow, kNow);

    ActionConfig shift = configFor(K::shift, F::both, false);
    shift.shiftDays = 1;
    shift.shiftHours = 2;
    add("shiftUncorrected", shift, kCreation.addingSeconds(26 * kHour),
        kModification.addingSeconds(26 * kHour));
    shift.correctInconsistencies = true;
    add("shiftRaisesModification", shift, kCreation.addingSeconds(26 * kHour),
        kCreation.addingSeconds(26 * kHour));

    add("zeroShiftStillCorrects", configFor(K::shift, F::both, true), kCreation, kCreation);
    add("copyCreationToModification", configFor(K::copyCreationToModification, F::modification, true),
        kCreation, kCreation);
    add("copyModificationToCreation", configFor(K::copyModificationToCreation, F::creation, true),
        kModification, kModification);
    add("removeModification", configFor(K::removeDates, F::modification, true), kCreation,
        removedDateMarker());
    return rows;
}

class PlannerWorkedExample : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(PlannerWorkedExample, GivesTheExpectedNewDates) {
    const WorkedExample& row = GetParam();
    const PlannedChange change = planChange(copiedFile(), row.config, kNow);
    EXPECT_EQ(change.newCreation, row.newCreation);
    EXPECT_EQ(change.newModification, row.newModification);
}

INSTANTIATE_TEST_SUITE_P(CopiedFile, PlannerWorkedExample, ::testing::ValuesIn(workedExamples()),
                         [](const auto& row) { return row.param.name; });

TEST(Planner, CorrectionClampsBothDatesBeforeRaisingModification) {
    // Creation far in the future and modification slightly in the future: after clamping both to now,
    // modification must not be raised past now to the unclamped creation.
    PlannedDates dates{kNow.addingSeconds(10 * kDay), kNow.addingSeconds(kHour)};
    autoCorrect(dates, kNow, VolumeCapabilities::unrestricted());
    EXPECT_EQ(dates.newCreation, kNow);
    EXPECT_EQ(dates.newModification, kNow);

    // Creation is never lowered to meet an earlier modification: modification is raised instead.
    PlannedDates reversed{kCreation, kModification};
    autoCorrect(reversed, kNow, VolumeCapabilities::unrestricted());
    EXPECT_EQ(reversed.newCreation, kCreation);
    EXPECT_EQ(reversed.newModification, kCreation);

    PlannedDates absentCreation{std::nullopt, kNow.addingSeconds(5)};
    autoCorrect(absentCreation, kNow, VolumeCapabilities::unrestricted());
    EXPECT_FALSE(absentCreation.newCreation);
    EXPECT_EQ(absentCreation.newModification, kNow);
}

TEST(Planner, CorrectionTouchesFieldsTheActionDidNotSelect) {
    FileItem item("/tmp/future", kCreation, kNow.addingSeconds(kDay));
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::creation, true);
    config.specificDate = kCreation;
    EXPECT_EQ(planChange(item, config, kNow).newModification, kNow);

    config.fields = DateFieldSelection::modification;
    config.specificDate = kCreation.addingSeconds(-kDay);
    EXPECT_EQ(planChange(item, config, kNow).newModification, kCreation);
    config.correctInconsistencies = false;
    EXPECT_EQ(planChange(item, config, kNow).newModification, kCreation.addingSeconds(-kDay));
}

TEST(Planner, RemoveDatesNeverCorrects) {
    FileItem item("/tmp/future", kCreation, kNow.addingSeconds(kDay));
    const ActionConfig config = configFor(DateActionKind::removeDates, DateFieldSelection::creation, true);
    const PlannedChange change = planChange(item, config, kNow);
    EXPECT_EQ(change.newCreation, removedDateMarker());
    EXPECT_EQ(change.newModification, kNow.addingSeconds(kDay));
    EXPECT_EQ(removedDateMarker(), Date::fromParts(-2'082'844'800));
}

// Only a date corrected to the present makes a plan that differs a moment later; one at the present
// itself, or one left alone, does not.
TEST(Planner, APlanFollowsTheClockOnlyWhereADateIsCorrectedToThePresent) {
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::modification, true);
    const auto follows = [&](const FileItem& item, Date specific) {
        config.specificDate = specific;
        return planDates(item, config, kNow).followsClock;
    };
    EXPECT_FALSE(follows(copiedFile(), kNow));
    EXPECT_TRUE(follows(copiedFile(), kNow.addingSeconds(1)));

    const FileItem future("/tmp/future", kCreation, kNow.addingSeconds(kDay));
    config.fields = DateFieldSelection::creation;
    EXPECT_TRUE(follows(future, kCreation));  // its modification date, though not chosen
    config.correctInconsistencies = false;
    EXPECT_FALSE(follows(future, kCreation));
    config = configFor(DateActionKind::removeDates, DateFieldSelection::creation, true);
    EXPECT_FALSE(planDates(future, config, kNow).followsClock);
}

// With no date to take (an unreadable source, no source chosen) there is nothing to write: the current
// date stays and the item is not counted.
TEST(Planner, AbsentSourceDatesLeaveTheCurrentDates) {
    const FileItem noCreation("/tmp/x", std::nullopt, kModification);
    const PlannedChange copy = planChange(
        noCreation, configFor(DateActionKind::copyCreationToModification, DateFieldSelection::both, true),
        kNow);
    EXPECT_EQ(copy.newModification, kModification);
    EXPECT_EQ(copy.modificationFate, DateFate::unchanged);
    EXPECT_FALSE(changesAnything(copy));

    const PlannedChange lift = planChange(
        copiedFile(), configFor(DateActionKind::liftFromFile, DateFieldSelection::both, false), kNow);
    EXPECT_EQ(lift.newCreation, kCreation);
    EXPECT_EQ(lift.newModification, kModification);
    EXPECT_FALSE(changesAnything(lift));

    ActionConfig liftCreation = configFor(DateActionKind::liftFromFile, DateFieldSelection::creation, false);
    liftCreation.liftCreation = kCreation.addingSeconds(-kDay);
    liftCreation.liftModification = kCreation;
    const PlannedChange lifted = planChange(copiedFile(), liftCreation, kNow);
    EXPECT_EQ(lifted.newCreation, kCreation.addingSeconds(-kDay));
    EXPECT_EQ(lifted.newModification, kModification);

    ActionConfig shift = configFor(DateActionKind::shift, DateFieldSelection::both, true);
    shift.shiftDirection = ShiftDirection::subtract;
    shift.shiftDays = 1;
    const PlannedChange shifted = planChange(noCreation, shift, kNow);
    EXPECT_FALSE(shifted.newCreation);
    EXPECT_EQ(shifted.creationFate, DateFate::unchanged);
    EXPECT_EQ(shifted.newModification, kModification.addingSeconds(-kDay));
}

// On a volume that keeps the creation date itself (the moment of the copy), the creation date is kept,
// and correcting never raises modification to it: that would replace the user's date with the copy's.
TEST(Planner, AVolumeThatKeepsCreationKeepsItAndNeverRaisesModificationToIt) {
    FileItem item = copiedFile();
    item.volume = testing::ext4Volume();
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::both, true);
    config.specificDate = kModification.addingSeconds(-365 * kDay);
    PlannedChange change = planChange(item, config, kNow);
    EXPECT_EQ(change.creationFate, DateFate::kept);
    EXPECT_EQ(change.newCreation, kCreation);
    EXPECT_EQ(change.modificationFate, DateFate::changes);
    EXPECT_EQ(change.newModification, Date::fromParts(config.specificDate.seconds()));

    ActionConfig earlier = configFor(DateActionKind::shift, DateFieldSelection::modification, true);
    earlier.shiftDirection = ShiftDirection::subtract;
    earlier.shiftDays = 1;
    change = planChange(item, earlier, kNow);
    EXPECT_EQ(change.newModification, Date::fromParts(kModification.addingSeconds(-kDay).seconds()));

    // Future dates are still clamped to now.
    config.specificDate = kNow.addingSeconds(kDay);
    EXPECT_EQ(planChange(item, config, kNow).newModification, Date::fromParts(kNow.seconds()));

    const std::vector<FileItem> items{item, copiedFile(), item};
    const PlanSummary summary = summarizePlan(items, config, [] { return kNow; });
    EXPECT_EQ(summary.changing, 3u);
    EXPECT_EQ(summary.keptCreation, (std::vector<KeptCreation>{{"ext4", 2}}));

    // A list summarized in parts adds up to its summary, file systems in order of first appearance.
    FileItem onFat = item;
    onFat.volume = testing::fatVolume();
    const std::vector<FileItem> list{copiedFile(), item, onFat, item, onFat};
    const auto clock = [] { return kNow; };
    PlanSummary parts = summarizePlan(std::span(list).first(2), config, clock);
    addToSummary(parts, summarizePlan(std::span(list).subspan(2), config, clock));
    EXPECT_EQ(parts.changing, 5u);
    EXPECT_EQ(parts.keptCreation, (std::vector<KeptCreation>{{"ext4", 2}, {"FAT", 2}}));
    EXPECT_EQ(parts.keptCreation, summarizePlan(list, config, clock).keptCreation);
    const ActionConfig creationOnly = configFor(DateActionKind::copyModificationToCreation, {}, true);
    EXPECT_EQ(changeCount(std::vector<FileItem>{item}, creationOnly, [] { return kNow; }), 0u);
}

// A date the volume cannot store is shown, never counted and never written; so is a shift past either
// end of the 64-bit range, which must not be clamped to that end and written.
TEST(Planner, DatesTheVolumeCannotStoreAreRefused) {
    FileItem item = copiedFile();
    item.volume = testing::ext4Volume();
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::modification, false);
    config.specificDate = Date::fromParts(4'102'444'800);  // 2100
    PlannedChange change = planChange(item, config, kNow);
    EXPECT_EQ(change.modificationFate, DateFate::notStorable);
    EXPECT_EQ(change.newModification, config.specificDate);
    EXPECT_FALSE(changesAnything(change));
    EXPECT_TRUE(refusesAnything(change.dates()));

    FileItem anywhere("/tmp/far", Date::latest().addingSeconds(-10), kModification);
    ActionConfig shift = configFor(DateActionKind::shift, DateFieldSelection::both, false);
    shift.shiftSeconds = 20;
    change = planChange(anywhere, shift, kNow);
    EXPECT_EQ(change.creationFate, DateFate::notStorable);
    EXPECT_EQ(change.modificationFate, DateFate::changes);
    const PlanSummary summary =
        summarizePlan(std::vector<FileItem>{anywhere, item}, shift, [] { return kNow; });
    EXPECT_EQ(summary.changing, 2u);
    EXPECT_EQ(summary.refused, 1u);
}

// Planned dates are those the volume keeps: FAT rounds down to two seconds, so a new date in the same
// two seconds is no change at all.
TEST(Planner, NewDatesAreRoundedToTheVolumeGranularity) {
    VolumeCapabilities fat;
    fat.fileSystem = "FAT";
    fat.canWriteCreation = false;
    fat.granularity = 2'000'000'000;
    FileItem item("/fat/a", std::nullopt, Date::fromParts(1'600'000'000));
    item.volume = VolumeCapabilities::shared(fat);
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::modification, false);
    config.specificDate = Date::fromParts(1'600'000'001, 700'000'000);
    EXPECT_EQ(planChange(item, config, kNow).newModification, Date::fromParts(1'600'000'000));
    EXPECT_FALSE(changesAnything(planChange(item, config, kNow)));
    config.specificDate = Date::fromParts(1'600'000'003);
    EXPECT_EQ(planChange(item, config, kNow).newModification, Date::fromParts(1'600'000'002));

    // Any granularity, down to the first date there is; and the kernel keeps no fraction in the first
    // and last second of a range.
    VolumeCapabilities odd;
    odd.granularity = 1'500'000'000;
    EXPECT_EQ(odd.stored(Date::fromParts(1, 400'000'000)), Date::fromParts(0));
    EXPECT_EQ(odd.stored(Date::fromParts(1, 600'000'000)), Date::fromParts(1, 500'000'000));
    EXPECT_EQ(odd.stored(Date::fromParts(-1)), Date::fromParts(-2, 500'000'000));
    odd.granularity = 3'000'000'000;
    EXPECT_EQ(odd.stored(Date::earliest().addingSeconds(1)), Date::earliest());
    EXPECT_EQ(testing::ext4Volume().stored(Date::fromParts(2'147'483'647, 900'000'000)),
              Date::fromParts(2'147'483'647));
    EXPECT_EQ(testing::ext4Volume().stored(Date::fromParts(-2'147'483'648, 900'000'000)),
              Date::fromParts(-2'147'483'648));
}

TEST(Planner, ShiftIntervalAddsTheUnitsExactly) {
    ActionConfig config(kNow);
    config.shiftDays = 100'000;
    config.shiftHours = 10'000;
    config.shiftMinutes = 10'000;
    config.shiftSeconds = 10'000;
    EXPECT_EQ(shiftInterval(config), 8'676'610'000);
    config.shiftDirection = ShiftDirection::subtract;
    EXPECT_EQ(shiftInterval(config), -8'676'610'000);

    // Nothing bounds a planned date from below: far before 1904 is fine.
    config.kind = DateActionKind::shift;
    const PlannedChange change = planChange(copiedFile(), config, kNow);
    EXPECT_EQ(change.newCreation, kCreation.addingSeconds(-8'676'610'000));
    EXPECT_LT(*change.newCreation, removedDateMarker());
}

TEST(Planner, ShiftIntervalOfAnyAmountsIsTheExactSumHeldTo64Bits) {
    constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
    struct Case {
        std::int64_t days, hours, minutes, seconds;
        std::int64_t added, subtracted;
    };
    const Case cases[] = {
        {kMost, 0, 0, 0, kMost, kLeast},
        {kLeast, 0, 0, 0, kLeast, kMost},
        {kMost, kMost, kMost, kMost, kMost, kLeast},
        {kMost, 0, 0, kLeast, kMost, kLeast},  // exact: the days outweigh the seconds
        {kMost / kDay, 0, 0, kMost % kDay, kMost, -kMost},
        {kMost / kDay, 0, 0, kMost % kDay + 1, kMost, kLeast},
    };
    for (const Case& row : cases) {
        ActionConfig config(kNow);
        config.shiftDays = row.days;
        config.shiftHours = row.hours;
        config.shiftMinutes = row.minutes;
        config.shiftSeconds = row.seconds;
        EXPECT_EQ(shiftInterval(config), row.added) << row.days << " d " << row.seconds << " s";
        config.shiftDirection = ShiftDirection::subtract;
        EXPECT_EQ(shiftInterval(config), row.subtracted) << row.days << " d " << row.seconds << " s";
    }
}

TEST(Planner, DatesMatchToTheWholeSecondTruncatedTowardZero) {
    const auto at = [](double seconds) { return std::optional<Date>(Date::fromSecondsSince1970(seconds)); };
    EXPECT_TRUE(datesMatch(std::nullopt, std::nullopt));
    EXPECT_FALSE(datesMatch(std::nullopt, at(0)));
    EXPECT_FALSE(datesMatch(at(0), std::nullopt));
    EXPECT_TRUE(datesMatch(at(10.2), at(10.9)));
    EXPECT_FALSE(datesMatch(at(10.2), at(11.2)));
    EXPECT_TRUE(datesMatch(at(-0.5), at(0.3)));
    EXPECT_FALSE(datesMatch(at(-1.5), at(-0.5)));
    EXPECT_TRUE(datesMatch(at(-2082844800.7), removedDateMarker()));
}

TEST(Planner, CountsOnlyEffectiveChangesAndReadsTheClockOncePerItem) {
    std::vector<FileItem> items{
        FileItem("/a", kCreation, kCreation),
        FileItem("/b", kCreation, kModification),
        FileItem("/c", kCreation, kCreation.addingSeconds(kDay)),
    };
    int clockReads = 0;
    const Clock clock = [&] {
        ++clockReads;
        return kNow;
    };
    const ActionConfig zeroShift = configFor(DateActionKind::shift, DateFieldSelection::both, true);
    EXPECT_EQ(changeCount(items, zeroShift, clock), 1u) << "only the copied file is corrected";
    EXPECT_EQ(clockReads, 3);

    const std::vector<PlannedChange> plan = plannedChanges(items, zeroShift, clock);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(clockReads, 6);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(plan[i].id(), items[i].id());
    }
    EXPECT_FALSE(changesAnything(plan[0]));
    EXPECT_TRUE(changesAnything(plan[1]));

    EXPECT_TRUE(plannedChanges({}, zeroShift, clock).empty());
    EXPECT_EQ(changeCount({}, zeroShift, clock), 0u);
}

TEST(Planner, SubSecondDifferencesAreNoChange) {
    FileItem item("/a", kCreation, kCreation);
    ActionConfig config = configFor(DateActionKind::setSpecific, DateFieldSelection::both, false);
    config.specificDate = Date::fromParts(kCreation.seconds(), 650'000'000);
    EXPECT_FALSE(changesAnything(planChange(item, config, kNow)));
    config.specificDate = kCreation.addingSeconds(1);
    EXPECT_TRUE(changesAnything(planChange(item, config, kNow)));
}

}  // namespace
}  // namespace vellumark
