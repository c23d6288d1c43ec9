#include "test_support.h"

namespace vellumark::testing {

void InMemoryFileAccess::addFile(const std::filesystem::path& path, std::optional<Date> creation,
                                 std::optional<Date> modification) {
    entries_[path] = Entry{false, DateAttributes{creation, modification}};
}

void InMemoryFileAccess::addFolder(const std::filesystem::path& path, std::optional<Date> creation,
                                   std::optional<Date> modification) {
    entries_[path] = Entry{true, DateAttributes{creation, modification}};
}

void InMemoryFileAccess::addUnreadable(const std::filesystem::path& path) {
    entries_[path] = Entry{false, std::nullopt};
}

Existence InMemoryFileAccess::fileExists(const std::filesystem::path& path) const {
    const auto found = entries_.find(path);
    if (found == entries_.end()) {
        return {};
    }
    return {true, found->second.isDirectory};
}

std::optional<DateAttributes> InMemoryFileAccess::attributes(const std::filesystem::path& path) const {
    const auto found = entries_.find(path);
    return found == entries_.end() ? std::nullopt : found->second.dates;
}

bool InMemoryFileAccess::enumerateDescendants(
    const std::filesystem::path& folder,
    const std::function<void(const std::filesystem::path&)>& visit) const {
    const auto found = entries_.find(folder);
    if (found == entries_.end() || !found->second.isDirectory) {
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

std::optional<std::string> InMemoryFileAccess::setAttributes(const std::filesystem::path& path,
                                                             const DateAttributes& dates) {
    const auto found = entries_.find(path);
    if (found == entries_.end() || !found->second.dates) {
        return "No such file or directory";
    }
    if (dates.creationDate) {
        found->second.dates->creationDate = dates.creationDate;
    }
    if (dates.modificationDate) {
        found->second.dates->modificationDate = dates.modificationDate;
    }
    return std::nullopt;
}

std::optional<std::vector<std::filesystem::path>> ScriptedOpenPanel::runModal(
    const OpenPanelOptions& options) {
    asked.push_back(options);
    std::optional<std::vector<std::filesystem::path>> answer;
    if (!answers_.empty()) {
        answer.swap(answers_.front());
        answers_.pop_front();
    }
    return answer;
}

}  // namespace vellumark::testing
