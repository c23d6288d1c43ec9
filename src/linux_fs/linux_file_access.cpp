#include "linux_fs/linux_file_access.h"

#include "app_model/parallel_pass.h"
#include "linux_fs/date_writes.h"
#include "linux_fs/directory_walk.h"
#include "linux_fs/failure_texts.h"
#include "linux_fs/item_location.h"
#include "linux_fs/opened_item.h"
#include "linux_fs/volume_table.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/close_range.h>
#include <mutex>
#include <optional>
#include <sched.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vellumark {

namespace {

constexpr int kOwnItem = AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT;

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

// Whether something exists at `at` and whether it is a folder, following symbolic links.
Existence existenceAt(const ItemLocation& at) {
    struct statx target {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), AT_STATX_SYNC_AS_STAT, STATX_TYPE, &target) != 0) {
        return {};
    }
    return {true, S_ISDIR(target.stx_mode)};
}

// The item as inspect gives it, from its own statx answer `item`, read through `at`. Only a symbolic link
// needs a second look, `linkTarget()`, at what it points to; a dangling one exists as nothing but itself.
template <typename LinkTarget>
ItemInfo infoOf(const ItemRef& at, const struct statx& item, const Volume& volume, LinkTarget&& linkTarget) {
    ItemInfo info;
    info.identity = identityOf(item, volume);
    info.existence = S_ISLNK(item.stx_mode) ? linkTarget() : Existence{true, S_ISDIR(item.stx_mode)};
    if (!info.existence.exists) {
        return info;
    }
    info.dates = datesOf(at, item, volume);
    info.volume = volume.capabilities;
    return info;
}

// The names the walk gives, read a window at a time by a few threads and visited in the walk's order on the
// walk's thread, while the readers go on with the next window. Reading is most of what a walk does, so a
// tree of thousands of files is read nearly twice as fast on two cores or more. A window holds names of
// as many folders as come, each folder through a descriptor of the window's own: the walk goes on, and may
// close the folder, while the window is still being read, so a folder's end never stops the readers, a
// tree of small folders is read by them as well as one of large ones, and a walk that ends early never
// leaves them reading through a descriptor it closed.
class FolderReads {
public:
    // `item` is null where the name could not be read.
    using Visit =
        std::function<void(const std::string& path, int folder, const char* name, const struct statx* item)>;

    // The readers are made in `readers` when first needed, and left there for whoever lent it.
    FolderReads(std::optional<ParallelPass>& readers, Visit visit)
        : visit_(std::move(visit)), readers_(readers) {}
    ~FolderReads() {
        settle();
        for (Window& window : windows_) {
            forget(window);
        }
    }
    FolderReads(const FolderReads&) = delete;
    FolderReads& operator=(const FolderReads&) = delete;

    // `path` ends with `name`, which lies in `folder`.
    void add(const std::string& path, int folder, const char* name) {
        if (const Window& filling = windows_[filling_];
            filling.count == kWindow ||
            (filling.walkFolder != folder && filling.folders.size() == mostFolders_)) {
            advance();
        }
        Window& filling = windows_[filling_];
        if (filling.walkFolder != folder) {  // -1 in a window with no folder yet
            Folder& kept = filling.folders.emplace_back(Folder{folder, false});  // room first: nothing leaks
            if (const int own = ::fcntl(folder, F_DUPFD_CLOEXEC, 0); own >= 0) {
                kept = {own, true};
            }
            filling.walkFolder = folder;
        }
        if (filling.count == filling.names.size()) {
            filling.names.emplace_back();
        }
        Name& added = filling.names[filling.count++];
        added.path.assign(path);  // the string's room is kept from one window to the next
        added.nameAt = path.size() - std::strlen(name);
        added.folder = filling.folders.size() - 1;
    }

    // The walk is about to close `folder`. A window that could have no descriptor of its own for it, and
    // borrows the walk's, is read and visited now.
    void letGo(int folder) {
        if (borrows(windows_[0], folder) || borrows(windows_[1], folder)) {
            visitAll();
        }
        if (windows_[filling_].walkFolder == folder) {
            windows_[filling_].walkFolder = -1;  // the number may come back for another folder
        }
    }

    // Reads and visits every name added so far.
    void visitAll() {
        advance();
        advance();
    }

private:
    static constexpr std::size_t kWindow = 2048;

    // Descriptors a window may hold: a tree of small folders must not use up the process's, nor leave the
    // walk none to open its next folder with. At most 64, a sixteenth of what the process may open: with
    // the 1024 it is given by default, a walk holds about 200 with its own. Fewer cost a tree of folders of
    // ten files a third of the readers' gain.
    static std::size_t mostFolders() {
        constexpr std::size_t kMost = 64;
        rlimit open{};
        if (::getrlimit(RLIMIT_NOFILE, &open) != 0 || open.rlim_cur == RLIM_INFINITY) {
            return kMost;
        }
        return std::clamp<std::size_t>(open.rlim_cur / 16, 1, kMost);
    }
    static constexpr std::size_t kSlice = 32;
    static constexpr unsigned kReaders = 2;

    struct Name {
        std::string path;
        std::size_t nameAt = 0;
        std::size_t folder = 0;  // in the window's folders
        bool read = false;
        struct statx item {};
        const char* name() const { return path.c_str() + nameAt; }
    };
    struct Folder {
        int fd = -1;
        bool own = false;
    };
    struct Window {
        std::vector<Name> names;
        std::size_t count = 0;
        std::vector<Folder> folders;
        int walkFolder = -1;  // the walk's descriptor of the last folder added
    };

    // Visits the window read before while the one being filled is read.
    void advance() {
        Window& filling = windows_[filling_];
        settle();
        read(filling);
        try {
            visit(windows_[1 - filling_]);
        } catch (...) {
            settle();
            forget(filling);
            throw;
        }
        filling_ = 1 - filling_;
    }

    static bool borrows(const Window& window, std::optional<int> folder = std::nullopt) {
        return std::ranges::any_of(window.folders, [folder](const Folder& kept) {
            return !kept.own && (!folder || kept.fd == *folder);
        });
    }

    void read(Window& window) {
        const std::size_t slices = (window.count + kSlice - 1) / kSlice;
        // A few names are not worth waking the readers for. A descriptor borrowed from the walk is read
        // through on this thread alone: should the walk end by an exception, it closes its descriptors
        // before the readers could be waited for.
        if (slices <= 1 || borrows(window) || !haveReaders()) {
            for (std::size_t slice = 0; slice < slices; ++slice) {
                readSlice(window, slice);
            }
            return;
        }
        reading_ = true;
        readers_->start(slices, [&window](std::size_t slice, unsigned) { readSlice(window, slice); });
    }

    static void readSlice(Window& window, std::size_t slice) {
        for (std::size_t at = slice * kSlice; at < std::min(window.count, (slice + 1) * kSlice); ++at) {
            Name& name = window.names[at];
            name.read =
                ::statx(window.folders[name.folder].fd, name.name(), kOwnItem, kItemMask, &name.item) == 0;
        }
    }

    // False where no thread could be started: the walk's thread reads alone then.
    bool haveReaders() {
        if (!readers_ && !noReaders_) {
            try {
                readers_.emplace(kReaders);
            } catch (const std::system_error&) {
                noReaders_ = true;
            }
        }
        return readers_.has_value();
    }

    void settle() {
        if (reading_) {
            readers_->wait();
            reading_ = false;
        }
    }

    void visit(Window& window) {
        for (std::size_t at = 0; at < window.count; ++at) {
            const Name& name = window.names[at];
            visit_(name.path, window.folders[name.folder].fd, name.name(), name.read ? &name.item : nullptr);
        }
        forget(window);
    }

    static void forget(Window& window) {
        window.count = 0;
        for (const Folder& folder : window.folders) {
            if (folder.own) {
                ::close(folder.fd);
            }
        }
        window.folders.clear();
        window.walkFolder = -1;
    }

    Visit visit_;
    const std::size_t mostFolders_ = mostFolders();
    std::array<Window, 2> windows_;
    std::size_t filling_ = 0;
    bool reading_ = false;  // the window not being filled is being read by the readers
    bool noReaders_ = false;
    std::optional<ParallelPass>& readers_;
};

// Whether this thread has a table of descriptors of its own (enterWriterThread): what it opens is closed
// with the thread, and by no other thread, to which the same number means another file or none.
thread_local bool t_ownDescriptors = false;

// The folder of the items written last, kept open for the items after them in the same folder.
class OpenFolder final : public FileAccess::WriteSession {
public:
    OpenFolder() = default;
    ~OpenFolder() override { forget(); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // `path` opened in the kept folder where it lies in it, else by its whole path.
    OpenedItem open(const std::filesystem::path& path) {
        if (std::optional<OpenedItem> opened = openInFolder(path.native()); opened && opened->isOpen()) {
            return std::move(*opened);
        }
        // No name of its own, a folder that cannot be opened, or a kept folder moved, replaced or gone
        // stale on a share: the path decides.
        forget();
        return OpenedItem(path, OpenedItem::Links::inFolders);
    }

private:
    // The item's name opened in its folder, kept open or opened now; nullopt where the path has no name to
    // open there or the folder cannot be opened.
    std::optional<OpenedItem> openInFolder(const std::string& text) {
        const std::size_t slash = text.rfind('/');
        if (slash == std::string::npos || text.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        std::string name = text.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") {
            return std::nullopt;
        }
        const std::string_view folder =
            slash == 0 ? std::string_view("/") : std::string_view(text).substr(0, slash);
        if (descriptor_ < 0 || folder != path_) {
            forget();
            path_.assign(folder);
            // Links in the folders are followed, as Links::inFolders follows them.
            descriptor_ = openAnyLength(path_, O_PATH | O_DIRECTORY);
            if (descriptor_ < 0) {
                return std::nullopt;
            }
            openedBy_ = t_ownDescriptors ? std::this_thread::get_id() : std::thread::id();
        }
        return OpenedItem(descriptor_, name);
    }

    void forget() {
        if (descriptor_ >= 0 && (openedBy_ == std::thread::id() || openedBy_ == std::this_thread::get_id())) {
            ::close(descriptor_);
        }
        descriptor_ = -1;
    }

    std::string path_;
    int descriptor_ = -1;
    std::thread::id openedBy_;  // set where the descriptor is in that thread's own table
};

}  // namespace

struct LinuxFileAccess::WalkReaders {
    std::mutex lent;  // held by the walk that reads with them
    std::optional<ParallelPass> pass;
};

LinuxFileAccess::LinuxFileAccess()
    : volumes_(std::make_unique<VolumeTable>()), walkReaders_(std::make_unique<WalkReaders>()) {}

LinuxFileAccess::~LinuxFileAccess() = default;

Existence LinuxFileAccess::fileExists(const std::filesystem::path& path) const {
    return existenceAt(ItemLocation(path));
}

std::optional<DateAttributes> LinuxFileAccess::attributes(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx item {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return std::nullopt;
    }
    return datesOf(at.ref(), item, volumes_->of(at.ref(), item));
}

ItemInfo LinuxFileAccess::inspect(const std::filesystem::path& path) const {
    const ItemLocation at(path);
    struct statx item {};
    if (!at.isValid() || ::statx(at.folder(), at.name(), kOwnItem, kItemMask, &item) != 0) {
        return {};
    }
    return infoOf(at.ref(), item, volumes_->of(at.ref(), item), [&] { return existenceAt(at); });
}

bool LinuxFileAccess::enumerateDescendants(
    const std::filesystem::path& folder,
    const std::function<void(const std::filesystem::path&)>& visit) const {
    return walkDescendants(folder, visit);
}

bool LinuxFileAccess::inspectDescendants(const std::filesystem::path& folder,
                                         const InspectedVisit& visit) const {
    // A walk that starts while another reads with the kept threads makes threads of its own.
    std::unique_lock lent(walkReaders_->lent, std::try_to_lock);
    std::optional<ParallelPass> own;
    FolderReads reads(lent.owns_lock() ? walkReaders_->pass : own,
                      [&](const std::string& path, int folderFd, const char* name, const struct statx* item) {
                          if (item == nullptr) {
                              visit(path, ItemInfo{});
                              return;
                          }
                          const ItemRef at{folderFd, name, AT_SYMLINK_NOFOLLOW, path.c_str(), false};
                          visit(path, infoOf(at, *item, volumes_->of(at, *item), [&] {
                                    return existenceAt(ItemLocation(std::filesystem::path(path)));
                                }));
                      });
    const bool walked = walkDescendantsAt(
        folder,
        [&](const std::string& path, int folderFd, const char* name) {
            if (folderFd < 0) {
                reads.visitAll();
                visit(path, inspect(std::filesystem::path(path)));
                return;
            }
            // Read within the folder the walk holds open: no lookup of the whole path again.
            reads.add(path, folderFd, name);
        },
        kDefaultOpenFolderLimit, [&](int folderFd) { reads.letGo(folderFd); });
    reads.visitAll();
    return walked;
}

void LinuxFileAccess::enterWriterThread() const {
    // The table of its own starts as a copy of the process's, whose descriptors are closed there at once
    // (close_range, from Linux 5.9): a file closed elsewhere during the run is not kept open by a copy.
    // Where both calls are refused (a sandbox's filter), the thread keeps the process's table.
    t_ownDescriptors = ::close_range(3, ~0U, CLOSE_RANGE_UNSHARE) == 0 || ::unshare(CLONE_FILES) == 0;
}

std::optional<std::string> LinuxFileAccess::setAttributes(const std::filesystem::path& path,
                                                          const std::optional<ItemIdentity>& listed,
                                                          const DateAttributes& dates) {
    return write(path, listed, dates, false).failure;
}

WrittenItem LinuxFileAccess::writeAndInspect(const std::filesystem::path& path,
                                             const std::optional<ItemIdentity>& listed,
                                             const DateAttributes& dates) {
    return write(path, listed, dates, true);
}

std::unique_ptr<FileAccess::WriteSession> LinuxFileAccess::writeSession() const {
    return std::make_unique<OpenFolder>();
}

WrittenItem LinuxFileAccess::writeInSession(WriteSession* session, const std::filesystem::path& path,
                                            const std::optional<ItemIdentity>& listed,
                                            const DateAttributes& dates) {
    return write(path, listed, dates, true, session);
}

// The item is opened first and everything after goes through its descriptor. With the identity it was
// listed with, folders on the path may be links, as they may have been when it was listed: if any was
// replaced since, what opens is another file, or nothing. Without one, no link may lie on the path.
// Where nothing of the item could be read, or it could not be read back, it is looked at afresh.
WrittenItem LinuxFileAccess::write(const std::filesystem::path& path,
                                   const std::optional<ItemIdentity>& listed, const DateAttributes& dates,
                                   bool describe, WriteSession* folders) {
    WrittenItem written;
    if (!dates.creationDate && !dates.modificationDate) {
        if (describe) {
            written.after = inspect(path);
        }
        return written;
    }
    // Only an item checked against its identity may be opened in a folder kept from before.
    auto* const kept = listed ? dynamic_cast<OpenFolder*>(folders) : nullptr;
    const OpenedItem opened =
        kept != nullptr ? kept->open(path)
                        : OpenedItem(path, listed ? OpenedItem::Links::inFolders : OpenedItem::Links::none);
    const ItemRef at = opened.ref();
    struct statx item {};
    if (!opened.isOpen()) {
        written.failure =
            !listed && opened.error() == ELOOP ? kUnvouchedLinkText : failureText(opened.error());
    } else if (::statx(at.folder, at.name, at.flags | AT_STATX_SYNC_AS_STAT, kItemMask, &item) != 0) {
        written.failure = failureText(errno);
    } else {
        const Volume volume = volumes_->of(at, item);
        std::optional<struct statx> after = item;
        if (listed && identityOf(item, volume) != *listed) {
            // Left untouched: `after` is the file now at the path, for the caller to tell apart.
            written.failure = kReplacedText;
        } else {
            WriteResult result = writeDates(at, item, volume, dates);
            written.failure = std::move(result.failure);
            after = result.after;
        }
        if (describe && after) {
            written.after = infoOf(at, *after, volume, [&] { return fileExists(path); });
            return written;
        }
    }
    if (describe) {
        written.after = inspect(path);
    }
    return written;
}

}  // namespace vellumark
