#pragma once

#include "app_model/app_model.h"
#include "app_model/process_result.h"
#include "model/planner.h"
#include "ui/toolkit/dialogs.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumark {

// The alert message for a finished run. Error texts are shown verbatim (never translated) but for the
// characters visibleText() escapes, so each stays one line; failures that share a reason are counted on
// one line, and at most five lines of failures are listed:
//   "4 items changed.\n"
//   "Creation dates cannot be changed on ext4 and stay as they are on 4 items.\n"
//   "7 failed.\n6 items: the volume is read-only\nCould not change dates for “x”: Permission denied"
std::string resultSummary(const ProcessResult& result);

// Every error text of a run, one a line, escaped as in the summary; empty when nothing failed.
QString resultDetails(const ProcessResult& result);

// "Done", or "Completed with errors" when anything failed.
QString resultTitle(const ProcessResult& result);

// "Apply changes to 1 item?", "Apply changes to 3 items?"
QString confirmationTitle(std::size_t changeCount);

// That the dates on disk will change, and whether Edit ▸ Undo can put them back (`undoable`, when runs
// are journaled), followed by what the volumes will keep and refuse.
QString confirmationMessage(const PlanSummary& summary, bool undoable = false);

// "Creation dates cannot be changed on ext4 and stay as they are on 24 items."
QString keptCreationLine(const KeptCreation& kept);

// "N of M will change", both numbers without digit grouping, and while the list's filter hides items,
// how many: "3 of 40 will change · 28 hidden by the filter".
QString countText(std::size_t changeCount, std::size_t itemCount, std::size_t hiddenCount = 0);

// "Adding… 35,120 items", "Applying… 4,500 of 10,000"
QString progressText(Activity activity, const Progress& progress);

// Why a drop or Add cannot be taken now.
QString addRefusedText(Activity activity);

// The question before closing while adding or applying runs.
QString closeQuestionText(Activity activity, const Progress& progress);

// "Undo “Add / remove time”", "Redo “Add / remove time”": the Edit menu's entries for the newest run.
QString undoText(const RunRecord& run);
QString redoText(const RunRecord& run);

// The confirmation before a run is restored: by Undo or Redo when it is the newest run, else from the
// history. The count is what the run changed, or every item of a run that never completed.
toolkit::ConfirmationTexts restoreConfirmation(const RunRecord& run, bool newest);

// The question when the journal cannot be written: nothing was changed; go on without a way to undo?
toolkit::ConfirmationTexts journalFailureQuestion(const std::string& reason);

// "The last run was interrupted after 4,210 of 10,000 items. Restore their previous dates?"
toolkit::ConfirmationTexts recoveryQuestion(const RunRecord& run);

// One run as the history lists it: "Add / remove time · Both dates · plus 1 h", with "Undo of", "Redo of"
// and "interrupted" where they apply.
QString historyWhat(const RunRecord& run);

}  // namespace vellumark
