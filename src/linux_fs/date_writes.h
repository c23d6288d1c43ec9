#pragma once

#include "app_model/file_access.h"
#include "linux_fs/item_location.h"
#include "linux_fs/volume_table.h"

#include <optional>
#include <string>
#include <sys/stat.h>

namespace vellumark {

// The dates of the item `at`, whose statx answer is `item`, from the places `volume` keeps them.
DateAttributes datesOf(const ItemRef& at, const struct statx& item, const Volume& volume);

// What writing left: the failure, if any, and the item as last read, after whatever was written (its
// answer before writing, when nothing was); nothing when it could not be read back.
struct WriteResult {
    std::optional<std::string> failure;
    std::optional<struct statx> after;
};

// Writes the present dates of `dates` to the item `at` and reads them back, every time: no failure when
// they were kept, else the plain reason, the previous dates put back where they can be. `item` is its
// statx answer before writing.
WriteResult writeDates(const ItemRef& at, const struct statx& item, const Volume& volume,
                       const DateAttributes& dates);

}  // namespace vellumark
