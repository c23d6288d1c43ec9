#pragma once

#include "app_model/process_result.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumark {

// The alert message for a finished run, shown verbatim (never translated):
//   "4 items changed.\n7 failed.\ne1\ne2\ne3\ne4\ne5"
// Only the first five error texts are listed, and nothing says how many more there were.
std::string resultSummary(const ProcessResult& result);

// "Done", or "Completed with errors" when anything failed.
QString resultTitle(const ProcessResult& result);

// "Apply changes to 1 item?", "Apply changes to 3 items?"
QString confirmationTitle(std::size_t changeCount);

// "N of M will change", both numbers without digit grouping.
QString countText(std::size_t changeCount, std::size_t itemCount);

}  // namespace vellumark
