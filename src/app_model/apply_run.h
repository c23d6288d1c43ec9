#pragma once

#include "app_model/file_access.h"
#include "app_model/file_date_error.h"
#include "model/file_item.h"
#include "model/planned_change.h"
#include "model/planner.h"

#include <optional>

namespace vellumark {

// Writes the dates of `change` that differ to the whole second and are present, in one call.
// Writes nothing when no such date exists. Returns the error when the write fails.
std::optional<FileDateError> writeChange(FileAccess& files, const PlannedChange& change);

// The same for an item and its planned dates, without copying the item.
std::optional<FileDateError> writeChange(FileAccess& files, const FileItem& item, const PlannedDates& dates);

}  // namespace vellumark
