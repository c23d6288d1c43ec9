#pragma once

#include "app_model/file_access.h"
#include "model/volume_capabilities.h"
#include "support/fake_file_access.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>

namespace vellumark::testing {

// ext4 with 128-byte inodes: no creation date to write, and 32-bit seconds.
inline VolumeCapabilities ext4Volume() {
    VolumeCapabilities volume;
    volume.fileSystem = "ext4";
    volume.canWriteCreation = false;
    volume.earliest = Date::fromParts(std::numeric_limits<std::int32_t>::min());
    volume.latest = Date::fromParts(std::numeric_limits<std::int32_t>::max());
    return volume;
}

// FAT: creation set by the file system, dates from 1980 to 2107 in steps of two seconds.
inline VolumeCapabilities fatVolume() {
    VolumeCapabilities volume;
    volume.fileSystem = "FAT";
    volume.canWriteCreation = false;
    volume.earliest = Date::fromParts(315'619'200);  // 1980-01-02: a day to spare for local time
    volume.latest = Date::fromParts(4'354'732'798);  // 2107-12-30 23:59:58
    volume.granularity = 2 * Date::kNanosecondsPerSecond;
    return volume;
}

// NTFS through ntfs-3g: creation dates written like any other, from 1601 to 30828.
inline VolumeCapabilities ntfsVolume() {
    VolumeCapabilities volume;
    volume.fileSystem = "ntfs-3g";
    volume.earliest = Date::fromParts(-11'644'473'600);  // 1601-01-01
    volume.latest = Date::fromParts(910'692'730'085);    // 30828-09-14
    volume.granularity = 100;
    return volume;
}

// Forwards to the in-memory files, and tells each item's volume by the folder mounted above it, as the
// Linux backend does. Lets a test look at the window in the middle of a run, too.
class MountedFileAccess final : public FileAccess {
public:
    explicit MountedFileAccess(FakeFileAccess& files) : files_(files) {}

    void mount(const std::filesystem::path& folder, const VolumeCapabilities& volume) {
        mounts_.insert_or_assign(folder.native() + '/', VolumeCapabilities::shared(volume));
    }

    Existence fileExists(const std::filesystem::path& path) const override { return files_.fileExists(path); }
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override {
        return files_.attributes(path);
    }
    ItemInfo inspect(const std::filesystem::path& path) const override {
        ItemInfo info = FileAccess::inspect(path);
        for (const auto& [folder, volume] : mounts_) {
            if (path.native().starts_with(folder)) {
                info.volume = volume;
            }
        }
        return info;
    }
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override {
        return files_.enumerateDescendants(folder, visit);
    }
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const DateAttributes& dates) override {
        if (duringWrite) {
            duringWrite();
        }
        return files_.setAttributes(path, dates);
    }

    std::function<void()> duringWrite;

private:
    FakeFileAccess& files_;
    std::map<std::string, VolumeRef> mounts_;  // by folder, with a trailing separator
};

}  // namespace vellumark::testing
