#pragma once

#include <cstdint>

namespace vellumark {

// Which file an item is, as the file system numbers it when the item is listed: a hard link, or a folder
// reached by another route, has the identity of the file it names, while two files whose names merely
// look alike have two. Compared again before writing, it tells whether the path still leads to that file.
struct ItemIdentity {
    std::uint64_t device = 0;
    // 0 on a volume that numbers its files afresh whenever it likes (most FUSE drivers): only the volume
    // is known then.
    std::uint64_t inode = 0;
    // The kernel's id of the mount, 0 where it gives none: a volume mounted again is another place.
    std::uint64_t mount = 0;

    friend bool operator==(const ItemIdentity&, const ItemIdentity&) = default;

    // Whether both name one file at this moment, whatever mount they were reached through.
    bool isSameFile(const ItemIdentity& other) const {
        return inode != 0 && device == other.device && inode == other.inode;
    }
};

}  // namespace vellumark
