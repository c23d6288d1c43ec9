#include "linux_fs/ntfs_time.h"

namespace vellumark {

std::optional<std::int64_t> ntfsTicksFromDate(Date date) {
    std::int64_t seconds = 0;
    std::int64_t fraction = date.nanoseconds() / 100;
    if (__builtin_add_overflow(date.seconds(), kSecondsFrom1601To1970, &seconds)) {
        return std::nullopt;
    }
    // Below 1601 the whole seconds are taken one closer to zero, so that the earliest tick still fits.
    if (seconds < 0 && fraction > 0) {
        seconds += 1;
        fraction -= kNtfsTicksPerSecond;
    }
    std::int64_t ticks = 0;
    if (__builtin_mul_overflow(seconds, kNtfsTicksPerSecond, &ticks) ||
        __builtin_add_overflow(ticks, fraction, &ticks)) {
        return std::nullopt;
    }
    return ticks;
}

Date dateFromNtfsTicks(std::int64_t ticks) {
    return Date::fromParts(ticks / kNtfsTicksPerSecond - kSecondsFrom1601To1970,
                           (ticks % kNtfsTicksPerSecond) * 100);
}

NtfsTimeBytes encodeNtfsTicks(std::int64_t ticks) {
    const auto bits = static_cast<std::uint64_t>(ticks);
    NtfsTimeBytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    return bytes;
}

std::int64_t decodeNtfsTicks(std::span<const unsigned char, 8> bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bits |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return static_cast<std::int64_t>(bits);
}

}  // namespace vellumark
