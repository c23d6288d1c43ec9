#pragma once

#include "model/date.h"

#include <QString>

#include <unicode/datefmt.h>

#include <optional>

namespace vellumark::toolkit {

// The one date formatter of the process: the locale's medium date and medium time (with seconds), in
// the user's time zone and calendar. Made on first use, never changed; user-interface thread only.
const icu::DateFormat& sharedDateFormatter();

// Whether sharedDateFormatter() has been made yet.
bool isSharedDateFormatterCreated();

// How every date in the window reads: "-----" for an absent date and for any date within the second of
// the removed-date marker (1904-01-01 00:00:00 UTC), else the shared formatter's text, such as
// "Mar 5, 2024, 2:07:09 PM" in English (ICU puts a narrow no-break space before "PM"). The formatter is
// not made for the two "-----" cases.
QString dateText(const std::optional<Date>& date);

}  // namespace vellumark::toolkit
