#pragma once

#include "app_model/process_result.h"
#include "model/item_list.h"
#include "model/planned_change.h"

#include <cstddef>
#include <cstdint>
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
void writePreview(std::ostream& out, const ItemList& items, std::span<const PlannedDates> plan);

// "2 of 3 will change."
std::string willChangeText(std::size_t changing, std::size_t total);

// "3 items changed, 1 failed."
std::string resultText(const ProcessResult& result);

// "2019-03-15 13:30:00 UTC", "-----" for the date that remove writes, "none" for no date.
std::string dateText(const std::optional<Date>& date);
// The same text at the end of `to`.
void appendDateText(std::string& to, const std::optional<Date>& date);

// "1 item", "3 items".
std::string itemsText(std::int64_t count);

// The preview and, when the changes were applied, the result, as one JSON document. A path that is not
// valid UTF-8 is written with U+FFFD in "path" and exactly, as hexadecimal bytes, in "path_bytes_hex".
// `run` is the run's number in the journal, when it was written down.
void writeJson(std::ostream& out, std::string_view action, std::span<const PlannedChange> plan,
               std::size_t changing, const std::optional<ProcessResult>& result,
               std::optional<std::int64_t> run);

// The members that end every JSON document: "applied", then "result" (null when nothing was applied), and
// the closing brace.
void writeJsonOutcome(std::ostream& out, const std::optional<ProcessResult>& result,
                      std::optional<std::int64_t> run);

}  // namespace vellumark::cli
