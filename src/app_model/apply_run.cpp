#include "app_model/apply_run.h"

#include <utility>

namespace vellumark {

std::optional<FileDateError> writeChange(FileAccess& files, const PlannedChange& change) {
    return writeChange(files, change.item, PlannedDates{change.newCreation, change.newModification});
}

std::optional<FileDateError> writeChange(FileAccess& files, const FileItem& item, const PlannedDates& dates) {
    DateAttributes attributes;
    if (dates.newCreation && !datesMatch(item.creationDate, dates.newCreation)) {
        attributes.creationDate = dates.newCreation;
    }
    if (dates.newModification && !datesMatch(item.modificationDate, dates.newModification)) {
        attributes.modificationDate = dates.newModification;
    }
    // A date cannot be removed: when the only difference is an absent new date there is nothing to write.
    if (!attributes.creationDate && !attributes.modificationDate) {
        return std::nullopt;
    }
    std::filesystem::path url = item.url();
    if (std::optional<std::string> failure = files.setAttributes(url, attributes)) {
        return FileDateError{std::move(url), std::move(*failure)};
    }
    return std::nullopt;
}

}  // namespace vellumark
