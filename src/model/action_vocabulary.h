#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace vellumark {

// The three closed enumerations of the date actions. Each case's title is both its label and its
// identifier; allCases<E>() lists the cases in declaration order, which is the order pickers show.

enum class DateActionKind {
    setSpecific,
    shift,
    copyCreationToModification,
    copyModificationToCreation,
    liftFromFile,
    removeDates,
};

enum class DateFieldSelection {
    both,
    creation,
    modification,
};

enum class ShiftDirection {
    add,
    subtract,
};

std::string_view title(DateActionKind kind);
std::string_view title(DateFieldSelection fields);
std::string_view title(ShiftDirection direction);

constexpr bool includesCreation(DateFieldSelection fields) {
    return fields != DateFieldSelection::modification;
}
constexpr bool includesModification(DateFieldSelection fields) {
    return fields != DateFieldSelection::creation;
}

// Whether the action writes only the fields that DateFieldSelection names (the copy actions ignore it).
constexpr bool usesFieldSelection(DateActionKind kind) {
    return kind != DateActionKind::copyCreationToModification &&
           kind != DateActionKind::copyModificationToCreation;
}

namespace detail {
inline constexpr std::array kDateActionKinds{
    DateActionKind::setSpecific,
    DateActionKind::shift,
    DateActionKind::copyCreationToModification,
    DateActionKind::copyModificationToCreation,
    DateActionKind::liftFromFile,
    DateActionKind::removeDates,
};
inline constexpr std::array kDateFieldSelections{DateFieldSelection::both, DateFieldSelection::creation,
                                                 DateFieldSelection::modification};
inline constexpr std::array kShiftDirections{ShiftDirection::add, ShiftDirection::subtract};
}  // namespace detail

template <typename Enum>
constexpr std::span<const Enum> allCases();

template <>
constexpr std::span<const DateActionKind> allCases<DateActionKind>() {
    return detail::kDateActionKinds;
}

template <>
constexpr std::span<const DateFieldSelection> allCases<DateFieldSelection>() {
    return detail::kDateFieldSelections;
}

template <>
constexpr std::span<const ShiftDirection> allCases<ShiftDirection>() {
    return detail::kShiftDirections;
}

// The case whose title is exactly `text` (bytes compared as they are: no case folding, no trimming).
template <typename Enum>
std::optional<Enum> caseWithTitle(std::string_view text) {
    for (const Enum value : allCases<Enum>()) {
        if (title(value) == text) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace vellumark
