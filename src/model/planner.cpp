#include "planner.h"

namespace vellumark {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kSecondsPerHour = 3'600;
constexpr std::int64_t kSecondsPerMinute = 60;

// A field's wanted date before the volume is considered; `pastRange` when a shift left the 64-bit range.
struct Wanted {
    std::optional<Date> date;
    bool pastRange = false;
};

Wanted shifted(const std::optional<Date>& date, std::int64_t seconds) {
    if (!date) {
        return {};
    }
    if (const std::optional<Date> result = date->checkedAddingSeconds(seconds)) {
        return {result};
    }
    return {date->addingSeconds(seconds), true};
}

// Settles one field: what the volume would keep of `wanted`, and whether that changes `current`.
DateFate settle(const std::optional<Date>& current, const Wanted& wanted, bool writable,
                const VolumeCapabilities& volume, std::optional<Date>& planned) {
    if (!wanted.date) {
        planned = current;
        return DateFate::unchanged;
    }
    const Date stored = volume.stored(*wanted.date);
    if (!wanted.pastRange && datesMatch(current, stored)) {
        planned = current;
        return DateFate::unchanged;
    }
    if (!writable) {
        planned = current;
        return DateFate::kept;
    }
    if (wanted.pastRange) {
        // Left at the end of the range it passed, unrounded, so that texts can tell it apart.
        planned = wanted.date;
        return DateFate::notStorable;
    }
    planned = stored;
    return volume.canStore(stored) ? DateFate::changes : DateFate::notStorable;
}

}  // namespace

Clock systemClock() {
    return [] { return Date::now(); };
}

const Date& removedDateMarker() {
    static const Date marker = Date::fromParts(-2'082'844'800);
    return marker;
}

std::int64_t shiftInterval(const ActionConfig& config) {
    const std::int64_t total = config.shiftDays * kSecondsPerDay + config.shiftHours * kSecondsPerHour +
                               config.shiftMinutes * kSecondsPerMinute + config.shiftSeconds;
    return config.shiftDirection == ShiftDirection::subtract ? -total : total;
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
    Wanted creation{item.creationDate};
    Wanted modification{item.modificationDate};

    switch (config.kind) {
        case DateActionKind::setSpecific:
            if (creationSelected) {
                creation = {config.specificDate};
            }
            if (modificationSelected) {
                modification = {config.specificDate};
            }
            break;
        case DateActionKind::shift: {
            const std::int64_t interval = shiftInterval(config);
            if (creationSelected) {
                creation = shifted(item.creationDate, interval);
            }
            if (modificationSelected) {
                modification = shifted(item.modificationDate, interval);
            }
            break;
        }
        case DateActionKind::copyCreationToModification:
            modification = {item.creationDate};
            break;
        case DateActionKind::copyModificationToCreation:
            creation = {item.modificationDate};
            break;
        case DateActionKind::liftFromFile:
            if (creationSelected) {
                creation = {config.liftCreation};
            }
            if (modificationSelected) {
                modification = {config.liftModification};
            }
            break;
        case DateActionKind::removeDates:
            if (creationSelected) {
                creation = {removedDateMarker()};
            }
            if (modificationSelected) {
                modification = {removedDateMarker()};
            }
            break;
    }

    // Removing must write the marker exactly, so the correction never runs there; a date already past
    // the end of the range is refused as it is.
    if (config.correctInconsistencies && config.kind != DateActionKind::removeDates) {
        PlannedDates corrected{creation.date, modification.date};
        autoCorrect(corrected, now, volume);
        if (!creation.pastRange) {
            creation.date = corrected.newCreation;
        }
        if (!modification.pastRange) {
            modification.date = corrected.newModification;
        }
    }

    PlannedDates dates;
    dates.creationFate =
        settle(item.creationDate, creation, volume.canWriteCreation, volume, dates.newCreation);
    dates.modificationFate = settle(item.modificationDate, modification, true, volume, dates.newModification);
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

PlanSummary summarizePlan(std::span<const FileItem> items, const ActionConfig& config, const Clock& clock) {
    PlanSummary summary;
    for (const FileItem& item : items) {
        addToSummary(summary, item, planDates(item, config, clock()));
    }
    return summary;
}

}  // namespace vellumark
