#pragma once

#include "linux_fs/item_location.h"

#include <array>
#include <filesystem>
#include <string>

namespace vellumark {

// An item opened as a descriptor (O_PATH), a final symbolic link not followed, so that its dates are read
// and written through the descriptor: once it is open, no folder on its path can be renamed or replaced
// to redirect a write elsewhere.
class OpenedItem {
public:
    enum class Links {
        // Links in the folders on the path are followed, as when the path was listed; what is opened must
        // then be checked to be the file that was listed.
        inFolders,
        // No link anywhere on the path: for an item nothing vouches for.
        none,
    };

    OpenedItem(const std::filesystem::path& path, Links links);
    // The item `name` in the open folder `folder`, as Links::inFolders opens it: the folder was reached
    // the way its path leads, and the item's own link, if it is one, is not followed.
    OpenedItem(int folder, const std::string& name);
    ~OpenedItem();
    OpenedItem(const OpenedItem&) = delete;
    OpenedItem& operator=(const OpenedItem&) = delete;
    OpenedItem(OpenedItem&& other) noexcept;
    OpenedItem& operator=(OpenedItem&&) = delete;

    // False when the item could not be opened; error() then holds the errno value (ELOOP for a link
    // met where none may be).
    bool isOpen() const { return descriptor_ >= 0; }
    int error() const { return error_; }
    int descriptor() const { return descriptor_; }

    ItemRef ref() const;

private:
    void nameProcPath();

    int descriptor_ = -1;
    int error_ = 0;
    std::array<char, 40> procPath_{};
};

}  // namespace vellumark
