#pragma once

#include "app_model/file_access.h"

#include <memory>

namespace vellumark {

class VolumeTable;

// FileAccess on Linux: statx and utimensat for the modification date; for the creation date, statx
// birth time where the file system reports one, and the extended attributes of NTFS (ntfs-3g) and SMB
// mounts where it can also be written. Elsewhere writing a creation date fails with a plain reason.
//
// Dates are written through the item's own descriptor, and only to the file that was listed (see
// setAttributes), and every write is read back. What kind of file system each mount is gets learnt once
// and kept for the life of the instance. Every member may be called from several threads at once.
class LinuxFileAccess final : public FileAccess {
public:
    LinuxFileAccess();
    ~LinuxFileAccess() override;
    LinuxFileAccess(const LinuxFileAccess&) = delete;
    LinuxFileAccess& operator=(const LinuxFileAccess&) = delete;

    Existence fileExists(const std::filesystem::path& path) const override;
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override;
    ItemInfo inspect(const std::filesystem::path& path) const override;
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override;
    bool inspectDescendants(const std::filesystem::path& folder, const InspectedVisit& visit) const override;
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const std::optional<ItemIdentity>& listed,
                                             const DateAttributes& dates) override;
    // The read that verifies the write is the one returned; only a symbolic link gets a second look, at
    // what it points to, as in inspect.
    WrittenItem writeAndInspect(const std::filesystem::path& path, const std::optional<ItemIdentity>& listed,
                                const DateAttributes& dates) override;
    // Keeps the folder of the items written last open, and opens the next item in it while it is in the
    // same folder.
    std::unique_ptr<WriteSession> writeSession() const override;
    WrittenItem writeInSession(WriteSession* session, const std::filesystem::path& path,
                               const std::optional<ItemIdentity>& listed,
                               const DateAttributes& dates) override;
    // Gives the thread a table of descriptors of its own: each writer opens and closes a descriptor for
    // every item, which in a table shared with the other writers costs them turns at its lock and a count
    // kept on every use.
    void enterWriterThread() const override;
    bool takesConcurrentCalls() const override { return true; }

private:
    // setAttributes, and with `describe` the item afterwards as writeAndInspect gives it.
    // With `folders`, the item is opened in the folder it keeps.
    WrittenItem write(const std::filesystem::path& path, const std::optional<ItemIdentity>& listed,
                      const DateAttributes& dates, bool describe, WriteSession* folders = nullptr);

    std::unique_ptr<VolumeTable> volumes_;
    // The threads that read ahead of a walk, kept from one walk to the next.
    struct WalkReaders;
    std::unique_ptr<WalkReaders> walkReaders_;
};

}  // namespace vellumark
