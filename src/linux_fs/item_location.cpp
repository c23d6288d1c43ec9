#include "linux_fs/item_location.h"

#include <cerrno>
#include <fcntl.h>
#include <limits.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vellumark {

namespace {

bool fitsPathMax(std::string_view path) {
    return path.size() < PATH_MAX;
}

// No file name holds a NUL byte; passed on as a C string, such a path would name another item.
bool hasNulByte(std::string_view path) {
    return path.find('\0') != std::string_view::npos;
}

}  // namespace

ssize_t getAttribute(const ItemRef& at, const char* attribute, void* value, std::size_t size) {
    return at.followsAttributePath ? ::getxattr(at.attributePath, attribute, value, size)
                                   : ::lgetxattr(at.attributePath, attribute, value, size);
}

int setAttribute(const ItemRef& at, const char* attribute, const void* value, std::size_t size) {
    return at.followsAttributePath ? ::setxattr(at.attributePath, attribute, value, size, 0)
                                   : ::lsetxattr(at.attributePath, attribute, value, size, 0);
}

int openAnyLength(std::string_view path, int flags) {
    if (hasNulByte(path)) {
        errno = ENOENT;
        return -1;
    }
    flags |= O_CLOEXEC;
    if (fitsPathMax(path)) {
        return ::open(std::string(path).c_str(), flags);
    }

    int folder = AT_FDCWD;
    if (path.front() == '/') {
        folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            return -1;
        }
        path.remove_prefix(1);
    }
    // Each piece ends at a separator and stays below PATH_MAX; the folders between are opened O_PATH,
    // following symbolic links exactly as a single path walk would.
    while (true) {
        while (!path.empty() && path.front() == '/') {
            path.remove_prefix(1);
        }
        const bool last = fitsPathMax(path);
        std::size_t end = path.size();
        if (!last) {
            end = path.rfind('/', PATH_MAX - 1);
            if (end == std::string_view::npos || end == 0) {
                if (folder != AT_FDCWD) {
                    ::close(folder);
                }
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        const std::string piece(path.substr(0, end));
        const int next = ::openat(folder, piece.c_str(), last ? flags : (O_PATH | O_DIRECTORY | O_CLOEXEC));
        const int savedErrno = errno;
        if (folder != AT_FDCWD) {
            ::close(folder);
        }
        if (next < 0 || last) {
            errno = savedErrno;
            return next;
        }
        folder = next;
        path.remove_prefix(end);
    }
}

ItemLocation::ItemLocation(const std::filesystem::path& path) : folder_(AT_FDCWD) {
    const std::string& text = path.native();
    if (hasNulByte(text)) {
        error_ = ENOENT;
        return;
    }
    if (fitsPathMax(text)) {
        name_ = text.c_str();
        attributePath_ = name_;
        return;
    }

    std::string_view parent(text);
    while (parent.size() > 1 && parent.back() == '/') {
        parent.remove_suffix(1);
    }
    const std::size_t separator = parent.rfind('/');
    if (separator == std::string_view::npos) {
        error_ = ENAMETOOLONG;
        return;
    }
    leaf_ = std::string(parent.substr(separator + 1));
    parent = parent.substr(0, separator == 0 ? 1 : separator);

    ownedFolder_ = openAnyLength(parent, O_PATH | O_DIRECTORY);
    if (ownedFolder_ < 0) {
        error_ = errno;
        return;
    }
    folder_ = ownedFolder_;
    name_ = leaf_.c_str();
    procPath_ = "/proc/thread-self/fd/" + std::to_string(ownedFolder_) + "/" + leaf_;
    attributePath_ = procPath_.c_str();
}

ItemRef ItemLocation::ref() const {
    return {folder_, name_, AT_SYMLINK_NOFOLLOW, attributePath_, false};
}

ItemLocation::~ItemLocation() {
    if (ownedFolder_ >= 0) {
        ::close(ownedFolder_);
    }
}

}  // namespace vellumark
