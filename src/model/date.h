#pragma once

#include <chrono>
#include <compare>
#include <cstdint>

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

    constexpr Date addingSeconds(std::int64_t seconds) const {
        return fromParts(seconds_ + seconds, nanoseconds_);
    }

    friend constexpr auto operator<=>(const Date&, const Date&) = default;

private:
    std::int64_t seconds_ = 0;
    std::int32_t nanoseconds_ = 0;
};

}  // namespace vellumark
