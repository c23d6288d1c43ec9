#include "app_model/apply_run.h"

#include "app_model/date_reasons.h"

#include <utility>

namespace vellumark {

std::optional<FileDateError> writeChange(FileAccess& files, const PlannedChange& change) {
    return writeChange(files, change.item, change.dates());
}

namespace {

DateAttributes datesToWrite(const PlannedDates& dates) {
    DateAttributes attributes;
    if (dates.creationFate == DateFate::changes) {
        attributes.creationDate = dates.newCreation;
    }
    if (dates.modificationFate == DateFate::changes) {
        attributes.modificationDate = dates.newModification;
    }
    return attributes;
}

}  // namespace

std::optional<FileDateError> writeChange(FileAccess& files, const FileItem& item, const PlannedDates& dates) {
    const DateAttributes attributes = datesToWrite(dates);
    if (!attributes.creationDate && !attributes.modificationDate) {
        return std::nullopt;
    }
    if (std::optional<std::string> failure = files.setAttributes(item.url(), item.identity, attributes)) {
        return FileDateError{item.url(), std::move(*failure)};
    }
    return std::nullopt;
}

WrittenChange writeAndRead(FileAccess& files, const FileItem& item, const PlannedDates& dates,
                           FileAccess::WriteSession* session) {
    WrittenItem written = files.writeInSession(session, item.url(), item.identity, datesToWrite(dates));
    WrittenChange change{std::nullopt, written.after};
    if (written.failure) {
        change.error = FileDateError{item.url(), std::move(*written.failure)};
    }
    return change;
}

std::optional<FileDateError> refusal(const FileItem& item, const PlannedDates& dates) {
    if (dates.creationFate == DateFate::notStorable) {
        return FileDateError{item.url(), notStorableText(*item.volume, *dates.newCreation)};
    }
    if (dates.modificationFate == DateFate::notStorable) {
        return FileDateError{item.url(), notStorableText(*item.volume, *dates.newModification)};
    }
    return std::nullopt;
}

}  // namespace vellumark
