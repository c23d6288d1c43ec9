#include "linux_fs/opened_item.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace vellumark {

namespace {

constexpr int kItemFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

// One component at a time, each folder opened without following a link: for kernels before Linux 5.6,
// which lack openat2, and for paths longer than PATH_MAX.
int openWithoutLinksByComponent(std::string_view path) {
    int folder = AT_FDCWD;
    if (path.starts_with('/')) {
        folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            return -1;
        }
    }
    std::size_t start = 0;
    while (true) {
        while (start < path.size() && path[start] == '/') {
            ++start;
        }
        if (start >= path.size()) {
            // The path names a folder already open ("/" itself), or nothing at all.
            if (folder == AT_FDCWD) {
                errno = ENOENT;
            }
            return folder == AT_FDCWD ? -1 : folder;
        }
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string name(path.substr(start, end - start));
        const bool last = path.find_first_not_of('/', end) == std::string_view::npos;
        int next = ::openat(folder, name.c_str(), last ? kItemFlags : kItemFlags | O_DIRECTORY);
        int error = errno;
        struct stat found {};
        if (next < 0 && error == ENOTDIR &&
            ::fstatat(folder, name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(found.st_mode)) {
            error = ELOOP;
        }
        if (folder != AT_FDCWD) {
            ::close(folder);
        }
        if (next < 0 || last) {
            errno = error;
            return next;
        }
        folder = next;
        start = end;
    }
}

int openWithoutLinks(const std::string& path) {
    if (path.size() < PATH_MAX) {
        open_how how{};
        how.flags = kItemFlags;
        how.resolve = RESOLVE_NO_SYMLINKS;
        const long descriptor = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
        if (descriptor >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return static_cast<int>(descriptor);
        }
        // ENOSYS before Linux 5.6; EPERM where a sandbox's filter refuses what it does not know.
    }
    return openWithoutLinksByComponent(path);
}

}  // namespace

OpenedItem::OpenedItem(const std::filesystem::path& path, Links links) {
    const std::string& text = path.native();
    if (text.empty() || text.find('\0') != std::string::npos) {
        error_ = ENOENT;
        return;
    }
    descriptor_ = links == Links::none ? openWithoutLinks(text) : openAnyLength(text, kItemFlags);
    if (descriptor_ < 0) {
        error_ = errno;
        return;
    }
    nameProcPath();
}

OpenedItem::OpenedItem(int folder, const std::string& name) {
    descriptor_ = ::openat(folder, name.c_str(), kItemFlags);
    if (descriptor_ < 0) {
        error_ = errno;
        return;
    }
    nameProcPath();
}

OpenedItem::OpenedItem(OpenedItem&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), error_(other.error_), procPath_(other.procPath_) {}

OpenedItem::~OpenedItem() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

// Without snprintf, whose formatting costs more than a system call: a run names one for every item.
void OpenedItem::nameProcPath() {
    // The calling thread's own entry: a writer's descriptors may be in a table of its own, which
    // /proc/self, the process's first thread's, does not show.
    constexpr std::string_view kFolder = "/proc/thread-self/fd/";
    char* const end = procPath_.data() + procPath_.size() - 1;  // room for the terminating zero
    char* const digits = std::copy(kFolder.begin(), kFolder.end(), procPath_.data());
    *std::to_chars(digits, end, descriptor_).ptr = '\0';
}

ItemRef OpenedItem::ref() const {
    return {descriptor_, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, procPath_.data(), true};
}

}  // namespace vellumark
