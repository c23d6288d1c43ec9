#pragma once

#include "model/action_vocabulary.h"
#include "model/date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumark::cli {

// A date as typed on the command line:
//   "2019-03-15T14:30:00.25+01:00", "2019-03-15 14:30Z"  an ISO 8601 date and time with its zone
//   "2019-03-15T14:30", "2019-03-15"                     the same in the local time zone
//   "@1552656600.25", "@-86400"                           seconds since 1970 UTC
// nullopt, with `problem` saying why, when the text is none of these or names no real day or time.
std::optional<Date> parseDate(std::string_view text, std::string& problem);

// A shift as typed: an optional sign, then amounts with units d, h, m and s, each unit once: "-2h30m",
// "+1d", "90s". Each amount stays within what the window's steppers offer.
struct Shift {
    ShiftDirection direction = ShiftDirection::add;
    std::int64_t days = 0;
    std::int64_t hours = 0;
    std::int64_t minutes = 0;
    std::int64_t seconds = 0;
};

std::optional<Shift> parseShift(std::string_view text, std::string& problem);

}  // namespace vellumark::cli
