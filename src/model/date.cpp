#include "date.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string_view>

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

struct CivilTime {
    std::int64_t year, month, day, secondOfDay;
};

// Civil date from a day count (proleptic Gregorian), after Howard Hinnant's days_from_civil inverse. The
// day is found by division with its remainder, never by multiplying back, so that no step overflows, even
// at the ends of the range.
CivilTime civilTime(Date date) {
    std::int64_t days = date.seconds() / 86'400;
    std::int64_t secondOfDay = date.seconds() % 86'400;
    if (secondOfDay < 0) {
        --days;
        secondOfDay += 86'400;
    }
    const std::int64_t shifted = days + 719'468;
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146'096) / 146'097;
    const std::int64_t dayOfEra = shifted - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day, secondOfDay};
}

// `value` at `out`, as printf's "%0<width>lld" writes it: zeros pad it to `width` characters, a minus
// sign among them. A command line prints four dates per item, so this is done without printf.
char* putPadded(char* out, std::int64_t value, int width) {
    if (value >= 0 && value < 100 && width == 2) {  // month, day, hour, minute and second
        *out++ = static_cast<char>('0' + value / 10);
        *out++ = static_cast<char>('0' + value % 10);
        return out;
    }
    if (value < 0) {
        *out++ = '-';
        --width;
    }
    // The magnitude, as unsigned so that the least value has one too.
    const std::uint64_t magnitude =
        value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[24];
    const char* const end = std::to_chars(std::begin(digits), std::end(digits), magnitude).ptr;
    for (auto count = static_cast<int>(end - digits); count < width; ++count) {
        *out++ = '0';
    }
    return std::copy(static_cast<const char*>(digits), end, out);
}

// "2038-01-19" at `out`.
char* putDay(char* out, const CivilTime& time) {
    out = putPadded(out, time.year, 4);
    *out++ = '-';
    out = putPadded(out, time.month, 2);
    *out++ = '-';
    return putPadded(out, time.day, 2);
}

}  // namespace

std::string utcDayText(Date date) {
    char text[48];
    return {text, putDay(text, civilTime(date))};
}

void appendUtcText(std::string& to, Date date) {
    const CivilTime time = civilTime(date);
    char text[80];
    char* out = putDay(text, time);
    *out++ = ' ';
    out = putPadded(out, time.secondOfDay / 3'600, 2);
    *out++ = ':';
    out = putPadded(out, time.secondOfDay / 60 % 60, 2);
    *out++ = ':';
    out = putPadded(out, time.secondOfDay % 60, 2);
    if (date.nanoseconds() != 0) {
        *out++ = '.';
        char* const fraction = out;
        out = putPadded(out, date.nanoseconds(), 9);
        while (out > fraction && out[-1] == '0') {
            --out;
        }
    }
    constexpr std::string_view kZone = " UTC";
    out = std::copy(kZone.begin(), kZone.end(), out);
    to.append(text, out);
}

std::string utcText(Date date) {
    std::string text;
    appendUtcText(text, date);
    return text;
}

}  // namespace vellumark
