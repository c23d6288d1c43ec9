#include "volume_capabilities.h"

#include <deque>
#include <limits>
#include <mutex>

namespace vellumark {

Date VolumeCapabilities::roundedDown(Date date) const {
    // In 128 bits: a granularity that is no whole number of seconds, near either end of the range,
    // would overflow 64.
    __extension__ using Wide = __int128;
    constexpr Wide kSecond = Date::kNanosecondsPerSecond;
    const Wide total = Wide{date.seconds()} * kSecond + date.nanoseconds();
    Wide remainder = total % granularity;
    if (remainder < 0) {
        remainder += granularity;
    }
    const Wide rounded = total - remainder;
    Wide seconds = rounded / kSecond;
    Wide nanoseconds = rounded % kSecond;
    if (nanoseconds < 0) {
        nanoseconds += kSecond;
        seconds -= 1;
    }
    if (seconds < std::numeric_limits<std::int64_t>::min()) {
        return Date::earliest();
    }
    return Date::fromParts(static_cast<std::int64_t>(seconds), static_cast<std::int64_t>(nanoseconds));
}

std::string VolumeCapabilities::rangeText() const {
    if (earliest == Date::earliest()) {
        return latest == Date::latest() ? "any date" : "until " + utcDayText(latest);
    }
    if (latest == Date::latest()) {
        return "from " + utcDayText(earliest);
    }
    return utcDayText(earliest) + " to " + utcDayText(latest);
}

const VolumeCapabilities& VolumeCapabilities::shared(const VolumeCapabilities& capabilities) {
    // A deque never moves what it holds, so handed-out references stay valid as it grows.
    static std::mutex mutex;
    static std::deque<VolumeCapabilities> all;
    const std::lock_guard lock(mutex);
    for (const VolumeCapabilities& known : all) {
        if (known == capabilities) {
            return known;
        }
    }
    return all.emplace_back(capabilities);
}

const VolumeCapabilities& VolumeCapabilities::unrestricted() {
    static const VolumeCapabilities& none = shared(VolumeCapabilities{});
    return none;
}

}  // namespace vellumark
