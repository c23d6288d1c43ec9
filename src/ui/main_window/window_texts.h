#pragma once

#include "app_model/app_model.h"
#include "app_model/process_result.h"
#include "model/planner.h"

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

// The warning that nothing can be undone, followed by what the volumes will keep and refuse.
QString confirmationMessage(const PlanSummary& summary);

// "Creation dates cannot be changed on ext4 and stay as they are on 24 items."
QString keptCreationLine(const KeptCreation& kept);

// "N of M will change", both numbers without digit grouping.
QString countText(std::size_t changeCount, std::size_t itemCount);

// "Adding… 35,120 items", "Applying… 4,500 of 10,000"
QString progressText(Activity activity, const Progress& progress);

// Why a drop or Add cannot be taken now.
QString addRefusedText(Activity activity);

// The question before closing while adding or applying runs.
QString closeQuestionText(Activity activity, const Progress& progress);

}  // namespace vellumark
