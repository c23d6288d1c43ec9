#pragma once

#include "date.h"
#include "file_item.h"

#include <optional>

namespace vellumark {

// What applying the current action would leave on one item. An absent new date means nothing is
// written for that field. Identified by its item's id.
struct PlannedChange {
    FileItem item;
    std::optional<Date> newCreation;
    std::optional<Date> newModification;

    const Uuid& id() const { return item.id(); }
};

}  // namespace vellumark
