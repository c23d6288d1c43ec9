#include "cli/date_arguments.h"

#include "model/action_config.h"

#include <array>
#include <ctime>

namespace vellumark::cli {

namespace {

// Reads the text from left to right; every step either takes what it expects or takes nothing.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() const { return position_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[position_]; }

    bool take(char expected) {
        if (peek() != expected) {
            return false;
        }
        ++position_;
        return true;
    }

    // Exactly `count` digits.
    std::optional<std::int64_t> number(std::size_t count) {
        if (text_.size() - position_ < count) {
            return std::nullopt;
        }
        std::int64_t value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = text_[position_ + i];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        position_ += count;
        return value;
    }

    // One to `most` digits, as many as there are.
    std::optional<std::int64_t> digits(std::size_t most, std::size_t* count = nullptr) {
        std::size_t length = 0;
        while (position_ + length < text_.size() && length < most && text_[position_ + length] >= '0' &&
               text_[position_ + length] <= '9') {
            ++length;
        }
        if (length == 0 || (position_ + length < text_.size() && text_[position_ + length] >= '0' &&
                            text_[position_ + length] <= '9')) {
            return std::nullopt;
        }
        if (count != nullptr) {
            *count = length;
        }
        return number(length);
    }

    // A fraction's digits as nanoseconds: "25" -> 250'000'000.
    std::optional<std::int64_t> fraction() {
        std::size_t count = 0;
        std::optional<std::int64_t> value = digits(9, &count);
        if (!value) {
            return std::nullopt;
        }
        for (std::size_t i = count; i < 9; ++i) {
            *value *= 10;
        }
        return value;
    }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int64_t daysInMonth(std::int64_t year, std::int64_t month) {
    constexpr std::array<std::int64_t, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

std::optional<Date> parseSecondsSince1970(Reader& reader) {
    const bool negative = reader.take('-');
    const std::optional<std::int64_t> seconds = reader.digits(18);
    if (!seconds) {
        return std::nullopt;
    }
    std::int64_t nanoseconds = 0;
    if (reader.take('.')) {
        const std::optional<std::int64_t> fraction = reader.fraction();
        if (!fraction) {
            return std::nullopt;
        }
        nanoseconds = *fraction;
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    return negative ? Date::fromParts(-*seconds, -nanoseconds) : Date::fromParts(*seconds, nanoseconds);
}

// "Z", "+01:00", "+0100" or "+01", as seconds east of UTC.
std::optional<std::int64_t> parseZone(Reader& reader) {
    if (reader.take('Z') || reader.take('z')) {
        return 0;
    }
    const bool east = reader.peek() == '+';
    if (!reader.take('+') && !reader.take('-')) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> hours = reader.number(2);
    if (!hours || *hours > 23) {
        return std::nullopt;
    }
    std::int64_t minutes = 0;
    if (!reader.atEnd()) {
        reader.take(':');
        const std::optional<std::int64_t> zoneMinutes = reader.number(2);
        if (!zoneMinutes || *zoneMinutes > 59) {
            return std::nullopt;
        }
        minutes = *zoneMinutes;
    }
    const std::int64_t offset = *hours * 3'600 + minutes * 60;
    return east ? offset : -offset;
}

std::optional<Date> parseCalendarDate(Reader& reader, std::string& problem) {
    const std::optional<std::int64_t> year = reader.number(4);
    if (!year || !reader.take('-')) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> month = reader.number(2);
    if (!month || !reader.take('-')) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> day = reader.number(2);
    if (!day) {
        return std::nullopt;
    }
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    std::int64_t second = 0;
    std::int64_t nanoseconds = 0;
    std::optional<std::int64_t> zone;
    if (reader.take('T') || reader.take('t') || reader.take(' ')) {
        const std::optional<std::int64_t> hours = reader.number(2);
        if (!hours || !reader.take(':')) {
            return std::nullopt;
        }
        const std::optional<std::int64_t> minutes = reader.number(2);
        if (!minutes) {
            return std::nullopt;
        }
        hour = *hours;
        minute = *minutes;
        if (reader.take(':')) {
            const std::optional<std::int64_t> seconds = reader.number(2);
            if (!seconds) {
                return std::nullopt;
            }
            second = *seconds;
            if (reader.take('.') || reader.take(',')) {
                const std::optional<std::int64_t> fraction = reader.fraction();
                if (!fraction) {
                    return std::nullopt;
                }
                nanoseconds = *fraction;
            }
        }
        if (!reader.atEnd()) {
            zone = parseZone(reader);
            if (!zone || !reader.atEnd()) {
                return std::nullopt;
            }
        }
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || hour > 23 ||
        minute > 59 || second > 59) {
        problem = "there is no such day or time";
        return std::nullopt;
    }

    std::tm fields{};
    fields.tm_year = static_cast<int>(*year - 1900);
    fields.tm_mon = static_cast<int>(*month - 1);
    fields.tm_mday = static_cast<int>(*day);
    fields.tm_hour = static_cast<int>(hour);
    fields.tm_min = static_cast<int>(minute);
    fields.tm_sec = static_cast<int>(second);
    fields.tm_isdst = -1;
    // mktime answers -1 both for an error and for one second before 1970; only an error leaves the
    // weekday alone.
    fields.tm_wday = -1;
    const std::time_t seconds = zone ? timegm(&fields) : std::mktime(&fields);
    if (fields.tm_wday == -1) {
        problem = "the local time zone cannot place it";
        return std::nullopt;
    }
    return Date::fromParts(static_cast<std::int64_t>(seconds) - zone.value_or(0), nanoseconds);
}

}  // namespace

std::optional<Date> parseDate(std::string_view text, std::string& problem) {
    problem = "expected an ISO 8601 date such as 2019-03-15T14:30:00+01:00, or @SECONDS since 1970";
    Reader reader(text);
    if (reader.take('@')) {
        return parseSecondsSince1970(reader);
    }
    return parseCalendarDate(reader, problem);
}

std::optional<Shift> parseShift(std::string_view text, std::string& problem) {
    problem = "expected a duration such as -2h30m or +1d (units d, h, m, s)";
    Reader reader(text);
    Shift shift;
    if (reader.take('-')) {
        shift.direction = ShiftDirection::subtract;
    } else {
        reader.take('+');
    }
    struct Unit {
        char letter;
        std::int64_t Shift::*amount;
        std::int64_t most;
        const char* name;
    };
    constexpr std::array<Unit, 4> kUnits{{{'d', &Shift::days, kMostShiftDays, "days"},
                                          {'h', &Shift::hours, kMostShiftHours, "hours"},
                                          {'m', &Shift::minutes, kMostShiftMinutes, "minutes"},
                                          {'s', &Shift::seconds, kMostShiftSeconds, "seconds"}}};
    std::array<bool, 4> seen{};
    do {
        const std::optional<std::int64_t> amount = reader.digits(12);
        if (!amount) {
            return std::nullopt;
        }
        std::size_t index = 0;
        while (index < kUnits.size() && !reader.take(kUnits[index].letter)) {
            ++index;
        }
        if (index == kUnits.size() || seen[index]) {
            return std::nullopt;
        }
        seen[index] = true;
        if (*amount > kUnits[index].most) {
            problem =
                "a shift takes at most " + std::to_string(kUnits[index].most) + " " + kUnits[index].name;
            return std::nullopt;
        }
        shift.*(kUnits[index].amount) = *amount;
    } while (!reader.atEnd());
    return shift;
}

}  // namespace vellumark::cli
