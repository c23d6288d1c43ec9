#include "linux_fs/linux_file_access.h"

#include "app_model/date_reasons.h"
#include "linux_fs/directory_walk.h"
#include "linux_fs/item_location.h"
#include "linux_fs/ntfs_time.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace vellumark {

namespace {

#ifndef STATX_MNT_ID_UNIQUE
constexpr unsigned STATX_MNT_ID_UNIQUE = 0x4000U;  // Linux 6.8: mount ids that are never reused
#endif

constexpr unsigned kItemMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_ATIME | STATX_MTIME | STATX_BTIME |
                               STATX_MNT_ID | STATX_MNT_ID_UNIQUE;
constexpr int kOwnItem = AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT;

constexpr std::uint32_t kFuseMagic = 0x65735546;
constexpr std::uint32_t kCifsMagic = 0xFF534D42;
constexpr std::uint32_t kSmb2Magic = 0xFE534D42;

constexpr const char* kNtfsCreationAttribute = "system.ntfs_crtime";
constexpr const char* kNtfsTimesAttribute = "system.ntfs_times";
constexpr const char* kCifsCreationAttribute = "user.cifs.creationtime";

constexpr std::int64_t kNanosecond = 1;
constexpr std::int64_t kSecond = 1'000'000'000;

// Where a creation date can be written, besides being read from statx.
enum class CreationStore { none, ntfs3g, cifs };

struct Volume {
    CreationStore creation = CreationStore::none;
    // A file system in the kernel, which keeps any date within its range that utimensat accepts: the
    // kernel itself sets it, only rounded to the granularity.
    bool keepsWhatItAccepts = false;
    VolumeRef capabilities;
    // Where how finely dates are kept is not known (NFS, most FUSE drivers), the plan keeps every digit
    // and a date read back within a second counts as kept.
    std::int64_t leeway = 0;

    std::int64_t readBackLeeway() const { return std::max(capabilities->granularity, leeway); }
};

// A range of dates a file system stores, in seconds since 1970, both ends included.
struct SecondsRange {
    std::int64_t earliest;
    std::int64_t latest;
};
constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
constexpr SecondsRange kAnyDate{kLeast, kMost};
constexpr SecondsRange kSigned32{-2'147'483'648, 2'147'483'647};          // 1901-12-13 .. 2038-01-19
constexpr SecondsRange kUnsigned32{0, 4'294'967'295};                     // 1970 .. 2106-02-07
constexpr SecondsRange kExt4LargeInodes{-2'147'483'648, 15'032'385'535};  // .. 2446-05-10
constexpr SecondsRange kXfsBigTime{-2'147'483'648, 16'299'260'424};       // .. 2486-07-02
// FAT and exFAT keep local time: a day to spare at either end, whatever the time zone.
constexpr SecondsRange kFat{315'619'200, 4'354'732'798};    // 1980-01-02 .. 2107-12-30 23:59:58
constexpr SecondsRange kExfat{315'619'200, 4'354'732'799};  // 1980-01-02 .. 2107-12-30 23:59:59
constexpr SecondsRange kHfs{0, 4'294'967'295};              // as Linux reads HFS dates: 1970 .. 2106-02-07

constexpr std::uint32_t kExt4Magic = 0xEF53;
constexpr std::uint32_t kXfsMagic = 0x58465342;
constexpr std::uint32_t kNtfsMagic = 0x5346544E;
constexpr std::uint32_t kNtfs3Magic = 0x7366746E;

struct FileSystemType {
    std::uint32_t magic;
    const char* name;
    std::int64_t granularity;
    SecondsRange range = kAnyDate;
    bool keepsWhatItAccepts = false;
};

constexpr std::int64_t kUnknownGranularity = 0;

// File systems not listed here are taken to store any date, how finely not known; as everywhere, a
// written date counts only once it reads back. ext4 and xfs are refined from the volume itself (see
// detect()).
constexpr FileSystemType kFileSystemTypes[] = {
    {kExt4Magic, "ext4", kSecond, kSigned32, true},
    {kXfsMagic, "xfs", kNanosecond, kSigned32, true},
    {0x9123683E, "btrfs", kNanosecond, kAnyDate, true},
    {0x01021994, "tmpfs", kNanosecond, kAnyDate, true},
    {0x858458F6, "ramfs", kNanosecond, kAnyDate, true},
    {0xF2F52010, "f2fs", kNanosecond, kAnyDate, true},
    {0xCA451A4E, "bcachefs", kNanosecond, kAnyDate, true},
    {0x2FC12FC1, "zfs", kNanosecond},
    {0x794C7630, "overlay", kNanosecond},
    {0x3153464A, "jfs", kNanosecond, kUnsigned32},
    {0x52654973, "reiserfs", kSecond, kUnsigned32},
    {0x4D44, "FAT", 2 * kSecond, kFat, true},
    {0x2011BAB0, "exFAT", 10'000'000, kExfat, true},
    {kNtfsMagic, "NTFS", 100},
    {kNtfs3Magic, "NTFS", 100},
    {0x4244, "HFS", kSecond, kHfs},
    {0x482B, "HFS+", kSecond, kHfs},
    {0x9660, "ISO 9660", kSecond},
    {0x15013346, "UDF", 1'000},
    {0x73717368, "squashfs", kSecond},
    {0xE0F5E1E2, "erofs", kSecond},
    {0x6969, "NFS", kUnknownGranularity},
    {kCifsMagic, "SMB", 100},
    {kSmb2Magic, "SMB", 100},
    {kFuseMagic, "FUSE", kUnknownGranularity},
};

VolumeCapabilities capabilitiesOf(std::string name, std::int64_t granularity, SecondsRange range) {
    VolumeCapabilities capabilities;
    capabilities.fileSystem = std::move(name);
    capabilities.canWriteCreation = false;
    capabilities.granularity = std::max(granularity, kNanosecond);
    if (range.earliest != kLeast) {
        capabilities.earliest = Date::fromParts(range.earliest);
    }
    if (range.latest != kMost) {
        // The kernel keeps no fraction in the last second of a range: it clamps to the whole second.
        capabilities.latest = Date::fromParts(range.latest);
    }
    return capabilities;
}

// NTFS file times: 1601-01-01 to the last 100-nanosecond tick that 64 bits hold (30828-09-14).
VolumeCapabilities withNtfsRange(VolumeCapabilities capabilities) {
    capabilities.earliest = dateFromNtfsTicks(0);
    capabilities.latest = dateFromNtfsTicks(kMost);
    capabilities.granularity = 100;
    return capabilities;
}

Volume volumeOf(VolumeCapabilities capabilities, bool keepsWhatItAccepts = false,
                CreationStore creation = CreationStore::none, std::int64_t granularity = kNanosecond) {
    capabilities.canWriteCreation = creation != CreationStore::none;
    return {creation, keepsWhatItAccepts, VolumeCapabilities::shared(capabilities),
            granularity == kUnknownGranularity ? kSecond : 0};
}

Volume volumeOfType(std::uint32_t magic) {
    for (const FileSystemType& type : kFileSystemTypes) {
        if (type.magic != magic) {
            continue;
        }
        VolumeCapabilities capabilities = capabilitiesOf(type.name, type.granularity, type.range);
        if (magic == kNtfsMagic || magic == kNtfs3Magic) {
            return volumeOf(withNtfsRange(std::move(capabilities)), type.keepsWhatItAccepts);
        }
        if (magic == kCifsMagic || magic == kSmb2Magic) {
            return volumeOf(withNtfsRange(std::move(capabilities)), false, CreationStore::cifs);
        }
        return volumeOf(std::move(capabilities), type.keepsWhatItAccepts, CreationStore::none,
                        type.granularity);
    }
    char name[32];
    std::snprintf(name, sizeof name, "file system 0x%x", static_cast<unsigned>(magic));
    return volumeOf(capabilitiesOf(name, kUnknownGranularity, kAnyDate), false, CreationStore::none,
                    kUnknownGranularity);
}

// xfs's answer to its first geometry request (XFS_IOC_FSGEOMETRY_V1, struct xfs_fsop_geom_v1): the
// request number holds its size, so the whole of it is declared.
struct XfsGeometry {
    std::uint32_t blockSize, realtimeExtentSize, groupBlocks, groupCount, logBlocks, sectorSize, inodeSize,
        inodePercent;
    std::uint64_t dataBlocks, realtimeBlocks, realtimeExtents, logStart;
    unsigned char uuid[16];
    std::uint32_t stripeUnit, stripeWidth;
    std::int32_t version;
    std::uint32_t flags, logSectorSize, realtimeSectorSize, directoryBlockSize;
};
static_assert(sizeof(XfsGeometry) == 112 && offsetof(XfsGeometry, flags) == 92);
const unsigned long kXfsGeometryRequest = _IOR('X', 100, XfsGeometry);

struct MountedSource {
    std::string type;
    std::string source;
};

// The type and source of the mount whose device is major:minor, from /proc/self/mountinfo.
MountedSource mountedSource(std::uint32_t major, std::uint32_t minor) {
    std::FILE* file = std::fopen("/proc/self/mountinfo", "re");
    if (file == nullptr) {
        return {};
    }
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    MountedSource found;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (::getline(&line, &capacity, file) > 0) {
        // "44 26 7:0 / /mnt rw,relatime - fuseblk /dev/loop0 rw,..."
        std::string_view text(line);
        std::size_t field = 0;
        std::size_t start = 0;
        std::string_view fields[3];
        while (field < 3 && start < text.size()) {
            const std::size_t end = std::min(text.find(' ', start), text.size());
            fields[field++] = text.substr(start, end - start);
            start = end + 1;
        }
        const std::size_t separator = text.find(" - ");
        if (field < 3 || fields[2] != device || separator == std::string_view::npos) {
            continue;
        }
        std::string_view rest = text.substr(separator + 3);
        const std::size_t typeEnd = std::min(rest.find(' '), rest.size());
        found.type = rest.substr(0, typeEnd);
        rest.remove_prefix(std::min(typeEnd + 1, rest.size()));
        found.source = rest.substr(0, std::min(rest.find(' '), rest.size()));
        break;
    }
    std::free(line);
    std::fclose(file);
    return found;
}

// "exFAT" or "FAT" when the block device holds such a file system, else "". udev's record of the device,
// readable by everyone, says so; only where there is none is the boot sector read, which needs the
// right to read the device.
std::string fileSystemOnDevice(const std::string& device) {
    struct stat node {};
    if (!device.starts_with("/dev/") || ::stat(device.c_str(), &node) != 0 || !S_ISBLK(node.st_mode)) {
        return {};
    }
    const std::string record =
        "/run/udev/data/b" + std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev));
    if (std::FILE* file = std::fopen(record.c_str(), "re")) {
        char line[256];
        std::string type;
        while (std::fgets(line, sizeof line, file) != nullptr) {
            const std::string_view text(line);
            if (text.starts_with("E:ID_FS_TYPE=")) {
                type = text.substr(13, text.find_first_of("\r\n") - 13);
            }
        }
        std::fclose(file);
        if (type == "exfat") {
            return "exFAT";
        }
        if (type == "vfat" || type == "msdos") {
            return "FAT";
        }
        if (!type.empty()) {
            return {};
        }
    }
    const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    struct stat opened {};
    std::array<char, 90> sector{};
    // The node named in the mount table may have been replaced since: read only the device mounted.
    const bool read = ::fstat(fd, &opened) == 0 && S_ISBLK(opened.st_mode) &&
                      opened.st_rdev == node.st_rdev &&
                      ::pread(fd, sector.data(), sector.size(), 0) == static_cast<ssize_t>(sector.size());
    ::close(fd);
    const std::string_view text(sector.data(), sector.size());
    if (!read) {
        return {};
    }
    if (text.substr(3, 8) == "EXFAT   ") {
        return "exFAT";
    }
    if (text.substr(54, 3) == "FAT" || text.substr(82, 5) == "FAT32") {
        return "FAT";
    }
    return {};
}

std::string systemText(int error) {
    char buffer[256];
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    std::string result = text;
    if (!result.empty() && result[0] >= 'A' && result[0] <= 'Z' && (result.size() < 2 || result[1] > 'Z')) {
        result[0] = static_cast<char>(result[0] - 'A' + 'a');
    }
    return result;
}

std::string cannotChangeCreationText(const Volume& volume) {
    return keptCreationText(*volume.capabilities);
}

// The reason for a failed call in plain words; `item` is the item as it was before writing.
std::string failureText(int error, const struct statx* item = nullptr) {
    switch (error) {
        case ENOENT:
            return "the item no longer exists";
        case ENOTDIR:
            return "a folder on its path no longer exists";
        case EACCES:
            return "permission denied";
        case EPERM:
            if (item != nullptr) {
                if ((item->stx_attributes_mask & item->stx_attributes & STATX_ATTR_IMMUTABLE) != 0) {
                    return "the item is locked against changes (immutable)";
                }
                if ((item->stx_attributes_mask & item->stx_attributes & STATX_ATTR_APPEND) != 0) {
                    return "the item only allows appending (append-only)";
                }
                if (::geteuid() != 0 && ::geteuid() != item->stx_uid) {
                    return "you are not the owner of the item";
                }
            }
            return "the operation is not permitted";
        case EROFS:
            return "the volume is read-only";
        case ENAMETOOLONG:
            return "its path is too long";
        case ELOOP:
            return "its path has too many symbolic links";
        case EIO:
            return "the device reported an input/output error";
        case ENOSPC:
            return "the volume is full";
        case EDQUOT:
            return "the disk quota is exhausted";
        case EOVERFLOW:
            return "the date lies outside the range this file system can keep";
        case ENODEV:
        case ENXIO:
        case ESTALE:
            return "the volume holding the item is no longer available";
        default:
            return systemText(error);
    }
}

std::string keptText(const char* which, const std::optional<Date>& kept, Date written) {
    if (!kept) {
        return std::string("the file system did not keep the ") + which + " date " + utcText(written);
    }
    return std::string("the file system kept the ") + which + " date as " + utcText(*kept) + " instead of " +
           utcText(written);
}

Date dateOf(const statx_timestamp& time) {
    return Date::fromParts(time.tv_sec, time.tv_nsec);
}

std::optional<Date> readTimeAttribute(const char* path, const char* attribute) {
    NtfsTimeBytes bytes{};
    if (::lgetxattr(path, attribute, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        return std::nullopt;
    }
    return dateFromNtfsTicks(decodeNtfsTicks(bytes));
}

bool writeTimeAttribute(const char* path, const char* attribute, Date date) {
    const std::optional<std::int64_t> ticks = ntfsTicksFromDate(date);
    if (!ticks) {
        errno = EOVERFLOW;
        return false;
    }
    const NtfsTimeBytes bytes = encodeNtfsTicks(*ticks);
    return ::lsetxattr(path, attribute, bytes.data(), bytes.size(), 0) == 0;
}

using NtfsTimes = std::array<unsigned char, 32>;  // creation, modification, access, change

std::optional<NtfsTimes> readNtfsTimes(const ItemLocation& at) {
    NtfsTimes times{};
    if (::lgetxattr(at.pathForAttributes(), kNtfsTimesAttribute, times.data(), times.size()) !=
        static_cast<ssize_t>(times.size())) {
        return std::nullopt;
    }
    return times;
}

DateAttributes readDates(const ItemLocation& at, const struct statx& item, const Volume& volume) {
    DateAttributes dates;
    if ((item.stx_mask & STATX_MTIME) != 0) {
        dates.modificationDate = dateOf(item.stx_mtime);
    }
    // 0 s 0 ns is what some file systems put there when they keep no birth time.
    if ((item.stx_mask & STATX_BTIME) != 0 && (item.stx_btime.tv_sec != 0 || item.stx_btime.tv_nsec != 0)) {
        dates.creationDate = dateOf(item.stx_btime);
    }
    switch (volume.creation) {
        case CreationStore::ntfs3g: {
            // ntfs-3g reports fractional modification times before 1970 wrongly through stat; its own
            // attribute holds both dates exactly.
            if (const std::optional<NtfsTimes> times = readNtfsTimes(at)) {
                const std::span<const unsigned char, 32> all(*times);
                dates.creationDate = dateFromNtfsTicks(decodeNtfsTicks(all.subspan<0, 8>()));
                dates.modificationDate = dateFromNtfsTicks(decodeNtfsTicks(all.subspan<8, 8>()));
            } else if (std::optional<Date> creation =
                           readTimeAttribute(at.pathForAttributes(), kNtfsCreationAttribute)) {
                dates.creationDate = creation;
            }
            break;
        }
        case CreationStore::cifs:
            if (std::optional<Date> creation =
                    readTimeAttribute(at.pathForAttributes(), kCifsCreationAttribute)) {
                dates.creationDate = creation;
            }
            break;
        case CreationStore::none:
            break;
    }
    return dates;
}

bool writeCreation(const ItemLocation& at, const Volume& volume, Date date) {
    const char* attribute =
        volume.creation == CreationStore::cifs ? kCifsCreationAttribute : kNtfsCreationAttribute;
    return writeTimeAttribute(at.pathForAttributes(), attribute, date);
}

// The access date is left alone, or, when `item` was read with it, written back as it was: FUSE drivers
// built on libfuse 2 (exfat-fuse among them) drop a change that leaves it out, and still report success.
// Written back, an access made between the reading and the writing is lost: a price worth a kept date.
bool writeModification(const ItemLocation& at, Date date, const struct statx* item = nullptr) {
    struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(date.seconds()), static_cast<long>(date.nanoseconds())},
    };
    if (item != nullptr && (item->stx_mask & STATX_ATIME) != 0) {
        times[0] = {static_cast<time_t>(item->stx_atime.tv_sec), static_cast<long>(item->stx_atime.tv_nsec)};
    }
    return ::utimensat(at.folder(), at.name(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Writes the present dates of `wanted`. On ntfs-3g both go in one call through `system.ntfs_times`
// (once an item's times were written through its attributes, ntfs-3g ignores utimensat on it for as long
// as it holds it open); `current` supplies the date not being written. Elsewhere creation is written first:
// if modification then fails, creation can still be put back to `previousCreation`.
std::optional<std::string> writeDates(const ItemLocation& at, const Volume& volume, const struct statx& item,
                                      const DateAttributes& wanted,
                                      const std::optional<Date>& previousCreation, const NtfsTimes* current) {
    if (current != nullptr) {
        std::array<unsigned char, 16> both{};
        std::copy_n(current->begin(), both.size(), both.begin());
        if (wanted.creationDate) {
            const NtfsTimeBytes bytes = encodeNtfsTicks(*ntfsTicksFromDate(*wanted.creationDate));
            std::copy(bytes.begin(), bytes.end(), both.begin());
        }
        if (wanted.modificationDate) {
            const NtfsTimeBytes bytes = encodeNtfsTicks(*ntfsTicksFromDate(*wanted.modificationDate));
            std::copy(bytes.begin(), bytes.end(), both.begin() + 8);
        }
        if (::lsetxattr(at.pathForAttributes(), kNtfsTimesAttribute, both.data(), both.size(), 0) != 0) {
            return failureText(errno, &item);
        }
        return std::nullopt;
    }

    if (wanted.creationDate && !writeCreation(at, volume, *wanted.creationDate)) {
        const int error = errno;
        if (error == ENOTSUP || error == ENODATA) {
            return cannotChangeCreationText(volume);
        }
        return failureText(error, &item);
    }
    if (wanted.modificationDate && !writeModification(at, *wanted.modificationDate, &item)) {
        std::string text = failureText(errno, &item);
        if (wanted.creationDate && !(previousCreation && writeCreation(at, volume, *previousCreation))) {
            text += "; its creation date was changed and could not be put back";
        }
        return text;
    }
    return std::nullopt;
}

// Whether the file system kept `written` as `kept`, allowing for how finely it stores dates.
bool keptWithin(const std::optional<Date>& kept, Date written, std::int64_t granularity) {
    if (!kept) {
        return false;
    }
    std::int64_t seconds = 0;
    if (__builtin_sub_overflow(kept->seconds(), written.seconds(), &seconds) || seconds > 3 || seconds < -3) {
        return false;
    }
    std::int64_t difference = seconds * kSecond + (kept->nanoseconds() - written.nanoseconds());
    if (difference < 0) {
        difference = -difference;
    }
    return difference < granularity;
}

// Dates that every writable file system keeps (FAT from 1980, small-inode ext4 and HFS+ until 2038), with
// a day to spare for FAT's local time.
bool isWithinEveryRange(Date date) {
    return date >= Date::fromParts(315'619'200) && date <= Date::fromParts(2'147'397'247);
}

// The folder part of a path, without the separator: "" for a bare name.
std::string_view folderOf(const std::filesystem::path& path) {
    const std::string_view text(path.native());
    const std::size_t separator = text.rfind('/');
    return separator == std::string_view::npos ? std::string_view() : text.substr(0, separator);
}

bool isMountPoint(const struct statx& item) {
    return (item.stx_attributes_mask & item.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// Whether the kernel says the item is not a mount point (it says nothing before Linux 5.8).
bool isKnownNotMountPoint(const struct statx& item) {
    return (item.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && !isMountPoint(item);
}

}  // namespace

class LinuxFileAccess::Volumes {
public:
    Volume of(const ItemLocation& at, const struct statx& item) {
        const Key key{item.stx_dev_major, item.stx_dev_minor,
                      (item.stx_mask & (STATX_MNT_ID | STATX_MNT_ID_UNIQUE)) != 0 ? item.stx_mnt_id : 0};
        const auto now = std::chrono::steady_clock::now();
        if (const auto known = known_.find(key); known != known_.end()) {
            if (known->second.validUntil > now) {
                return known->second.volume;
            }
            known_.erase(known);
        }
        bool lasting = true;
        Volume volume = detect(at, item, lasting);
        if (lasting) {
            // Before Linux 6.8 mount ids and the device numbers of FUSE and tmpfs are reused: a volume
            // mounted in place of another could take its key, so such an answer is trusted only briefly.
            const bool uniqueKey = (item.stx_mask & STATX_MNT_ID_UNIQUE) != 0;
            known_.emplace(key, Known{volume, uniqueKey ? std::chrono::steady_clock::time_point::max()
                                                        : now + std::chrono::seconds(5)});
        }
        return volume;
    }

    // Folders whose items were just seen keeping what they were given, on a volume that keeps whatever it
    // accepts: for a short while, a date written there within every range needs no reading back. A folder
    // where a mount point was seen is never among them, as its items may lie on another volume.
    bool keepsWhatItAccepts(std::string_view folder) const {
        return folder == keepingFolder_ && std::chrono::steady_clock::now() < keepingUntil_;
    }
    void noteKept(std::string_view folder) {
        if (!foldersWithMountPoints_.contains(std::string(folder))) {
            keepingFolder_ = folder;
            keepingUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        }
    }
    void noteMountPoint(std::string_view folder) {
        foldersWithMountPoints_.emplace(folder);
        if (folder == keepingFolder_) {
            keepingFolder_.clear();
            keepingUntil_ = {};
        }
    }

private:
    struct Key {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint64_t mount;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::uint64_t>()((std::uint64_t{key.major} << 32 | key.minor) ^
                                              (key.mount * 0x9E3779B97F4A7C15ULL));
        }
    };

    // Learns the kind of file system from the item itself; `lasting` is cleared when the answer came
    // from a passing failure and should be asked again next time.
    static Volume detect(const ItemLocation& at, const struct statx& item, bool& lasting) {
        const int fd = ::openat(at.folder(), at.name(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct statfs status {};
        const bool known = fd >= 0 && ::fstatfs(fd, &status) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!known) {
            lasting = false;
            return volumeOfType(0);
        }

        const auto magic = static_cast<std::uint32_t>(status.f_type);
        switch (magic) {
            case kExt4Magic:
                // Inodes of 256 bytes and more keep a birth time, nanoseconds and dates until 2446; those
                // of 128 bytes (and ext2, ext3) keep whole seconds until 2038.
                if ((item.stx_mask & STATX_BTIME) != 0) {
                    return volumeOf(capabilitiesOf("ext4", kNanosecond, kExt4LargeInodes), true);
                }
                return volumeOfType(magic);
            case kXfsMagic:
                if (xfsHasBigTime(at, item, lasting)) {
                    return volumeOf(capabilitiesOf("xfs", kNanosecond, kXfsBigTime), true);
                }
                return volumeOfType(magic);
            case kFuseMagic:
                return detectFuse(at, item, lasting);
            default:
                return volumeOfType(magic);
        }
    }

    // Among FUSE drivers only ntfs-3g answers its own attribute; the others are named by their mount.
    static Volume detectFuse(const ItemLocation& at, const struct statx& item, bool& lasting) {
        NtfsTimeBytes bytes{};
        const ssize_t size =
            ::lgetxattr(at.pathForAttributes(), kNtfsCreationAttribute, bytes.data(), bytes.size());
        if (size == static_cast<ssize_t>(bytes.size())) {
            return volumeOf(withNtfsRange(capabilitiesOf("ntfs-3g", 100, kAnyDate)), false,
                            CreationStore::ntfs3g);
        }
        if (size < 0 && errno != ENODATA && errno != ENOTSUP && errno != ERANGE) {
            lasting = false;
        }
        const MountedSource mount = mountedSource(item.stx_dev_major, item.stx_dev_minor);
        const std::string content =
            mount.type.starts_with("fuseblk") ? fileSystemOnDevice(mount.source) : std::string();
        if (content == "exFAT" || content == "FAT") {
            // FUSE drivers of FAT and exFAT keep whole seconds, within FAT's range.
            return volumeOf(capabilitiesOf(content, content == "FAT" ? 2 * kSecond : kSecond, kFat));
        }
        // "fuse.sshfs" is sshfs; a bare "fuse" or "fuseblk" names no driver.
        const std::size_t dot = mount.type.find('.');
        if (dot == std::string::npos) {
            return volumeOfType(kFuseMagic);
        }
        const std::string driver = mount.type.substr(dot + 1);
        // SFTP carries dates as unsigned 32-bit seconds.
        const SecondsRange range = driver == "sshfs" ? kUnsigned32 : kAnyDate;
        return volumeOf(capabilitiesOf(driver, kUnknownGranularity, range), false, CreationStore::none,
                        kUnknownGranularity);
    }

    // Whether an xfs volume stores dates past 2038 (its "bigtime" feature, the default since 2021).
    static bool xfsHasBigTime(const ItemLocation& at, const struct statx& item, bool& lasting) {
        // The geometry call needs a descriptor open for reading: the folder itself, or the item's folder.
        int fd = -1;
        if (S_ISDIR(item.stx_mode)) {
            fd = ::openat(at.folder(), at.name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } else {
            const std::string_view name(at.name());
            const std::size_t slash = name.rfind('/');
            const std::string folder = slash == std::string_view::npos ? std::string(".")
                                       : slash == 0                    ? std::string("/")
                                                                       : std::string(name.substr(0, slash));
            fd = ::openat(at.folder(), folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (fd < 0) {
            // Most likely: big timestamps are the default since 2021. Asked again next time.
            lasting = false;
            return true;
        }
        XfsGeometry geometry{};
        const bool answered = ::ioctl(fd, kXfsGeometryRequest, &geometry) == 0;
        ::close(fd);
        constexpr std::uint32_t kBigTime = 1U << 21;
        return !answered || (geometry.flags & kBigTime) != 0;
    }

    struct Known {
        Volume volume;
        std::chrono::steady_clock::time_point validUntil;
    };

    std::unordered_map<Key, Known, KeyHash> known_;
    std::string keepingFolder_;
    std::chrono::steady_clock::time_point keepingUntil_;
    std::unordered_set<std::string> foldersWithMountPoints_;
};

namespace {

// A modification date within every range is written before anything is read, so that a write costs one
// utimensat and one statx; only reading it back tells which file system it was. In a folder where such
// a date was just seen kept on a volume that keeps whatever it accepts, utimensat succeeding is enough.
std::optional<std::string> writeModificationFirst(const ItemLocation& at, LinuxFileAccess::Volumes& volumes,
                                                  std::string_view folder, Date date) {
    const bool keeps = volumes.keepsWhatItAccepts(folder);
    struct statx item {};
    if (!writeModification(at, date)) {
        const int error = errno;
        const bool known = ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) == 0;
        return failureText(error, known ? &item : nullptr);
    }
    if (keeps) {
        return std::nullopt;
    }
    if (::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return "its dates could not be read back after writing (" + failureText(errno) + ")";
    }
    if (isMountPoint(item)) {
        volumes.noteMountPoint(folder);
    }
    const Volume volume = volumes.of(at, item);
    DateAttributes kept = readDates(at, item, volume);
    if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
        if (volume.keepsWhatItAccepts && isKnownNotMountPoint(item)) {
            volumes.noteKept(folder);
        }
        return std::nullopt;
    }
    if (!volume.keepsWhatItAccepts && volume.creation == CreationStore::none) {
        // A driver that ignored the change for want of an access date is given one.
        if (!writeModification(at, date, &item)) {
            return failureText(errno, &item);
        }
        if (::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
            return "its dates could not be read back after writing (" + failureText(errno) + ")";
        }
        kept = readDates(at, item, volume);
        if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
            return std::nullopt;
        }
    }
    // ntfs-3g ignores utimensat on an item whose times were set through its attributes while it still
    // holds it; what was just read is then still the item's, and the attribute takes the date.
    if (volume.creation == CreationStore::ntfs3g) {
        if (const std::optional<NtfsTimes> current = readNtfsTimes(at)) {
            if (std::optional<std::string> failure =
                    writeDates(at, volume, item, {std::nullopt, date}, std::nullopt, &*current)) {
                return failure;
            }
            if (::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
                return "its dates could not be read back after writing (" + failureText(errno) + ")";
            }
            kept = readDates(at, item, volume);
            if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
                return std::nullopt;
            }
        }
    }
    return keptText("modification", kept.modificationDate, date);
}

}  // namespace

LinuxFileAccess::LinuxFileAccess() : volumes_(std::make_unique<Volumes>()) {}

LinuxFileAccess::~LinuxFileAccess() = default;

Existence LinuxFileAccess::fileExists(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx target {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), AT_STATX_SYNC_AS_STAT, STATX_TYPE, &target) != 0) {
        return {};
    }
    return {true, S_ISDIR(target.stx_mode)};
}

std::optional<DateAttributes> LinuxFileAccess::attributes(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx item {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return std::nullopt;
    }
    if (isMountPoint(item)) {
        volumes_->noteMountPoint(folderOf(path));
    }
    return readDates(at, item, volumes_->of(at, item));
}

ItemInfo LinuxFileAccess::inspect(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx item {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return {};
    }
    ItemInfo info;
    if (S_ISLNK(item.stx_mode)) {
        // Only a symbolic link needs a second look, at what it points to.
        struct statx target {};
        if (::statx(at.folder(), at.name(), AT_STATX_SYNC_AS_STAT, STATX_TYPE, &target) != 0) {
            return {};
        }
        info.existence = {true, S_ISDIR(target.stx_mode)};
    } else {
        info.existence = {true, S_ISDIR(item.stx_mode)};
    }
    if (isMountPoint(item)) {
        volumes_->noteMountPoint(folderOf(path));
    }
    const Volume volume = volumes_->of(at, item);
    info.dates = readDates(at, item, volume);
    info.volume = volume.capabilities;
    return info;
}

bool LinuxFileAccess::enumerateDescendants(
    const std::filesystem::path& folder,
    const std::function<void(const std::filesystem::path&)>& visit) const {
    return walkDescendants(folder, visit);
}

std::optional<std::string> LinuxFileAccess::setAttributes(const std::filesystem::path& path,
                                                          const DateAttributes& dates) {
    const std::optional<Date>& creation = dates.creationDate;
    const std::optional<Date>& modification = dates.modificationDate;
    if (!creation && !modification) {
        return std::nullopt;
    }
    const ItemLocation at(path);
    if (!at.isValid()) {
        return failureText(at.error());
    }
    if (!creation && isWithinEveryRange(*modification)) {
        return writeModificationFirst(at, *volumes_, folderOf(path), *modification);
    }

    struct statx item {};
    if (::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return failureText(errno);
    }
    const Volume volume = volumes_->of(at, item);

    // Every date is checked before anything is touched, so that a refusal leaves the item as it was.
    if (creation) {
        if (volume.creation == CreationStore::none) {
            return cannotChangeCreationText(volume);
        }
        if (!volume.capabilities->canStore(*creation)) {
            return notStorableText(*volume.capabilities, *creation);
        }
    }
    if (modification && !volume.capabilities->canStore(*modification)) {
        return notStorableText(*volume.capabilities, *modification);
    }
    const DateAttributes before = readDates(at, item, volume);
    std::optional<NtfsTimes> ntfsTimes;
    if (volume.creation == CreationStore::ntfs3g) {
        ntfsTimes = readNtfsTimes(at);
    }
    const NtfsTimes* current = ntfsTimes ? &*ntfsTimes : nullptr;
    if (std::optional<std::string> failure =
            writeDates(at, volume, item, dates, before.creationDate, current)) {
        return failure;
    }

    // Some file systems accept a date and keep another (FAT clamps its range, some FUSE drivers ignore
    // the call): only what reads back counts as written.
    struct statx after {};
    if (::statx(at.folder(), at.name(), kOwnItem, kItemMask, &after) != 0) {
        return "its dates could not be read back after writing (" + failureText(errno) + ")";
    }
    const DateAttributes kept = readDates(at, after, volume);
    std::string mismatch;
    if (creation && !keptWithin(kept.creationDate, *creation, volume.readBackLeeway())) {
        mismatch = keptText("creation", kept.creationDate, *creation);
    }
    if (modification && !keptWithin(kept.modificationDate, *modification, volume.readBackLeeway())) {
        mismatch += (mismatch.empty() ? "" : ", and ") +
                    keptText("modification", kept.modificationDate, *modification);
    }
    if (mismatch.empty()) {
        return std::nullopt;
    }
    // Putting back needs every date that was written to have been readable before.
    const DateAttributes previous{creation ? before.creationDate : std::nullopt,
                                  modification ? before.modificationDate : std::nullopt};
    const bool restored = previous.creationDate.has_value() == creation.has_value() &&
                          previous.modificationDate.has_value() == modification.has_value() &&
                          !writeDates(at, volume, item, previous, std::nullopt, current);
    return mismatch +
           (restored ? "; the previous dates were put back" : "; the previous dates could not be put back");
}
}  // namespace vellumark
