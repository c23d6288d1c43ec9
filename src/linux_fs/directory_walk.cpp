#include "linux_fs/directory_walk.h"

#include "linux_fs/item_location.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vellumark {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

struct Entry {
    std::string name;
    bool isFolder = false;
};

bool isFolderEntry(int folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN) {
        return entry.d_type == DT_DIR;
    }
    struct stat status {};
    return ::fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
}

bool isHidden(const char* name) {
    return name[0] == '.';
}

// Released folders are reopened only to enter their remaining subfolders and to climb past them: a path
// descriptor does both and needs no read permission on the folder.
constexpr int kReopenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// One folder on the way down. While open it reads straight from its stream; once released to save a
// descriptor, it serves the rest of its listing from `pending` and keeps its identity for reopening.
class Level {
public:
    Level(DIR* stream, std::size_t pathLength) : stream_(stream), pathLength_(pathLength) {}
    Level(Level&& other) noexcept { *this = std::move(other); }
    Level& operator=(Level&& other) noexcept {
        std::swap(stream_, other.stream_);
        std::swap(fd_, other.fd_);
        std::swap(pending_, other.pending_);
        std::swap(nextPending_, other.nextPending_);
        std::swap(device_, other.device_);
        std::swap(inode_, other.inode_);
        std::swap(pathLength_, other.pathLength_);
        return *this;
    }
    ~Level() { close(); }

    bool isOpen() const { return stream_ != nullptr || fd_ >= 0; }
    int fd() const { return stream_ != nullptr ? ::dirfd(stream_) : fd_; }
    std::size_t pathLength() const { return pathLength_; }

    // The next listed name that is not hidden, or nothing at the end of the listing.
    std::optional<Entry> next() {
        if (stream_ != nullptr) {
            while (const dirent* entry = ::readdir(stream_)) {
                if (!isHidden(entry->d_name)) {
                    return Entry{entry->d_name, isFolderEntry(::dirfd(stream_), *entry)};
                }
            }
            return std::nullopt;
        }
        if (nextPending_ < pending_.size()) {
            return std::move(pending_[nextPending_++]);
        }
        return std::nullopt;
    }

    // Reads the rest of the listing into memory and closes the folder.
    void release() {
        if (stream_ != nullptr) {
            struct stat status {};
            if (::fstat(::dirfd(stream_), &status) == 0) {
                device_ = status.st_dev;
                inode_ = status.st_ino;
            }
            while (std::optional<Entry> entry = next()) {
                pending_.push_back(std::move(*entry));
            }
        }
        close();
    }

    // Takes `fd` as this folder again if it is the same folder as before, and tells whether it did.
    // Either way the rest of the listing stays: the names were read while the folder could be read.
    bool reopen(int fd) {
        struct stat status {};
        if (fd >= 0 && ::fstat(fd, &status) == 0 && status.st_dev == device_ && status.st_ino == inode_) {
            fd_ = fd;
            return true;
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }

private:
    void close() {
        if (stream_ != nullptr) {
            ::closedir(stream_);
            stream_ = nullptr;
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    DIR* stream_ = nullptr;
    int fd_ = -1;
    std::vector<Entry> pending_;
    std::size_t nextPending_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::size_t pathLength_ = 0;
};

DIR* openStream(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    DIR* stream = ::fdopendir(fd);
    if (stream == nullptr) {
        ::close(fd);
    }
    return stream;
}

}  // namespace

bool walkDescendants(const std::filesystem::path& folder,
                     const std::function<void(const std::filesystem::path&)>& visit,
                     std::size_t openFolderLimit) {
    return walkDescendantsAt(
        folder, [&visit](const std::string& path, int, const char*) { visit(std::filesystem::path(path)); },
        openFolderLimit);
}

bool walkDescendantsAt(const std::filesystem::path& folder, const VisitAt& visit, std::size_t openFolderLimit,
                       const LeavingFolder& leaving) {
    const auto leave = [&leaving](const Level& level) {
        if (leaving && level.isOpen()) {
            leaving(level.fd());
        }
    };
    openFolderLimit = std::max<std::size_t>(openFolderLimit, 1);
    DIR* top = openStream(openAnyLength(folder.native(), kFolderFlags));
    if (top == nullptr) {
        return false;
    }

    std::string path = folder.native();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path == "/") {
        path.clear();
    }

    std::vector<Level> levels;
    levels.emplace_back(top, path.size());
    std::size_t firstOpen = 0;  // levels below this index are released; the open ones are a suffix

    while (!levels.empty()) {
        std::optional<Entry> entry = levels.back().next();
        if (!entry) {
            leave(levels.back());
            const std::size_t parent = levels.size() - 2;
            if (levels.size() > 1 && !levels[parent].isOpen()) {
                // Climbing back into a released folder: ".." from here is cheapest, and the identity
                // check in reopen() guards against the tree having moved meanwhile. A folder found
                // neither way still serves its remaining names; only its subfolders are not entered.
                Level& released = levels[parent];
                if (!released.reopen(::openat(levels.back().fd(), "..", kReopenFlags))) {
                    path.resize(released.pathLength());
                    released.reopen(openAnyLength(path.empty() ? "/" : path, kReopenFlags));
                }
                firstOpen = parent;
            }
            levels.pop_back();
            continue;
        }

        Level& level = levels.back();
        path.resize(level.pathLength());
        path += '/';
        path += entry->name;
        visit(path, level.isOpen() ? level.fd() : -1, entry->name.c_str());
        if (!entry->isFolder || !level.isOpen()) {
            continue;
        }

        // O_NOFOLLOW: a folder swapped for a symbolic link since it was listed is not entered.
        DIR* child = openStream(::openat(level.fd(), entry->name.c_str(), kFolderFlags | O_NOFOLLOW));
        if (child == nullptr) {
            continue;
        }
        levels.emplace_back(child, path.size());
        if (levels.size() - firstOpen > openFolderLimit) {
            leave(levels[firstOpen]);
            levels[firstOpen].release();
            ++firstOpen;
        }
    }
    return true;
}

}  // namespace vellumark
