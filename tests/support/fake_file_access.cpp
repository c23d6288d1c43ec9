#include "support/fake_file_access.h"

#include <iterator>
#include <utility>

namespace vellumark::testing {

void FakeFileAccess::addFile(const std::filesystem::path& path, std::optional<DateAttributes> dates) {
    entries_[path] = Entry{false, dates};
}

void FakeFileAccess::addFile(const std::filesystem::path& path, std::optional<Date> creation,
                             std::optional<Date> modification) {
    addFile(path, DateAttributes{creation, modification});
}

void FakeFileAccess::addFolder(const std::filesystem::path& path, std::optional<DateAttributes> dates) {
    entries_[path] = Entry{true, dates};
}

void FakeFileAccess::addFolder(const std::filesystem::path& path, std::optional<Date> creation,
                               std::optional<Date> modification) {
    addFolder(path, DateAttributes{creation, modification});
}

void FakeFileAccess::addUnreadable(const std::filesystem::path& path) {
    addFile(path, std::nullopt);
}

void FakeFileAccess::mount(const std::filesystem::path& folder, const VolumeCapabilities& volume) {
    mounts_.insert_or_assign(folder.native() + '/', volume);
}

ItemInfo FakeFileAccess::inspect(const std::filesystem::path& path) const {
    ItemInfo info = FileAccess::inspect(path);
    for (const auto& [folder, volume] : mounts_) {
        if (path.native().starts_with(folder)) {
            info.volume = volume;
        }
    }
    return info;
}

void FakeFileAccess::failEnumerating(const std::filesystem::path& folder) {
    unenumerable_.insert(folder);
}

void FakeFileAccess::failWriting(const std::filesystem::path& path, std::string reason) {
    writeFailures_[path] = std::move(reason);
}

Existence FakeFileAccess::fileExists(const std::filesystem::path& path) const {
    ++existenceTests;
    const auto found = entries_.find(path);
    return found == entries_.end() ? Existence{} : Existence{true, found->second.isDirectory};
}

std::optional<DateAttributes> FakeFileAccess::attributes(const std::filesystem::path& path) const {
    ++attributeReads;
    const auto found = entries_.find(path);
    return found == entries_.end() ? std::nullopt : found->second.dates;
}

bool FakeFileAccess::enumerateDescendants(
    const std::filesystem::path& folder,
    const std::function<void(const std::filesystem::path&)>& visit) const {
    const auto found = entries_.find(folder);
    if (found == entries_.end() || !found->second.isDirectory || unenumerable_.contains(folder)) {
        return false;
    }
    // Paths order component by component, so a folder comes right before its contents.
    for (auto entry = std::next(found); entry != entries_.end(); ++entry) {
        const std::filesystem::path relative = entry->first.lexically_relative(folder);
        if (relative.empty() || *relative.begin() == "..") {
            break;
        }
        bool hidden = false;
        for (const auto& part : relative) {
            hidden = hidden || part.native().starts_with('.');
        }
        if (!hidden) {
            visit(entry->first);
        }
    }
    return true;
}

// Reports no identities when reading, so none is checked here.
std::optional<std::string> FakeFileAccess::setAttributes(const std::filesystem::path& path,
                                                         const std::optional<ItemIdentity>&,
                                                         const DateAttributes& dates) {
    if (duringWrite) {
        duringWrite();
    }
    writes.push_back({path.native(), dates});
    if (const auto failure = writeFailures_.find(path); failure != writeFailures_.end()) {
        return failure->second;
    }
    const auto found = entries_.find(path);
    if (found == entries_.end()) {
        return "No such file or directory";
    }
    if (!found->second.dates) {
        return "Permission denied";
    }
    if (dates.creationDate) {
        found->second.dates->creationDate = dates.creationDate;
    }
    if (dates.modificationDate) {
        found->second.dates->modificationDate = dates.modificationDate;
    }
    return std::nullopt;
}

}  // namespace vellumark::testing
