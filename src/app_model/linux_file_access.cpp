#include "app_model/linux_file_access.h"

#include "app_model/directory_walk.h"
#include "app_model/item_location.h"
#include "app_model/ntfs_time.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace vellumark {

namespace {

#ifndef STATX_MNT_ID_UNIQUE
constexpr unsigned STATX_MNT_ID_UNIQUE = 0x4000U;  // Linux 6.8: mount ids that are never reused
#endif

constexpr unsigned kItemMask =
    STATX_TYPE | STATX_MODE | STATX_UID | STATX_MTIME | STATX_BTIME | STATX_MNT_ID | STATX_MNT_ID_UNIQUE;
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
    std::string typeName;
    CreationStore creation = CreationStore::none;
    std::int64_t granularity = kSecond;  // how finely dates are kept, in nanoseconds
    // A file system in the kernel, which keeps any date within its range that utimensat accepts: the
    // kernel itself sets it, only rounded to the granularity.
    bool keepsWhatItAccepts = false;
};

struct FileSystemType {
    std::uint32_t magic;
    const char* name;
    std::int64_t granularity;
    bool keepsWhatItAccepts = false;
};

// File systems not listed here are given one second of leeway when a written date is read back. So is
// ext4, whose volumes with small inodes (and those made as ext2 or ext3) keep whole seconds only.
constexpr FileSystemType kFileSystemTypes[] = {
    {0xEF53, "ext4", kSecond, true},
    {0x58465342, "xfs", kNanosecond, true},
    {0x9123683E, "btrfs", kNanosecond, true},
    {0x01021994, "tmpfs", kNanosecond, true},
    {0x858458F6, "ramfs", kNanosecond, true},
    {0xF2F52010, "f2fs", kNanosecond, true},
    {0xCA451A4E, "bcachefs", kNanosecond, true},
    {0x2FC12FC1, "zfs", kNanosecond},
    {0x794C7630, "overlay", kNanosecond},
    {0x3153464A, "jfs", kSecond},
    {0x52654973, "reiserfs", kSecond},
    {0x4D44, "vfat", 2 * kSecond, true},
    {0x2011BAB0, "exfat", 10'000'000, true},
    {0x5346544E, "ntfs", 100},
    {0x7366746E, "ntfs3", 100},
    {0x4244, "hfs", kSecond},
    {0x482B, "hfsplus", kSecond},
    {0x9660, "iso9660", kSecond},
    {0x15013346, "udf", kSecond},
    {0x73717368, "squashfs", kSecond},
    {0xE0F5E1E2, "erofs", kSecond},
    {0x6969, "nfs", kSecond},
    {kCifsMagic, "cifs", 100},
    {kSmb2Magic, "smb3", 100},
    {kFuseMagic, "fuse", kSecond},
};

Volume volumeOfType(std::uint32_t magic) {
    for (const FileSystemType& type : kFileSystemTypes) {
        if (type.magic == magic) {
            return {type.name, CreationStore::none, type.granularity, type.keepsWhatItAccepts};
        }
    }
    char name[32];
    std::snprintf(name, sizeof name, "type 0x%x", static_cast<unsigned>(magic));
    return {name, CreationStore::none, kSecond};
}

// "2038-01-19 03:14:07 UTC", with the fraction only when there is one.
std::string utcText(Date date) {
    const std::int64_t days = date.seconds() / 86'400 - (date.seconds() % 86'400 < 0 ? 1 : 0);
    const std::int64_t secondOfDay = date.seconds() - days * 86'400;
    // Civil date from a day count (proleptic Gregorian), after Howard Hinnant's days_from_civil inverse.
    const std::int64_t shifted = days + 719'468;
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146'096) / 146'097;
    const std::int64_t dayOfEra = shifted - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char text[80];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                  static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(secondOfDay / 3'600), static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    std::string result = text;
    if (date.nanoseconds() != 0) {
        std::snprintf(text, sizeof text, ".%09d", static_cast<int>(date.nanoseconds()));
        std::string fraction = text;
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        result += fraction;
    }
    return result + " UTC";
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
    return "the creation date cannot be changed on this file system (" + volume.typeName + ")";
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

bool writeModification(const ItemLocation& at, Date date) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(date.seconds()), static_cast<long>(date.nanoseconds())},
    };
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
    if (wanted.modificationDate && !writeModification(at, *wanted.modificationDate)) {
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
        Volume volume = detect(at, lasting);
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
    static Volume detect(const ItemLocation& at, bool& lasting) {
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
        Volume volume = volumeOfType(magic);
        if (magic == kCifsMagic || magic == kSmb2Magic) {
            volume.creation = CreationStore::cifs;
        } else if (magic == kFuseMagic) {
            // Among FUSE drivers only ntfs-3g answers its own attribute.
            NtfsTimeBytes bytes{};
            const ssize_t size =
                ::lgetxattr(at.pathForAttributes(), kNtfsCreationAttribute, bytes.data(), bytes.size());
            if (size == static_cast<ssize_t>(bytes.size())) {
                volume = {"ntfs-3g", CreationStore::ntfs3g, 100};
            } else if (size < 0 && errno != ENODATA && errno != ENOTSUP && errno != ERANGE) {
                lasting = false;
            }
        }
        return volume;
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
    if (keptWithin(kept.modificationDate, date, volume.granularity)) {
        if (volume.keepsWhatItAccepts && isKnownNotMountPoint(item)) {
            volumes.noteKept(folder);
        }
        return std::nullopt;
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
            if (keptWithin(kept.modificationDate, date, volume.granularity)) {
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
    info.dates = readDates(at, item, volumes_->of(at, item));
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
        if (!ntfsTicksFromDate(*creation)) {
            return failureText(EOVERFLOW);
        }
    }
    if (modification && volume.creation != CreationStore::none && !ntfsTicksFromDate(*modification)) {
        return failureText(EOVERFLOW);
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
    if (creation && !keptWithin(kept.creationDate, *creation, volume.granularity)) {
        mismatch = keptText("creation", kept.creationDate, *creation);
    }
    if (modification && !keptWithin(kept.modificationDate, *modification, volume.granularity)) {
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
