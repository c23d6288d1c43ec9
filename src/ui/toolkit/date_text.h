#pragma once

#include "model/date.h"

#include <QString>

#include <unicode/datefmt.h>
#include <unicode/locid.h>

#include <optional>
#include <string>

namespace vellumark::toolkit {

// The locale dates follow, named as POSIX names it: LC_ALL, else LC_TIME, else LANG, the first that is set
// and not empty, else "C". The language of the program's texts (LC_MESSAGES) plays no part.
//   LC_ALL unset, LC_TIME=de_DE.UTF-8, LANG=en_US.UTF-8 -> "de_DE.UTF-8"
std::string timeLocaleName();

// The ICU locale for a POSIX locale name: the codeset goes ("de_DE.UTF-8" -> de_DE), and "C" and "POSIX"
// are ICU's own en_US_POSIX.
icu::Locale icuLocale(const std::string& posixName);

// The one date formatter of the process: the medium date and medium time (with seconds) of
// timeLocaleName(), in the user's time zone and calendar. Made on first use, never changed;
// user-interface thread only.
const icu::DateFormat& sharedDateFormatter();

// Whether sharedDateFormatter() has been made yet.
bool isSharedDateFormatterCreated();

// How every date in the window reads: "-----" for an absent date and for any date within the second of
// the removed-date marker (1904-01-01 00:00:00 UTC), else the shared formatter's text, such as
// "Mar 5, 2024, 2:07:09 PM" in English (ICU puts a narrow no-break space before "PM"). The formatter is
// not made for the two "-----" cases.
QString dateText(const std::optional<Date>& date);

// The shared formatter's pattern as a QDateTimeEdit display format without the seconds, so that a
// picker shows its minute as the table shows dates. Years have four digits, eras and zones are left out.
QString pickerFormat();

// The same for any ICU pattern: "MMM d, y, h:mm:ss a" -> "MMM' 'd', 'yyyy', 'h':'mm' 'AP".
QString pickerFormat(const QString& icuPattern);

}  // namespace vellumark::toolkit
