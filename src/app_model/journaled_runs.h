#pragma once

#include "app_model/file_access.h"
#include "app_model/run_journal.h"
#include "model/action_config.h"
#include "model/file_item.h"
#include "model/planned_change.h"

#include <optional>
#include <string>

namespace vellumark {

inline constexpr const char* kChangedSinceText = "changed since; left as it is";

// The settings of a run in words, for the history: "Both dates · 2019-03-15 14:30:00 UTC",
// "Modification date · minus 2 h 30 min", "auto-correct off" where it is.
std::string settingsText(const ActionConfig& config);

// What the journal keeps of an item before the run writes it: its dates as listed, and the dates of the
// plan that the run writes.
JournalEntry journalEntry(const FileItem& item, const PlannedDates& plan);

// What putting back one entry of an earlier run takes: the dates that run left, and the ones it found.
// Only the dates the run wrote are named.
struct RestoreStep {
    std::string path;
    std::optional<ItemIdentity> identity;
    DateAttributes expected;
    DateAttributes target;
};

// nullopt when the entry left nothing to put back: it was never attempted, or its dates are the ones it
// found. An entry whose outcome was never recorded may or may not have been written: it is expected to
// carry the planned dates.
std::optional<RestoreStep> restoreStep(const JournaledEntry& journaled);

// The outcome of one restore: changed (written and verified), failed, leftAsIs (the item's dates are
// neither the ones the run left nor the ones it found; kChangedSinceText), or notAttempted when the item
// already carries the dates to put back.
struct RestoredItem {
    EntryOutcome outcome = EntryOutcome::notAttempted;
    std::optional<std::string> failure;
    DateAttributes after;
};

RestoredItem restoreItem(FileAccess& files, const RestoreStep& step);

}  // namespace vellumark
