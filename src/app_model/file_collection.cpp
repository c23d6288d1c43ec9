#include "app_model/file_collection.h"

#include "app_model/listed_paths.h"

#include <utility>

namespace vellumark {

namespace {

using Visit = std::function<void(const std::filesystem::path&)>;

void forEachExpandedURL(const FileAccess& files, std::span<const std::filesystem::path> urls,
                        bool includeSubfolderContents, const Visit& visit) {
    for (const std::filesystem::path& url : urls) {
        visit(url);
        if (includeSubfolderContents && files.fileExists(url).isDirectory) {
            // A folder that cannot be enumerated contributes only itself.
            files.enumerateDescendants(url, visit);
        }
    }
}

FileItem readItem(const FileAccess& files, const std::filesystem::path& url) {
    std::string path = standardizedPathBytes(url.native());
    // Read at the standardized path: which file it names decides whether it is listed already.
    const ReadDates dates =
        path == url.native() ? readDates(files, url) : readDates(files, std::filesystem::path(path));
    return itemFromRead(std::move(path), dates);
}

// Thrown from a walk's visitor to leave the walk; it never leaves readItems.
struct WalkStopped {};

}  // namespace

ReadDates readDates(const FileAccess& files, const std::filesystem::path& url) {
    return readDatesFrom(files.inspect(url));
}

ReadDates readDatesFrom(const ItemInfo& info) {
    if (!info.existence.exists) {
        return ReadDates{std::nullopt, std::nullopt, false, {}, info.identity};
    }
    ReadDates result;
    result.identity = info.identity;
    result.isDirectory = info.existence.isDirectory;
    result.volume = info.volume;
    if (info.dates) {
        result.creationDate = info.dates->creationDate;
        result.modificationDate = info.dates->modificationDate;
    }
    return result;
}

FileItem itemFromRead(std::string path, const ReadDates& dates) {
    FileItem item =
        FileItem::withPath(std::move(path), dates.creationDate, dates.modificationDate, dates.isDirectory);
    item.volume = dates.volume;
    item.identity = dates.identity;
    return item;
}

std::string standardizedPathBytes(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    const bool absolute = path.front() == '/';
    std::string result;
    result.reserve(path.size());
    if (absolute) {
        result.push_back('/');
    }
    const auto endsWithParent = [&result] {
        const std::size_t n = result.size();
        return n >= 2 && result[n - 1] == '.' && result[n - 2] == '.' && (n == 2 || result[n - 3] == '/');
    };

    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            if (absolute) {
                // Above the root is the root.
                const std::size_t slash = result.rfind('/');
                result.resize(slash == 0 ? 1 : slash);
                continue;
            }
            if (!result.empty() && !endsWithParent()) {
                const std::size_t slash = result.rfind('/');
                result.resize(slash == std::string::npos ? 0 : slash);
                continue;
            }
        }
        if (!result.empty() && result.back() != '/') {
            result.push_back('/');
        }
        result.append(component);
    }
    if (result.empty()) {
        result = ".";
    }
    return result;
}

std::filesystem::path standardizedPath(const std::filesystem::path& path) {
    return std::filesystem::path(standardizedPathBytes(path.native()));
}

std::vector<std::filesystem::path> expandURLs(const FileAccess& files,
                                              std::span<const std::filesystem::path> urls,
                                              bool includeSubfolderContents) {
    std::vector<std::filesystem::path> expanded;
    forEachExpandedURL(files, urls, includeSubfolderContents,
                       [&expanded](const std::filesystem::path& url) { expanded.push_back(url); });
    return expanded;
}

std::vector<FileItem> collectItems(const FileAccess& files, std::span<const FileItem> currentItems,
                                   std::span<const std::filesystem::path> urls,
                                   bool includeSubfolderContents) {
    std::vector<FileItem> collected;
    ListedPaths listed([&](std::size_t position) -> const FileItem& {
        return position < currentItems.size() ? currentItems[position]
                                              : collected[position - currentItems.size()];
    });
    listed.assign(currentItems.size());
    forEachExpandedURL(files, urls, includeSubfolderContents, [&](const std::filesystem::path& url) {
        FileItem item = readItem(files, url);
        if (listed.insert(item, currentItems.size() + collected.size())) {
            collected.push_back(std::move(item));
        }
    });
    return collected;
}

void readItems(const FileAccess& files, std::span<const std::filesystem::path> urls,
               bool includeSubfolderContents, const std::stop_token& stop,
               const std::function<void(FileItem&&)>& take) {
    const auto takeDescendant = [&](const std::string& path, const ItemInfo& info) {
        if (stop.stop_requested()) {
            throw WalkStopped{};
        }
        std::string standard = standardizedPathBytes(path);
        // Under a folder named through "..", the walk's answer may be another file's than the standard
        // path's.
        take(standard == path ? itemFromRead(std::move(standard), readDatesFrom(info))
                              : readItem(files, std::filesystem::path(standard)));
    };
    try {
        for (const std::filesystem::path& url : urls) {
            if (stop.stop_requested()) {
                return;
            }
            take(readItem(files, url));
            if (includeSubfolderContents && files.fileExists(url).isDirectory) {
                files.inspectDescendants(url, takeDescendant);
            }
        }
    } catch (const WalkStopped&) {
    }
}

std::optional<std::vector<std::filesystem::path>> runAddPanel(OpenPanel& panel) {
    OpenPanelOptions options;
    options.canChooseFiles = true;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = true;
    options.message = kAddPanelMessage;
    return panel.runModal(options);
}

}  // namespace vellumark
