#include "date.h"

#include <cmath>
#include <cstdio>

namespace vellumark {

Date Date::fromSecondsSince1970(double seconds) {
    const double whole = std::floor(seconds);
    const auto nanoseconds = static_cast<std::int64_t>(std::llround((seconds - whole) * 1e9));
    return fromParts(static_cast<std::int64_t>(whole), nanoseconds);
}

Date Date::fromSystemTime(std::chrono::system_clock::time_point time) {
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    return fromParts(0, since1970.count());
}

double Date::secondsSince1970() const {
    return static_cast<double>(seconds_) + static_cast<double>(nanoseconds_) / 1e9;
}

namespace {

__extension__ using Wide = __int128;

struct CivilTime {
    std::int64_t year, month, day, secondOfDay;
};

// Civil date from a day count (proleptic Gregorian), after Howard Hinnant's days_from_civil inverse.
// Computed in 128 bits: seconds rounded down to whole days overflow 64 bits near the start of the range.
CivilTime civilTime(Date date) {
    const Wide seconds = date.seconds();
    const Wide days = seconds / 86'400 - (seconds % 86'400 < 0 ? 1 : 0);
    const auto secondOfDay = static_cast<std::int64_t>(seconds - days * 86'400);
    const Wide shifted = days + 719'468;
    const Wide era = (shifted >= 0 ? shifted : shifted - 146'096) / 146'097;
    const Wide dayOfEra = shifted - era * 146'097;
    const Wide yearOfEra = (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const Wide dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const Wide monthIndex = (5 * dayOfYear + 2) / 153;
    const Wide day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const Wide month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const Wide year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<std::int64_t>(year), static_cast<std::int64_t>(month), static_cast<std::int64_t>(day),
            secondOfDay};
}

}  // namespace

std::string utcDayText(Date date) {
    const CivilTime time = civilTime(date);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(time.year),
                  static_cast<long long>(time.month), static_cast<long long>(time.day));
    return text;
}

std::string utcText(Date date) {
    const CivilTime time = civilTime(date);
    char text[80];
    std::snprintf(
        text, sizeof text, " %02lld:%02lld:%02lld", static_cast<long long>(time.secondOfDay / 3'600),
        static_cast<long long>(time.secondOfDay / 60 % 60), static_cast<long long>(time.secondOfDay % 60));
    std::string result = utcDayText(date) + text;
    if (date.nanoseconds() != 0) {
        std::snprintf(text, sizeof text, ".%09d", static_cast<int>(date.nanoseconds()));
        std::string fraction = text;
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        result += fraction;
    }
    return result + " UTC";
}

}  // namespace vellumark
