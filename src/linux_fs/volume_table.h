#pragma once

#include "linux_fs/item_location.h"
#include "model/volume_capabilities.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace vellumark {

#ifndef STATX_MNT_ID_UNIQUE
inline constexpr unsigned STATX_MNT_ID_UNIQUE = 0x4000U;  // Linux 6.8: mount ids that are never reused
#endif

// What is read of every item: its kind, owner, dates, its file number and the mount it lies on.
inline constexpr unsigned kItemMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_ATIME |
                                      STATX_MTIME | STATX_BTIME | STATX_MNT_ID | STATX_MNT_ID_UNIQUE;

inline constexpr std::int64_t kSecond = 1'000'000'000;

// Where a creation date can be written, besides being read from statx.
enum class CreationStore { none, ntfs3g, cifs };

// What one mounted volume does with dates, as Linux shows it.
struct Volume {
    CreationStore creation = CreationStore::none;
    // A file system in the kernel, which keeps any date within its range that utimensat accepts: the
    // kernel itself sets it, only rounded to the granularity.
    bool keepsWhatItAccepts = false;
    VolumeRef capabilities;
    // Where how finely dates are kept is not known (NFS, most FUSE drivers), the plan keeps every digit
    // and a date read back within a second counts as kept.
    std::int64_t leeway = 0;
    // Whether a file keeps its number (inode) for as long as it exists. Most FUSE drivers hand out new
    // numbers once the kernel has let go of a file.
    bool keepsFileNumbers = true;

    std::int64_t readBackLeeway() const { return std::max(capabilities->granularity, leeway); }
};

// What kind of file system each mount is, learnt once from an item on it and kept. Safe to call from
// several threads at once: a lookup holds a lock only to copy what is known, never while learning a volume
// (which may wait on a slow mount).
class VolumeTable {
public:
    VolumeTable();

    // The volume of `item` (as statx read it, the mount id included), learnt from `at` when not known.
    Volume of(const ItemRef& at, const struct statx& item);

private:
    static constexpr auto kForever = std::chrono::steady_clock::time_point::max();

    struct Key {
        std::uint32_t major = 0;
        std::uint32_t minor = 0;
        std::uint64_t mount = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    struct Known {
        Volume volume;
        std::chrono::steady_clock::time_point validUntil;

        bool isValid() const {
            return validUntil == kForever || validUntil > std::chrono::steady_clock::now();
        }
    };
    // The last answer a thread was given, and by which table.
    struct Recent {
        std::uint64_t table = 0;
        Key key;
        Known known;
    };

    std::uint64_t id_ = 0;  // one of its own for every table made, so that no Recent outlives its table
    std::mutex mutex_;
    std::unordered_map<Key, Known, KeyHash> known_;  // guarded by mutex_
};

}  // namespace vellumark
