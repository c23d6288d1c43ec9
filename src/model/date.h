#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace vellumark {

// A point in time, exact to the nanosecond, counted from 1970-01-01 00:00:00 UTC.
//
// Stored as whole seconds (rounded toward negative infinity) plus a nanosecond fraction in
// [0, 1e9), so that file-system timestamps survive unchanged and shifts of centuries in either
// direction lose nothing. -0.5 s is {seconds = -1, nanoseconds = 500'000'000}.
class Date {
public:
    static constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

    constexpr Date() = default;

    // Any nanosecond count is accepted; the result is normalised.
    static constexpr Date fromParts(std::int64_t seconds, std::int64_t nanoseconds = 0) {
        seconds += nanoseconds / kNanosecondsPerSecond;
        nanoseconds %= kNanosecondsPerSecond;
        if (nanoseconds < 0) {
            nanoseconds += kNanosecondsPerSecond;
            seconds -= 1;
        }
        Date date;
        date.seconds_ = seconds;
        date.nanoseconds_ = static_cast<std::int32_t>(nanoseconds);
        return date;
    }

    // Rounds to the nearest nanosecond; meant for tests and literal values, not file dates.
    static Date fromSecondsSince1970(double seconds);

    // The ends of the range: the least and greatest 64-bit second counts.
    static constexpr Date earliest() { return fromParts(std::numeric_limits<std::int64_t>::min()); }
    static constexpr Date latest() {
        return fromParts(std::numeric_limits<std::int64_t>::max(), kNanosecondsPerSecond - 1);
    }

    static Date fromSystemTime(std::chrono::system_clock::time_point time);
    static Date now() { return fromSystemTime(std::chrono::system_clock::now()); }

    // Whole seconds rounded toward negative infinity, and the fraction above them.
    constexpr std::int64_t seconds() const { return seconds_; }
    constexpr std::int32_t nanoseconds() const { return nanoseconds_; }

    // Whole seconds since 1970 truncated toward zero: -0.5 s gives 0, -1.5 s gives -1.
    constexpr std::int64_t wholeSecondsTowardZero() const {
        return (seconds_ < 0 && nanoseconds_ != 0) ? seconds_ + 1 : seconds_;
    }

    double secondsSince1970() const;

    // Saturates at the ends of the range instead of wrapping around: a file system may hold any 64-bit
    // second count, and shifting such a date must never turn it into one at the other end of time.
    constexpr Date addingSeconds(std::int64_t seconds) const {
        Date date = *this;
        if (__builtin_add_overflow(seconds_, seconds, &date.seconds_)) {
            date.seconds_ = seconds > 0 ? std::numeric_limits<std::int64_t>::max()
                                        : std::numeric_limits<std::int64_t>::min();
            date.nanoseconds_ = seconds > 0 ? static_cast<std::int32_t>(kNanosecondsPerSecond - 1) : 0;
        }
        return date;
    }

    // nullopt where the sum passes either end of the range.
    constexpr std::optional<Date> checkedAddingSeconds(std::int64_t seconds) const {
        Date date = *this;
        if (__builtin_add_overflow(seconds_, seconds, &date.seconds_)) {
            return std::nullopt;
        }
        return date;
    }

    friend constexpr auto operator<=>(const Date&, const Date&) = default;

private:
    std::int64_t seconds_ = 0;
    std::int32_t nanoseconds_ = 0;
};

// "2038-01-19 03:14:07 UTC" (proleptic Gregorian, any year), with the fraction only when there is one.
std::string utcText(Date date);
// The same text at the end of `to`, for reports that put together many without a string for each.
void appendUtcText(std::string& to, Date date);

// "2038-01-19": the UTC day alone.
std::string utcDayText(Date date);

}  // namespace vellumark
