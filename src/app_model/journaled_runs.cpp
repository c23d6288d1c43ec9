#include "app_model/journaled_runs.h"

#include <cstdint>
#include <utility>

namespace vellumark {

namespace {

std::string fieldsText(DateFieldSelection fields) {
    switch (fields) {
        case DateFieldSelection::both:
            return "Both dates";
        case DateFieldSelection::creation:
            return "Creation date";
        case DateFieldSelection::modification:
            return "Modification date";
    }
    return {};
}

std::string shiftText(const ActionConfig& config) {
    std::string text = config.shiftDirection == ShiftDirection::add ? "plus" : "minus";
    const std::pair<std::int64_t, const char*> parts[] = {{config.shiftDays, "d"},
                                                          {config.shiftHours, "h"},
                                                          {config.shiftMinutes, "min"},
                                                          {config.shiftSeconds, "s"}};
    bool any = false;
    for (const auto& [amount, unit] : parts) {
        if (amount != 0) {
            text += " " + std::to_string(amount) + " " + unit;
            any = true;
        }
    }
    return any ? text : text + " 0 s";
}

std::string liftText(const ActionConfig& config) {
    std::string text =
        "from " + (config.liftSourceURL ? config.liftSourceURL->filename().native() : "no file");
    return text;
}

bool sameDate(const std::optional<Date>& a, const std::optional<Date>& b) {
    return a == b;
}

// Whether `found` carries every date that `wanted` names.
bool carries(const DateAttributes& found, const DateAttributes& wanted) {
    return (!wanted.creationDate || sameDate(found.creationDate, wanted.creationDate)) &&
           (!wanted.modificationDate || sameDate(found.modificationDate, wanted.modificationDate));
}

}  // namespace

std::string settingsText(const ActionConfig& config) {
    std::string text;
    switch (config.kind) {
        case DateActionKind::setSpecific:
            text = fieldsText(config.fields) + " · " + utcText(config.specificDate);
            break;
        case DateActionKind::shift:
            text = fieldsText(config.fields) + " · " + shiftText(config);
            break;
        case DateActionKind::copyCreationToModification:
        case DateActionKind::copyModificationToCreation:
            break;
        case DateActionKind::liftFromFile:
            text = fieldsText(config.fields) + " · " + liftText(config);
            break;
        case DateActionKind::removeDates:
            text = fieldsText(config.fields);
            break;
    }
    if (!config.correctInconsistencies) {
        text += text.empty() ? "auto-correct off" : " · auto-correct off";
    }
    return text;
}

JournalEntry journalEntry(const FileItem& item, const PlannedDates& plan) {
    JournalEntry entry{item.path(), item.identity, {item.creationDate, item.modificationDate}, {}};
    if (plan.creationFate == DateFate::changes) {
        entry.planned.creationDate = plan.newCreation;
    }
    if (plan.modificationFate == DateFate::changes) {
        entry.planned.modificationDate = plan.newModification;
    }
    return entry;
}

std::optional<RestoreStep> restoreStep(const JournaledEntry& journaled) {
    if (journaled.outcome == EntryOutcome::notAttempted || journaled.outcome == EntryOutcome::leftAsIs) {
        return std::nullopt;
    }
    const JournalEntry& entry = journaled.entry;
    const DateAttributes& left = journaled.outcome == EntryOutcome::pending ? entry.planned : journaled.after;
    RestoreStep step{entry.path, entry.identity, {}, {}};
    // A date is put back where the run was to write it, it had one before, and the run left one (a failed
    // write of an item that could not be read afterwards left nothing known to put back).
    if (entry.planned.creationDate && entry.before.creationDate && left.creationDate) {
        step.expected.creationDate = left.creationDate;
        step.target.creationDate = entry.before.creationDate;
    }
    if (entry.planned.modificationDate && entry.before.modificationDate && left.modificationDate) {
        step.expected.modificationDate = left.modificationDate;
        step.target.modificationDate = entry.before.modificationDate;
    }
    if (!step.target.creationDate && !step.target.modificationDate) {
        return std::nullopt;
    }
    if (sameDate(step.expected.creationDate, step.target.creationDate) &&
        sameDate(step.expected.modificationDate, step.target.modificationDate)) {
        return std::nullopt;
    }
    return step;
}

RestoredItem restoreItem(FileAccess& files, const RestoreStep& step) {
    const ItemInfo now = files.inspect(step.path);
    RestoredItem restored;
    if (now.dates) {
        restored.after = *now.dates;
    }
    if (!now.existence.exists || !now.dates) {
        restored.outcome = EntryOutcome::failed;
        restored.failure = "the item is no longer there";
        return restored;
    }
    const bool replaced = step.identity && now.identity && step.identity->inode != 0 &&
                          !step.identity->isSameFile(*now.identity);
    if (!replaced && carries(*now.dates, step.target)) {
        return restored;
    }
    if (replaced || !carries(*now.dates, step.expected)) {
        restored.outcome = EntryOutcome::leftAsIs;
        restored.failure = kChangedSinceText;
        return restored;
    }
    WrittenItem written = files.writeAndInspect(step.path, step.identity, step.target);
    restored.outcome = written.failure ? EntryOutcome::failed : EntryOutcome::changed;
    restored.failure = std::move(written.failure);
    restored.after = written.after.dates.value_or(DateAttributes{});
    return restored;
}

}  // namespace vellumark
