#include "planner.h"

#include <algorithm>
#include <limits>

namespace vellumark {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kSecondsPerHour = 3'600;
constexpr std::int64_t kSecondsPerMinute = 60;

// Shifts a wanted date in place; `pastRange` is set when the shift left the 64-bit range, and the date is
// then left at the end it passed. In place, as a copy of an optional date costs more than the planning.
void shift(std::optional<Date>& date, std::int64_t seconds, bool& pastRange) {
    if (!date) {
        return;
    }
    if (const std::optional<Date> result = date->checkedAddingSeconds(seconds)) {
        *date = *result;
        return;
    }
    *date = date->addingSeconds(seconds);
    pastRange = true;
}

// Settles one field: what the volume would keep of `wanted`, and whether that changes `current`.
DateFate settle(const std::optional<Date>& current, const std::optional<Date>& wanted, bool pastRange,
                bool writable, const VolumeCapabilities& volume, std::optional<Date>& planned) {
    if (!wanted) {
        planned = current;
        return DateFate::unchanged;
    }
    const Date stored = volume.stored(*wanted);
    if (!pastRange && datesMatch(current, stored)) {
        planned = current;
        return DateFate::unchanged;
    }
    if (!writable) {
        planned = current;
        return DateFate::kept;
    }
    if (pastRange) {
        // Left at the end of the range it passed, unrounded, so that texts can tell it apart.
        planned = wanted;
        return DateFate::notStorable;
    }
    planned = stored;
    return volume.canStore(stored) ? DateFate::changes : DateFate::notStorable;
}

}  // namespace

std::string_view fateName(DateFate fate) {
    switch (fate) {
        case DateFate::unchanged:
            return "unchanged";
        case DateFate::changes:
            return "changes";
        case DateFate::kept:
            return "kept";
        case DateFate::notStorable:
            return "not_storable";
    }
    return {};
}

Clock systemClock() {
    return [] { return Date::now(); };
}

const Date& removedDateMarker() {
    static const Date marker = Date::fromParts(-2'082'844'800);
    return marker;
}

std::int64_t shiftInterval(const ActionConfig& config) {
    // The model keeps amounts small, but a configuration made elsewhere may hold any: 128 bits hold the
    // exact sum of any four 64-bit amounts times their units.
    __extension__ using Wide = __int128;
    Wide total = Wide{config.shiftDays} * kSecondsPerDay + Wide{config.shiftHours} * kSecondsPerHour +
                 Wide{config.shiftMinutes} * kSecondsPerMinute + Wide{config.shiftSeconds};
    if (config.shiftDirection == ShiftDirection::subtract) {
        total = -total;
    }
    return static_cast<std::int64_t>(std::clamp<Wide>(total, std::numeric_limits<std::int64_t>::min(),
                                                      std::numeric_limits<std::int64_t>::max()));
}

bool datesMatch(const std::optional<Date>& a, const std::optional<Date>& b) {
    if (!a || !b) {
        return !a && !b;
    }
    return a->wholeSecondsTowardZero() == b->wholeSecondsTowardZero();
}

void autoCorrect(PlannedDates& dates, Date now, const VolumeCapabilities& volume) {
    if (dates.newCreation && *dates.newCreation > now) {
        dates.newCreation = now;
    }
    if (dates.newModification && *dates.newModification > now) {
        dates.newModification = now;
    }
    if (volume.canWriteCreation && dates.newCreation && dates.newModification &&
        *dates.newModification < *dates.newCreation) {
        dates.newModification = dates.newCreation;
    }
}

PlannedDates planDates(const FileItem& item, const ActionConfig& config, Date now) {
    const VolumeCapabilities& volume = *item.volume;
    const bool creationSelected = includesCreation(config.fields);
    const bool modificationSelected = includesModification(config.fields);
    // The wanted dates, before the volume has its say.
    PlannedDates wanted{item.creationDate, item.modificationDate};
    bool creationPastRange = false;
    bool modificationPastRange = false;

    switch (config.kind) {
        case DateActionKind::setSpecific:
            if (creationSelected) {
                wanted.newCreation = config.specificDate;
            }
            if (modificationSelected) {
                wanted.newModification = config.specificDate;
            }
            break;
        case DateActionKind::shift: {
            const std::int64_t interval = shiftInterval(config);
            if (creationSelected) {
                shift(wanted.newCreation, interval, creationPastRange);
            }
            if (modificationSelected) {
                shift(wanted.newModification, interval, modificationPastRange);
            }
            break;
        }
        case DateActionKind::copyCreationToModification:
            wanted.newModification = item.creationDate;
            break;
        case DateActionKind::copyModificationToCreation:
            wanted.newCreation = item.modificationDate;
            break;
        case DateActionKind::liftFromFile:
            if (creationSelected) {
                wanted.newCreation = config.liftCreation;
            }
            if (modificationSelected) {
                wanted.newModification = config.liftModification;
            }
            break;
        case DateActionKind::removeDates:
            if (creationSelected) {
                wanted.newCreation = removedDateMarker();
            }
            if (modificationSelected) {
                wanted.newModification = removedDateMarker();
            }
            break;
    }

    // Removing must write the marker exactly, so the correction never runs there; a date already past
    // the end of the range is refused as it is.
    bool followsClock = false;
    if (config.correctInconsistencies && config.kind != DateActionKind::removeDates) {
        const PlannedDates uncorrected = wanted;
        followsClock = (wanted.newCreation && *wanted.newCreation > now) ||
                       (wanted.newModification && *wanted.newModification > now);
        autoCorrect(wanted, now, volume);
        if (creationPastRange) {
            wanted.newCreation = uncorrected.newCreation;
        }
        if (modificationPastRange) {
            wanted.newModification = uncorrected.newModification;
        }
    }

    PlannedDates dates;
    dates.creationFate = settle(item.creationDate, wanted.newCreation, creationPastRange,
                                volume.canWriteCreation, volume, dates.newCreation);
    dates.modificationFate = settle(item.modificationDate, wanted.newModification, modificationPastRange,
                                    true, volume, dates.newModification);
    dates.followsClock = followsClock;
    return dates;
}

PlannedChange planChange(const FileItem& item, const ActionConfig& config, Date now) {
    return PlannedChange{item, planDates(item, config, now)};
}

bool changesAnything(const FileItem& /*item*/, const PlannedDates& dates) {
    return dates.creationFate == DateFate::changes || dates.modificationFate == DateFate::changes;
}

bool changesAnything(const PlannedChange& change) {
    return changesAnything(change.item, change.dates());
}

bool refusesAnything(const PlannedDates& dates) {
    return dates.creationFate == DateFate::notStorable || dates.modificationFate == DateFate::notStorable;
}

std::vector<PlannedChange> plannedChanges(std::span<const FileItem> items, const ActionConfig& config,
                                          const Clock& clock) {
    std::vector<PlannedChange> plan;
    plan.reserve(items.size());
    for (const FileItem& item : items) {
        plan.push_back(planChange(item, config, clock()));
    }
    return plan;
}

std::size_t changeCount(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock) {
    std::size_t count = 0;
    for (const FileItem& item : items) {
        if (changesAnything(item, planDates(item, config, clock()))) {
            ++count;
        }
    }
    return count;
}

void addToSummary(PlanSummary& summary, const FileItem& item, const PlannedDates& dates) {
    summary.followsClock = summary.followsClock || dates.followsClock;
    summary.changing += changesAnything(item, dates) ? 1 : 0;
    summary.refused += refusesAnything(dates) ? 1 : 0;
    if (dates.creationFate != DateFate::kept) {
        return;
    }
    const std::string& fileSystem = item.volume->fileSystem;
    for (KeptCreation& kept : summary.keptCreation) {
        if (kept.fileSystem == fileSystem) {
            ++kept.items;
            return;
        }
    }
    summary.keptCreation.push_back({fileSystem, 1});
}

void removeFromSummary(PlanSummary& summary, const FileItem& item, const PlannedDates& dates) {
    summary.changing -= changesAnything(item, dates) ? 1 : 0;
    summary.refused -= refusesAnything(dates) ? 1 : 0;
    if (dates.creationFate != DateFate::kept) {
        return;
    }
    const auto kept =
        std::find_if(summary.keptCreation.begin(), summary.keptCreation.end(),
                     [&item](const KeptCreation& k) { return k.fileSystem == item.volume->fileSystem; });
    if (kept != summary.keptCreation.end() && --kept->items == 0) {
        summary.keptCreation.erase(kept);
    }
}

void addToSummary(PlanSummary& summary, const PlanSummary& following) {
    summary.followsClock = summary.followsClock || following.followsClock;
    summary.changing += following.changing;
    summary.refused += following.refused;
    for (const KeptCreation& more : following.keptCreation) {
        const auto kept =
            std::find_if(summary.keptCreation.begin(), summary.keptCreation.end(),
                         [&more](const KeptCreation& k) { return k.fileSystem == more.fileSystem; });
        if (kept != summary.keptCreation.end()) {
            kept->items += more.items;
        } else {
            summary.keptCreation.push_back(more);
        }
    }
}

PlanSummary summarizePlan(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock) {
    PlanSummary summary;
    for (const FileItem& item : items) {
        addToSummary(summary, item, planDates(item, config, clock()));
    }
    return summary;
}

}  // namespace vellumark
