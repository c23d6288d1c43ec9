#include "action_vocabulary.h"

namespace vellumark {

std::string_view title(DateActionKind kind) {
    switch (kind) {
        case DateActionKind::setSpecific:
            return "Set to a specific date";
        case DateActionKind::shift:
            return "Add / remove time";
        case DateActionKind::copyCreationToModification:
            return "Copy creation \u2192 modification";
        case DateActionKind::copyModificationToCreation:
            return "Copy modification \u2192 creation";
        case DateActionKind::liftFromFile:
            return "Lift dates from another file";
        case DateActionKind::removeDates:
            return "Remove dates (show as -----)";
    }
    return {};
}

std::string_view title(DateFieldSelection fields) {
    switch (fields) {
        case DateFieldSelection::both:
            return "Creation & Modification";
        case DateFieldSelection::creation:
            return "Creation only";
        case DateFieldSelection::modification:
            return "Modification only";
    }
    return {};
}

std::string_view title(ShiftDirection direction) {
    switch (direction) {
        case ShiftDirection::add:
            return "Add";
        case ShiftDirection::subtract:
            return "Subtract";
    }
    return {};
}

}  // namespace vellumark
