#pragma once

#include "app_model/journaled_runs.h"
#include "app_model/process_result.h"
#include "app_model/run_journal.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace vellumark::cli {

// What putting back `run` is called: "Undo “Add / remove time”", or "Redo “Add / remove time”" when
// `run` is itself an undo.
std::string restoreTitle(const RunRecord& run);

// Each item with the dates the run left and the dates it gets back; only the dates put back are named:
//   /home/ana/notes.txt
//     modification  2019-03-15 14:30:00 UTC  ->  2019-03-15 13:30:00 UTC
void writeRestorePreview(std::ostream& out, std::span<const RestoreStep> steps);

// The same and, when it was applied, the result, as one JSON document: "command" (undo or redo), "run",
// "action", "settings", "total", then "items" with "creation" and "modification" each null or
// {"from": …, "to": …}, "applied" and "result" as for the actions.
void writeRestoreJson(std::ostream& out, const RunRecord& run, std::span<const RestoreStep> steps,
                      const std::optional<ProcessResult>& result, std::optional<std::int64_t> restoringRun);

// The runs, newest first, one a line under a heading: number, start in local time, items, changed,
// failed, and what the run did with its markers ("undo of #12", "interrupted").
void writeHistory(std::ostream& out, std::span<const RunRecord> runs);

// {"runs": [{"id", "started" (UTC), "started_local", "action", "settings", "kind" (action, undo or
// redo), "restores", "items", "changed", "failed", "handled", "complete", "interrupted"}, …]}
void writeHistoryJson(std::ostream& out, std::span<const RunRecord> runs);

}  // namespace vellumark::cli
