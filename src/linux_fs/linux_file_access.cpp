#include "linux_fs/linux_file_access.h"

#include "linux_fs/date_writes.h"
#include "linux_fs/directory_walk.h"
#include "linux_fs/failure_texts.h"
#include "linux_fs/item_location.h"
#include "linux_fs/opened_item.h"
#include "linux_fs/volume_table.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace vellumark {

namespace {

constexpr int kOwnItem = AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT;

// The folder part of a path, without the separator: "" for a bare name.
std::string_view folderOf(const std::filesystem::path& path) {
    const std::string_view text(path.native());
    const std::size_t separator = text.rfind('/');
    return separator == std::string_view::npos ? std::string_view() : text.substr(0, separator);
}

ItemIdentity identityOf(const struct statx& item, const Volume& volume) {
    ItemIdentity identity;
    identity.device = std::uint64_t{item.stx_dev_major} << 32 | item.stx_dev_minor;
    if ((item.stx_mask & STATX_INO) != 0 && volume.keepsFileNumbers) {
        identity.inode = item.stx_ino;
    }
    if ((item.stx_mask & (STATX_MNT_ID | STATX_MNT_ID_UNIQUE)) != 0) {
        identity.mount = item.stx_mnt_id;
    }
    return identity;
}

}  // namespace

LinuxFileAccess::LinuxFileAccess() : volumes_(std::make_unique<VolumeTable>()) {}

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
    return datesOf(at.ref(), item, volumes_->of(at.ref(), item));
}

ItemInfo LinuxFileAccess::inspect(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx item {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return {};
    }
    if (isMountPoint(item)) {
        volumes_->noteMountPoint(folderOf(path));
    }
    const Volume volume = volumes_->of(at.ref(), item);
    ItemInfo info;
    info.identity = identityOf(item, volume);
    if (S_ISLNK(item.stx_mode)) {
        // Only a symbolic link needs a second look, at what it points to; a dangling one exists as
        // nothing but itself.
        struct statx target {};
        if (::statx(at.folder(), at.name(), AT_STATX_SYNC_AS_STAT, STATX_TYPE, &target) != 0) {
            return info;
        }
        info.existence = {true, S_ISDIR(target.stx_mode)};
    } else {
        info.existence = {true, S_ISDIR(item.stx_mode)};
    }
    info.dates = datesOf(at.ref(), item, volume);
    info.volume = volume.capabilities;
    return info;
}

bool LinuxFileAccess::enumerateDescendants(
    const std::filesystem::path& folder,
    const std::function<void(const std::filesystem::path&)>& visit) const {
    return walkDescendants(folder, visit);
}

// The item is opened first and everything after goes through its descriptor. With the identity it was
// listed with, folders on the path may be links, as they may have been when it was listed: if any was
// replaced since, what opens is another file, or nothing. Without one, no link may lie on the path.
std::optional<std::string> LinuxFileAccess::setAttributes(const std::filesystem::path& path,
                                                          const std::optional<ItemIdentity>& listed,
                                                          const DateAttributes& dates) {
    if (!dates.creationDate && !dates.modificationDate) {
        return std::nullopt;
    }
    const OpenedItem opened(path, listed ? OpenedItem::Links::inFolders : OpenedItem::Links::none);
    if (!opened.isOpen()) {
        return !listed && opened.error() == ELOOP ? kUnvouchedLinkText : failureText(opened.error());
    }
    const ItemRef at = opened.ref();
    struct statx item {};
    if (::statx(at.folder, at.name, at.flags | AT_STATX_SYNC_AS_STAT, kItemMask, &item) != 0) {
        return failureText(errno);
    }
    const Volume volume = volumes_->of(at, item);
    if (listed && identityOf(item, volume) != *listed) {
        return kReplacedText;
    }
    return writeDates(at, item, volume, *volumes_, folderOf(path), dates);
}

}  // namespace vellumark
