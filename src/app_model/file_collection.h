#pragma once

#include "app_model/file_access.h"
#include "app_model/open_panel.h"
#include "model/file_item.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

struct ReadDates {
    std::optional<Date> creationDate;
    std::optional<Date> modificationDate;
    bool isDirectory = false;
    VolumeRef volume;
    std::optional<ItemIdentity> identity;
};

// Never fails: whatever cannot be read is absent; a missing item is (absent, absent, false) on a volume
// not known, and has no identity unless a dangling link stands there.
ReadDates readDates(const FileAccess& files, const std::filesystem::path& url);

// The same, from an answer of FileAccess::inspect.
ReadDates readDatesFrom(const ItemInfo& info);

// A new item for `path` from what was read of it.
FileItem itemFromRead(std::string path, const ReadDates& dates);

// `.` and `..` components and repeated separators removed lexically, no trailing separator
// ("/a/b/../c/" -> "/a/c", "/.." -> "/"). Symbolic links are not resolved.
std::filesystem::path standardizedPath(const std::filesystem::path& path);
std::string standardizedPathBytes(std::string_view path);

// Each URL, followed by its non-hidden descendants when it is a folder and `includeSubfolderContents`
// is set. Nothing is standardized or deduplicated here.
std::vector<std::filesystem::path> expandURLs(const FileAccess& files,
                                              std::span<const std::filesystem::path> urls,
                                              bool includeSubfolderContents);

// The new items to append: every expanded URL, at its standardized path, that is neither listed already
// nor met earlier in this call, as sameListedItem tells.
std::vector<FileItem> collectItems(const FileAccess& files, std::span<const FileItem> currentItems,
                                   std::span<const std::filesystem::path> urls,
                                   bool includeSubfolderContents);

// The first half of collectItems, for a worker thread: each expanded URL read into a new item at its
// standardized path, handed to `take` in order. Nothing is compared with the list. Ends early, walking no
// further, once `stop` is requested.
void readItems(const FileAccess& files, std::span<const std::filesystem::path> urls,
               bool includeSubfolderContents, const std::stop_token& stop,
               const std::function<void(FileItem&&)>& take);

inline constexpr const char* kAddPanelMessage = "Choose files or folders whose dates you want to change.";

// Files and folders, several at once; nullopt when cancelled.
std::optional<std::vector<std::filesystem::path>> runAddPanel(OpenPanel& panel);

}  // namespace vellumark
