#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vellumark {

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
    // entry in /proc/self/fd, which stays short.
    const char* pathForAttributes() const { return attributePath_; }

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
