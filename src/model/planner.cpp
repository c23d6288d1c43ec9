#include "planner.h"

namespace vellumark {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kSecondsPerHour = 3'600;
constexpr std::int64_t kSecondsPerMinute = 60;

std::optional<Date> shifted(const std::optional<Date>& date, std::int64_t seconds) {
    if (!date) {
        return std::nullopt;
    }
    return date->addingSeconds(seconds);
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

void autoCorrect(PlannedDates& dates, Date now) {
    if (dates.newCreation && *dates.newCreation > now) {
        dates.newCreation = now;
    }
    if (dates.newModification && *dates.newModification > now) {
        dates.newModification = now;
    }
    if (dates.newCreation && dates.newModification && *dates.newModification < *dates.newCreation) {
        dates.newModification = dates.newCreation;
    }
}

PlannedDates planDates(const FileItem& item, const ActionConfig& config, Date now) {
    PlannedDates dates{item.creationDate, item.modificationDate};
    const bool creationSelected = includesCreation(config.fields);
    const bool modificationSelected = includesModification(config.fields);

    switch (config.kind) {
        case DateActionKind::setSpecific:
            if (creationSelected) {
                dates.newCreation = config.specificDate;
            }
            if (modificationSelected) {
                dates.newModification = config.specificDate;
            }
            break;
        case DateActionKind::shift: {
            const std::int64_t interval = shiftInterval(config);
            if (creationSelected) {
                dates.newCreation = shifted(dates.newCreation, interval);
            }
            if (modificationSelected) {
                dates.newModification = shifted(dates.newModification, interval);
            }
            break;
        }
        case DateActionKind::copyCreationToModification:
            dates.newModification = item.creationDate;
            break;
        case DateActionKind::copyModificationToCreation:
            dates.newCreation = item.modificationDate;
            break;
        case DateActionKind::liftFromFile:
            if (creationSelected) {
                dates.newCreation = config.liftCreation;
            }
            if (modificationSelected) {
                dates.newModification = config.liftModification;
            }
            break;
        case DateActionKind::removeDates:
            if (creationSelected) {
                dates.newCreation = removedDateMarker();
            }
            if (modificationSelected) {
                dates.newModification = removedDateMarker();
            }
            // Removing must write the marker exactly, so the correction never runs here.
            return dates;
    }

    if (config.correctInconsistencies) {
        autoCorrect(dates, now);
    }
    return dates;
}

PlannedChange planChange(const FileItem& item, const ActionConfig& config, Date now) {
    PlannedDates dates = planDates(item, config, now);
    return PlannedChange{item, dates.newCreation, dates.newModification};
}

bool changesAnything(const FileItem& item, const PlannedDates& dates) {
    return !datesMatch(item.creationDate, dates.newCreation) ||
           !datesMatch(item.modificationDate, dates.newModification);
}

bool changesAnything(const PlannedChange& change) {
    return changesAnything(change.item, PlannedDates{change.newCreation, change.newModification});
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

}  // namespace vellumark
