#pragma once

#include "action_config.h"
#include "date.h"
#include "file_item.h"
#include "planned_change.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vellumark {

// Where "now" comes from. Read once per item, just before that item is planned.
using Clock = std::function<Date()>;

Clock systemClock();

// 1904-01-01 00:00:00 UTC, written by "Remove dates" and shown as "-----".
const Date& removedDateMarker();

// The shift in seconds: days, hours, minutes and seconds added up exactly, negated for subtract, and held
// to the 64-bit range (a date shifted that far passes the end of the calendar either way).
std::int64_t shiftInterval(const ActionConfig& config);

// Whether two optional dates are the same to the whole second since 1970, truncated toward zero.
// Two absent dates match; an absent and a present one do not.
//   datesMatch(10.2 s, 10.9 s) -> true
//   datesMatch(-0.5 s, 0.3 s)  -> true  (both truncate to 0)
//   datesMatch(-1.5 s, -0.5 s) -> false (-1 against 0)
bool datesMatch(const std::optional<Date>& a, const std::optional<Date>& b);

// Whether a date the planner refused is one a shift left at an end of the range it passed.
inline bool passedRangeEnd(const std::optional<Date>& planned) {
    return planned && (*planned == Date::earliest() || *planned == Date::latest());
}

// Clamps future dates to `now`, then, where the volume can write the creation date, raises modification
// to creation. Where it cannot, creation is the moment the file was made there (a copy, a download)
// and raising would replace the user's date with it. Absent dates take no part.
void autoCorrect(PlannedDates& dates, Date now, const VolumeCapabilities& volume);

PlannedDates planDates(const FileItem& item, const ActionConfig& config, Date now);
PlannedChange planChange(const FileItem& item, const ActionConfig& config, Date now);

// Whether applying would write either date.
bool changesAnything(const FileItem& item, const PlannedDates& dates);
bool changesAnything(const PlannedChange& change);

// Whether a date of the plan cannot be stored, so that the item will be reported as failed.
bool refusesAnything(const PlannedDates& dates);

// One planned change per item, in list order; the clock is read once per item.
std::vector<PlannedChange> plannedChanges(std::span<const FileItem> items, const ActionConfig& config,
                                          const Clock& clock);

// How many items the plan would change. Same answer as counting plannedChanges, without copying items.
std::size_t changeCount(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock);

// Items of one file system whose creation date the action would change but the volume keeps.
struct KeptCreation {
    std::string fileSystem;
    std::size_t items = 0;

    friend bool operator==(const KeptCreation&, const KeptCreation&) = default;
};

// What a plan amounts to, for the count, the confirmation and the result.
struct PlanSummary {
    std::size_t changing = 0;                // items with a date to write
    std::size_t refused = 0;                 // items with a date their volume cannot store
    std::vector<KeptCreation> keptCreation;  // by file system, in order of first appearance
    // Some item's plan follows the clock (PlannedDates::followsClock), or did before it left the list.
    bool followsClock = false;
};

PlanSummary summarizePlan(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock);

// Adds one planned item to a summary, or takes one added before out of it.
void addToSummary(PlanSummary& summary, const FileItem& item, const PlannedDates& dates);
void removeFromSummary(PlanSummary& summary, const FileItem& item, const PlannedDates& dates);
// Adds the summary of the items that follow those of `summary` in the list.
void addToSummary(PlanSummary& summary, const PlanSummary& following);

}  // namespace vellumark
