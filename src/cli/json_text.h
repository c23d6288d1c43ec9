#pragma once

#include "model/date.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vellumark::cli {

// Valid UTF-8 in quotes with every quote, backslash and control escaped; ill-formed sequences become
// U+FFFD.
std::string jsonString(std::string_view bytes);

// "2019-03-15T13:30:00.25Z" in quotes, or null.
std::string jsonDate(const std::optional<Date>& date);

// The members naming a path: "path", and for a path that is not valid UTF-8 also "path_bytes_hex", its
// exact bytes as lowercase hexadecimal, which then is the one that names the file.
void writeJsonPath(std::ostream& out, std::string_view path);

}  // namespace vellumark::cli
