#pragma once

#include "linux_fs/item_location.h"
#include "model/volume_capabilities.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

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

// The kernel's word on whether the item is the root of a mount; it says nothing before Linux 5.8.
bool isMountPoint(const struct statx& item);
bool isKnownNotMountPoint(const struct statx& item);

// What kind of file system each mount is, learnt once from an item on it and kept; and which folder was
// just seen keeping a written date, kept for a moment, to spare reading back the next ones.
class VolumeTable {
public:
    // The volume of `item` (as statx read it, the mount id included), learnt from `at` when not known.
    Volume of(const ItemRef& at, const struct statx& item);

    // Folders whose items were just seen keeping what they were given, on a volume that keeps whatever it
    // accepts: for a short while, a date written there within every range needs no reading back. A folder
    // where a mount point was seen is never among them, as its items may lie on another volume.
    bool keepsWhatItAccepts(std::string_view folder) const;
    void noteKept(std::string_view folder);
    void noteMountPoint(std::string_view folder);

private:
    struct Key {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint64_t mount;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    struct Known {
        Volume volume;
        std::chrono::steady_clock::time_point validUntil;
    };

    std::unordered_map<Key, Known, KeyHash> known_;
    std::string keepingFolder_;
    std::chrono::steady_clock::time_point keepingUntil_;
    std::unordered_set<std::string> foldersWithMountPoints_;
};

}  // namespace vellumark
