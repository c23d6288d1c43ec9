#include "date.h"

#include <cmath>

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

}  // namespace vellumark
