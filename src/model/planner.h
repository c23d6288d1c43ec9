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
#include <vector>

namespace vellumark {

// Where "now" comes from. Read once per item, just before that item is planned.
using Clock = std::function<Date()>;

Clock systemClock();

// 1904-01-01 00:00:00 UTC, written by "Remove dates" and shown as "-----".
const Date& removedDateMarker();

// The shift in seconds: days, hours, minutes and seconds added up exactly, negated for subtract.
std::int64_t shiftInterval(const ActionConfig& config);

// Whether two optional dates are the same to the whole second since 1970, truncated toward zero.
// Two absent dates match; an absent and a present one do not.
//   datesMatch(10.2 s, 10.9 s) -> true
//   datesMatch(-0.5 s, 0.3 s)  -> true  (both truncate to 0)
//   datesMatch(-1.5 s, -0.5 s) -> false (-1 against 0)
bool datesMatch(const std::optional<Date>& a, const std::optional<Date>& b);

// The two new dates of one item, without the copy of the item that a PlannedChange carries.
struct PlannedDates {
    std::optional<Date> newCreation;
    std::optional<Date> newModification;
};

// Clamps future dates to `now`, then raises modification to creation. Absent dates take no part.
void autoCorrect(PlannedDates& dates, Date now);

PlannedDates planDates(const FileItem& item, const ActionConfig& config, Date now);
PlannedChange planChange(const FileItem& item, const ActionConfig& config, Date now);

// Whether applying would change either date to the whole second (creation is examined first).
bool changesAnything(const FileItem& item, const PlannedDates& dates);
bool changesAnything(const PlannedChange& change);

// One planned change per item, in list order; the clock is read once per item.
std::vector<PlannedChange> plannedChanges(std::span<const FileItem> items, const ActionConfig& config,
                                          const Clock& clock);

// How many items the plan would change. Same answer as counting plannedChanges, without copying items.
std::size_t changeCount(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock);

}  // namespace vellumark
