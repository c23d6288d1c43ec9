#pragma once

#include "app_model/file_access.h"

#include <memory>

namespace vellumark {

// FileAccess on Linux: statx and utimensat for the modification date; for the creation date, statx
// birth time where the file system reports one, and the extended attributes of NTFS (ntfs-3g) and SMB
// mounts where it can also be written. Elsewhere writing a creation date fails with a plain reason.
//
// What kind of file system each mount is gets learnt once and kept for the life of the instance; which
// folder was just seen keeping a written date is kept for a moment, to spare reading back the next ones.
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
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const DateAttributes& dates) override;

    class Volumes;

private:
    std::unique_ptr<Volumes> volumes_;
};

}  // namespace vellumark
