#pragma once

#include "app_model/file_access.h"
#include "app_model/open_panel.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellumark::testing {

// An in-memory file system for what a real one cannot produce on demand (a folder that exists but cannot
// be listed, unreadable attributes, a write that fails) and for counting file accesses.
class FakeFileAccess final : public FileAccess {
public:
    struct Entry {
        std::string path;
        bool isDirectory = false;
        std::optional<DateAttributes> dates;  // nullopt: unreadable
    };

    struct Write {
        std::string path;
        DateAttributes dates;
    };

    void addFile(std::string path, std::optional<DateAttributes> dates = DateAttributes{}) {
        entries_.push_back({std::move(path), false, dates});
    }
    void addFolder(std::string path, std::optional<DateAttributes> dates = DateAttributes{}) {
        entries_.push_back({std::move(path), true, dates});
    }
    void failEnumerating(std::string folder) { unenumerable_.push_back(std::move(folder)); }
    void failWriting(std::string path, std::string reason) {
        writeFailures_[std::move(path)] = std::move(reason);
    }

    const Entry* find(const std::filesystem::path& path) const {
        const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                        [&path](const Entry& e) { return e.path == path.native(); });
        return entry == entries_.end() ? nullptr : &*entry;
    }

    Existence fileExists(const std::filesystem::path& path) const override {
        ++existenceTests;
        const Entry* entry = find(path);
        return entry ? Existence{true, entry->isDirectory} : Existence{};
    }

    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override {
        ++attributeReads;
        const Entry* entry = find(path);
        return entry ? entry->dates : std::nullopt;
    }

    // Descendants in the order they were added.
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override {
        if (std::find(unenumerable_.begin(), unenumerable_.end(), folder.native()) != unenumerable_.end()) {
            return false;
        }
        const std::string prefix = folder.native() + "/";
        for (const Entry& entry : entries_) {
            if (entry.path.starts_with(prefix)) {
                visit(entry.path);
            }
        }
        return true;
    }

    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const DateAttributes& dates) override {
        writes.push_back({path.native(), dates});
        if (const auto failure = writeFailures_.find(path.native()); failure != writeFailures_.end()) {
            return failure->second;
        }
        if (find(path) == nullptr) {
            return "the item vanished";
        }
        for (Entry& entry : entries_) {
            if (entry.path == path.native() && entry.dates) {
                entry.dates->creationDate =
                    dates.creationDate ? dates.creationDate : entry.dates->creationDate;
                entry.dates->modificationDate =
                    dates.modificationDate ? dates.modificationDate : entry.dates->modificationDate;
            }
        }
        return std::nullopt;
    }

    int fileAccesses() const { return existenceTests + attributeReads + static_cast<int>(writes.size()); }

    mutable int existenceTests = 0;
    mutable int attributeReads = 0;
    std::vector<Write> writes;

private:
    std::vector<Entry> entries_;
    std::vector<std::string> unenumerable_;
    std::map<std::string, std::string> writeFailures_;
};

// Answers with a prepared choice and remembers how it was asked.
class ScriptedOpenPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) override {
        asked.push_back(options);
        return answer;
    }

    std::optional<std::vector<std::filesystem::path>> answer;
    std::vector<OpenPanelOptions> asked;
};

}  // namespace vellumark::testing
