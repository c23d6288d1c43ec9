#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vellumark {

// One item as the *at() and *xattr() calls take it: a folder descriptor and a name relative to it, or an
// item opened beforehand as its own descriptor and an empty name.
struct ItemRef {
    int folder;
    const char* name;
    // For statx and utimensat: a final symbolic link is never followed.
    int flags;
    const char* attributePath;
    // A descriptor's entry in /proc/thread-self/fd is followed, to the item itself (a symbolic link
    // included).
    bool followsAttributePath;
};

// The extended attribute `attribute` of the item, as getxattr and setxattr do.
ssize_t getAttribute(const ItemRef& at, const char* attribute, void* value, std::size_t size);
int setAttribute(const ItemRef& at, const char* attribute, const void* value, std::size_t size);

// Opens `path` with `flags` (O_CLOEXEC is added) whatever its length: a path longer than PATH_MAX is
// opened piece by piece with openat. Returns the descriptor, or -1 with errno set.
int openAnyLength(std::string_view path, int flags);

// Where one item lives, in the forms the *at() system calls and the l*xattr() calls take. A path shorter
// than PATH_MAX is used as it is, without any system call; a longer one has its parent folder opened.
class ItemLocation {
public:
    explicit ItemLocation(const std::filesystem::path& path);
    ~ItemLocation();
    ItemLocation(const ItemLocation&) = delete;
    ItemLocation& operator=(const ItemLocation&) = delete;

    // False when the parent of a long path could not be opened; error() then holds the errno value.
    bool isValid() const { return error_ == 0; }
    int error() const { return error_; }

    // The folder descriptor (AT_FDCWD for a short path) and the item's name relative to it.
    int folder() const { return folder_; }
    const char* name() const { return name_; }

    // A path naming the item for calls that have no *at() form. Long paths go through the open parent's
    // entry in /proc/thread-self/fd, which stays short.
    const char* pathForAttributes() const { return attributePath_; }

    ItemRef ref() const;

private:
    int folder_;
    int ownedFolder_ = -1;
    int error_ = 0;
    const char* name_ = nullptr;
    const char* attributePath_ = nullptr;
    std::string leaf_;
    std::string procPath_;
};

}  // namespace vellumark
