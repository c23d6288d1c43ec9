#include "volume_capabilities.h"

#include <deque>
#include <mutex>

namespace vellumark {

Date VolumeCapabilities::roundedDown(Date date) const {
    constexpr std::int64_t kSecond = Date::kNanosecondsPerSecond;
    if (granularity < kSecond) {
        return Date::fromParts(date.seconds(), date.nanoseconds() - date.nanoseconds() % granularity);
    }
    const std::int64_t seconds = granularity / kSecond;
    std::int64_t remainder = date.seconds() % seconds;
    if (remainder < 0) {
        remainder += seconds;
    }
    return Date::fromParts(date.seconds() - remainder);
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
