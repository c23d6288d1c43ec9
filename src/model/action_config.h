#pragma once

#include "action_vocabulary.h"
#include "date.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace vellumark {

// The most of each unit a shift takes; amounts are never negative, the direction gives the sign. The
// steppers offer exactly these ranges.
inline constexpr std::int64_t kMostShiftDays = 100'000;
inline constexpr std::int64_t kMostShiftHours = 10'000;
inline constexpr std::int64_t kMostShiftMinutes = 10'000;
inline constexpr std::int64_t kMostShiftSeconds = 10'000;

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

// Brings each shift amount to the nearer end of [0, its most], as a stepper shows a value outside its
// range. The model applies it to every configuration it is given.
constexpr void clampShiftAmounts(ActionConfig& config) {
    config.shiftDays = std::clamp<std::int64_t>(config.shiftDays, 0, kMostShiftDays);
    config.shiftHours = std::clamp<std::int64_t>(config.shiftHours, 0, kMostShiftHours);
    config.shiftMinutes = std::clamp<std::int64_t>(config.shiftMinutes, 0, kMostShiftMinutes);
    config.shiftSeconds = std::clamp<std::int64_t>(config.shiftSeconds, 0, kMostShiftSeconds);
}

}  // namespace vellumark
