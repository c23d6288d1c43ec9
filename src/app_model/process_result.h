#pragma once

#include "model/planner.h"
#include "model/uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellumark {

// One item the run could not change as planned: the item as listed after the run, and the reason in
// plain words (the end of its error text).
struct FailedItem {
    Uuid item;
    std::string reason;
};

// The outcome of one apply run. `errors` holds one text per failed item, in list order, and
// `failedItems` the same items with their bare reasons.
//
// An item counts as succeeded when the dates it had to write were written, and as failed when a write
// failed or a date of its plan could not be stored; an item whose one date was written while the other
// could not be stored counts in both.
struct ProcessResult {
    Uuid id = Uuid::random();
    std::int64_t succeeded = 0;
    std::int64_t failed = 0;
    // Items with something to write that a cancelled run did not reach.
    std::int64_t notAttempted = 0;
    std::vector<std::string> errors;
    std::vector<FailedItem> failedItems;
    // Creation dates that the items' volumes kept as they were, as the confirmation said.
    std::vector<KeptCreation> keptCreation;
    // Why the run did not start: the journal could not be written, and nothing was.
    std::optional<std::string> journalFailure;
    // Why the run stopped early: the journal could no longer be written.
    std::optional<std::string> journalStopped;
    // The title of the run whose previous dates this run put back; empty for a run of the action.
    std::string restoredAction;
};

}  // namespace vellumark
