#pragma once

#include "app_model/process_result.h"
#include "model/planned_change.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace vellumark::cli {

// Each item's name, then its creation and modification dates, current and new:
//   /home/ana/notes.txt
//     creation      2019-03-15 13:30:00 UTC  ->  kept (ext4)
//     modification  2020-01-01 00:00:00 UTC  ->  2019-03-15 13:30:00 UTC
// Names go through visibleText, so a name cannot add lines of its own.
void writePreview(std::ostream& out, std::span<const FileItem> items, std::span<const PlannedDates> plan);

// "2 of 3 will change."
std::string willChangeText(std::size_t changing, std::size_t total);

// "3 items changed, 1 failed."
std::string resultText(const ProcessResult& result);

// The preview and, when the changes were applied, the result, as one JSON document. A path that is not
// valid UTF-8 is written with U+FFFD in "path" and exactly, as hexadecimal bytes, in "path_bytes_hex".
void writeJson(std::ostream& out, std::string_view action, std::span<const PlannedChange> plan,
               std::size_t changing, const std::optional<ProcessResult>& result);

}  // namespace vellumark::cli
