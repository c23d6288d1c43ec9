#pragma once

#include "date.h"
#include "file_item.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace vellumark {

// What applying would do to one date of an item, on the item's volume.
enum class DateFate : std::uint8_t {
    unchanged,    // nothing is written: the action leaves it, has no date for it, or gives the same second
    changes,      // the new date is written
    kept,         // the action would change it, but the volume keeps it as it is (creation on ext4)
    notStorable,  // the new date lies outside what the volume can store, or past the end of the range
};

// "unchanged", "changes", "kept", "not_storable": the fate as an identifier, for logs and documents.
std::string_view fateName(DateFate fate);

// The two new dates of one item, without the copy of the item that a PlannedChange carries.
//
// A new date is what the volume would keep: rounded down to its granularity, the current date where
// the fate is `unchanged` with no date to write or `kept`, and the refused date where it is
// `notStorable`. Only dates whose fate is `changes` are ever written.
struct PlannedDates {
    std::optional<Date> newCreation;
    std::optional<Date> newModification;
    DateFate creationFate = DateFate::unchanged;
    DateFate modificationFate = DateFate::unchanged;
    // A date came out later than `now` and was corrected: planned a moment later, the plan differs.
    // Otherwise it is the same at any later instant.
    bool followsClock = false;
};

// What applying the current action would leave on one item, with the fate of each date (see
// PlannedDates). Identified by its item's id.
struct PlannedChange {
    FileItem item;
    std::optional<Date> newCreation;
    std::optional<Date> newModification;
    DateFate creationFate = DateFate::unchanged;
    DateFate modificationFate = DateFate::unchanged;

    PlannedChange(FileItem planned, const PlannedDates& dates)
        : item(std::move(planned)),
          newCreation(dates.newCreation),
          newModification(dates.newModification),
          creationFate(dates.creationFate),
          modificationFate(dates.modificationFate) {}

    const Uuid& id() const { return item.id(); }
    // Without followsClock, which a planned change does not keep.
    PlannedDates dates() const { return {newCreation, newModification, creationFate, modificationFate}; }
};

}  // namespace vellumark
