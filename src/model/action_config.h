#pragma once

#include "action_vocabulary.h"
#include "date.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vellumark {

// The user's complete choice of action and parameters. A plain value: copies are independent.
struct ActionConfig {
    // `specificDate` starts at the moment the configuration is made (the model's creation).
    explicit ActionConfig(Date createdAt = Date::now()) : specificDate(createdAt) {}

    DateActionKind kind = DateActionKind::setSpecific;
    DateFieldSelection fields = DateFieldSelection::both;
    Date specificDate;
    ShiftDirection shiftDirection = ShiftDirection::add;
    std::int64_t shiftDays = 0;
    std::int64_t shiftHours = 0;
    std::int64_t shiftMinutes = 0;
    std::int64_t shiftSeconds = 0;
    // Set together by choosing a source: the dates are a snapshot taken at that moment.
    std::optional<std::filesystem::path> liftSourceURL;
    std::optional<Date> liftCreation;
    std::optional<Date> liftModification;
    bool correctInconsistencies = true;
    bool includeSubfolderContents = false;
};

}  // namespace vellumark
