#pragma once

#include "model/date.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace vellumark {

// Windows file times: a signed count of 100-nanosecond intervals since 1601-01-01 00:00:00 UTC, stored
// as 8 little-endian bytes. ntfs-3g offers them as `system.ntfs_crtime` and `system.ntfs_times`, the SMB
// client as `user.cifs.creationtime`.
using NtfsTimeBytes = std::array<unsigned char, 8>;

inline constexpr const char* kNtfsCreationAttribute = "system.ntfs_crtime";
inline constexpr const char* kCifsCreationAttribute = "user.cifs.creationtime";
// ntfs-3g's creation, modification, access and change times, in this order.
inline constexpr const char* kNtfsTimesAttribute = "system.ntfs_times";
using NtfsTimes = std::array<unsigned char, 32>;

inline constexpr std::int64_t kNtfsTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Rounds down to the 100-nanosecond tick; nullopt when the date lies beyond what 64 bits of ticks hold
// (about 29,000 years either side of 1601).
std::optional<std::int64_t> ntfsTicksFromDate(Date date);
Date dateFromNtfsTicks(std::int64_t ticks);

NtfsTimeBytes encodeNtfsTicks(std::int64_t ticks);
std::int64_t decodeNtfsTicks(std::span<const unsigned char, 8> bytes);

}  // namespace vellumark
