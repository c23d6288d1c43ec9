#pragma once

#include "model/date.h"

#include <optional>
#include <string>
#include <sys/stat.h>

namespace vellumark {

// The reason for a failed system call in plain words; `item` is the item as it was before writing, which
// tells a locked item from one of another owner.
std::string failureText(int error, const struct statx* item = nullptr);

// Why a date read back after writing is not the one written.
std::string keptText(const char* which, const std::optional<Date>& kept, Date written);

// An item nothing vouches for (nothing could be read of it when it was listed) is written only where its
// path leads through no symbolic link.
inline constexpr const char* kUnvouchedLinkText =
    "its path leads through a symbolic link, and the item could not be read when it was added";

}  // namespace vellumark
