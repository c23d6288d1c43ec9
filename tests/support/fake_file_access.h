#pragma once

#include "app_model/file_access.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vellumark::testing {

// Files and folders in memory, for what a real file system cannot produce on demand (a folder that exists
// but cannot be listed, unreadable dates, a write that fails) and for counting file accesses.
class FakeFileAccess final : public FileAccess {
public:
    struct Write {
        std::string path;
        DateAttributes dates;
    };

    // Dates nullopt: the item exists but its dates cannot be read.
    void addFile(const std::filesystem::path& path, std::optional<DateAttributes> dates = DateAttributes{});
    void addFile(const std::filesystem::path& path, std::optional<Date> creation,
                 std::optional<Date> modification);
    void addFolder(const std::filesystem::path& path, std::optional<DateAttributes> dates = DateAttributes{});
    void addFolder(const std::filesystem::path& path, std::optional<Date> creation,
                   std::optional<Date> modification);
    void addUnreadable(const std::filesystem::path& path);

    // Items under `folder` lie on a volume that can do what `volume` says (see support/volumes.h).
    void mount(const std::filesystem::path& folder, const VolumeCapabilities& volume);
    void failEnumerating(const std::filesystem::path& folder);
    void failWriting(const std::filesystem::path& path, std::string reason);

    Existence fileExists(const std::filesystem::path& path) const override;
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override;
    ItemInfo inspect(const std::filesystem::path& path) const override;
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override;
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const std::optional<ItemIdentity>& listed,
                                             const DateAttributes& dates) override;

    int fileAccesses() const { return existenceTests + attributeReads + static_cast<int>(writes.size()); }

    mutable int existenceTests = 0;
    mutable int attributeReads = 0;
    std::vector<Write> writes;          // every write asked for, failed ones included
    std::function<void()> duringWrite;  // called as each write begins, to look at the model mid-run

private:
    struct Entry {
        bool isDirectory = false;
        std::optional<DateAttributes> dates;
    };

    std::map<std::filesystem::path, Entry> entries_;
    std::set<std::filesystem::path> unenumerable_;
    std::map<std::filesystem::path, std::string> writeFailures_;
    std::map<std::string, VolumeRef> mounts_;  // by folder, with a trailing separator
};

}  // namespace vellumark::testing
