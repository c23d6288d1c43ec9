#pragma once

#include "app_model/file_access.h"
#include "linux_fs/item_location.h"
#include "linux_fs/volume_table.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace vellumark {

// The dates of the item `at`, whose statx answer is `item`, from the places `volume` keeps them.
DateAttributes datesOf(const ItemRef& at, const struct statx& item, const Volume& volume);

// Writes the present dates of `dates` to the item `at` and reads them back: nullopt when they were kept,
// else the plain reason, the previous dates put back where they can be. `item` is its statx answer
// before writing, `folder` the folder part of its path (see VolumeTable::keepsWhatItAccepts).
std::optional<std::string> writeDates(const ItemRef& at, const struct statx& item, const Volume& volume,
                                      VolumeTable& volumes, std::string_view folder,
                                      const DateAttributes& dates);

}  // namespace vellumark
