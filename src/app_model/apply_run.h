#pragma once

#include "app_model/file_access.h"
#include "app_model/file_date_error.h"
#include "model/file_item.h"
#include "model/planned_change.h"
#include "model/planner.h"

#include <optional>

namespace vellumark {

// Writes the dates of `change` whose fate is `changes`, in one call; writes nothing when there are none.
// Returns the error when the write fails.
std::optional<FileDateError> writeChange(FileAccess& files, const PlannedChange& change);

// The same for an item and its planned dates, without copying the item.
std::optional<FileDateError> writeChange(FileAccess& files, const FileItem& item, const PlannedDates& dates);

// What writing one item's planned dates gave: the error, if any, and the item as read afterwards.
struct WrittenChange {
    std::optional<FileDateError> error;
    ItemInfo after;
};

// writeChange, and the item read back in the same look (FileAccess::writeInSession).
WrittenChange writeAndRead(FileAccess& files, const FileItem& item, const PlannedDates& dates,
                           FileAccess::WriteSession* session = nullptr);

// Why a date of the plan cannot be stored, as the error the run reports for it; such a date is never
// sent to the disk. nullopt when every date of the plan can be stored.
std::optional<FileDateError> refusal(const FileItem& item, const PlannedDates& dates);

}  // namespace vellumark
