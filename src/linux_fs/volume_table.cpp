#include "linux_fs/volume_table.h"

#include "app_model/visible_text.h"
#include "linux_fs/ntfs_time.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vellumark {

namespace {

constexpr std::uint32_t kFuseMagic = 0x65735546;
constexpr std::uint32_t kCifsMagic = 0xFF534D42;
constexpr std::uint32_t kSmb2Magic = 0xFE534D42;

constexpr std::int64_t kNanosecond = 1;

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
    // Linux reads HFS dates as unsigned 32-bit seconds since 1970.
    {0x4244, "HFS", kSecond, kUnsigned32},
    {0x482B, "HFS+", kSecond, kUnsigned32},
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

// The statfs answer for the item itself.
bool statfsOf(const ItemRef& at, struct statfs& status) {
    if (at.name[0] == '\0') {
        return ::fstatfs(at.folder, &status) == 0;
    }
    const int fd = ::openat(at.folder, at.name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    const bool known = fd >= 0 && ::fstatfs(fd, &status) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return known;
}

// Whether an xfs volume stores dates past 2038 (its "bigtime" feature, the default since 2021).
bool xfsHasBigTime(const ItemRef& at, const struct statx& item, bool& lasting) {
    // The geometry call needs a descriptor open for reading: the folder itself, or the item's folder. An
    // opened item that is a file is reopened for reading through /proc; a file only, as opening a device
    // or a pipe may act on it.
    int fd = -1;
    if (at.name[0] == '\0') {
        if (S_ISDIR(item.stx_mode)) {
            fd = ::openat(at.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else if (S_ISREG(item.stx_mode)) {
            fd = ::open(at.attributePath, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }
    } else if (S_ISDIR(item.stx_mode)) {
        fd = ::openat(at.folder, at.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        const std::string_view name(at.name);
        const std::size_t slash = name.rfind('/');
        const std::string folder = slash == std::string_view::npos ? std::string(".")
                                   : slash == 0                    ? std::string("/")
                                                                   : std::string(name.substr(0, slash));
        fd = ::openat(at.folder, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// Among FUSE drivers only ntfs-3g answers its own attribute; the others are named by their mount. Only
// ntfs-3g is known to keep its files' numbers (NTFS's own) while they are not in use.
Volume detectFuse(const ItemRef& at, const struct statx& item, bool& lasting) {
    NtfsTimeBytes bytes{};
    const ssize_t size = getAttribute(at, kNtfsCreationAttribute, bytes.data(), bytes.size());
    if (size == static_cast<ssize_t>(bytes.size())) {
        return volumeOf(withNtfsRange(capabilitiesOf("ntfs-3g", 100, kAnyDate)), false,
                        CreationStore::ntfs3g);
    }
    if (size < 0 && errno != ENODATA && errno != ENOTSUP && errno != ERANGE) {
        lasting = false;
    }
    Volume volume;
    const MountedSource mount = mountedSource(item.stx_dev_major, item.stx_dev_minor);
    const std::string content =
        mount.type.starts_with("fuseblk") ? fileSystemOnDevice(mount.source) : std::string();
    const std::size_t dot = mount.type.find('.');
    if (content == "exFAT" || content == "FAT") {
        // FUSE drivers of FAT and exFAT keep whole seconds, within FAT's range.
        volume = volumeOf(capabilitiesOf(content, content == "FAT" ? 2 * kSecond : kSecond, kFat));
    } else if (dot == std::string::npos) {
        // A bare "fuse" or "fuseblk" names no driver.
        volume = volumeOfType(kFuseMagic);
    } else {
        // "fuse.sshfs" is sshfs. SFTP carries dates as unsigned 32-bit seconds.
        // The driver names itself, and the name goes into texts: shown with its controls escaped.
        const std::string driver = visibleText(mount.type.substr(dot + 1));
        const SecondsRange range = driver == "sshfs" ? kUnsigned32 : kAnyDate;
        volume = volumeOf(capabilitiesOf(driver, kUnknownGranularity, range), false, CreationStore::none,
                          kUnknownGranularity);
    }
    volume.keepsFileNumbers = false;
    return volume;
}

// Learns the kind of file system from the item itself; `lasting` is cleared when the answer came from a
// passing failure and should be asked again next time.
Volume detect(const ItemRef& at, const struct statx& item, bool& lasting) {
    struct statfs status {};
    if (!statfsOf(at, status)) {
        lasting = false;
        return volumeOfType(0);
    }
    const auto magic = static_cast<std::uint32_t>(status.f_type);
    switch (magic) {
        case kExt4Magic:
            // Inodes of 256 bytes and more keep a birth time, nanoseconds and dates until 2446; those of
            // 128 bytes (and ext2, ext3) keep whole seconds until 2038.
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

}  // namespace

VolumeTable::VolumeTable() {
    static std::atomic<std::uint64_t> made = 0;
    id_ = made.fetch_add(1, std::memory_order_relaxed) + 1;
}

Volume VolumeTable::of(const ItemRef& at, const struct statx& item) {
    const Key key{item.stx_dev_major, item.stx_dev_minor,
                  (item.stx_mask & (STATX_MNT_ID | STATX_MNT_ID_UNIQUE)) != 0 ? item.stx_mnt_id : 0};
    // The items a thread asks about one after the other mostly lie on one volume: its last answer is
    // given again without the lock, which writers on two threads otherwise met on every item.
    thread_local Recent recent;
    if (recent.table == id_ && recent.key == key && recent.known.isValid()) {
        return recent.known.volume;
    }
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = known_.find(key); known != known_.end()) {
            if (known->second.isValid()) {
                recent = {id_, key, known->second};
                return known->second.volume;
            }
            known_.erase(known);
        }
    }
    bool lasting = true;
    Volume volume = detect(at, item, lasting);
    if (lasting) {
        // Before Linux 6.8 mount ids and the device numbers of FUSE and tmpfs are reused: a volume mounted
        // in place of another could take its key, so such an answer is trusted only briefly.
        const bool uniqueKey = (item.stx_mask & STATX_MNT_ID_UNIQUE) != 0;
        const Known known{volume,
                          uniqueKey ? kForever : std::chrono::steady_clock::now() + std::chrono::seconds(5)};
        recent = {id_, key, known};
        // Another thread may have learnt the same volume meanwhile: the later answer is as good.
        const std::lock_guard lock(mutex_);
        known_.insert_or_assign(key, known);
    }
    return volume;
}

std::size_t VolumeTable::KeyHash::operator()(const Key& key) const {
    return std::hash<std::uint64_t>()((std::uint64_t{key.major} << 32 | key.minor) ^
                                      (key.mount * 0x9E3779B97F4A7C15ULL));
}

}  // namespace vellumark
