#pragma once

#include "app_model/file_access.h"
#include "app_model/open_panel.h"
#include "model/file_item.h"

#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace vellumark {

struct ReadDates {
    std::optional<Date> creationDate;
    std::optional<Date> modificationDate;
    bool isDirectory = false;
};

// Never fails: whatever cannot be read is absent; a missing item is (absent, absent, false).
ReadDates readDates(const FileAccess& files, const std::filesystem::path& url);

// `.` and `..` components removed lexically, no trailing separator ("/a/b/../c/" -> "/a/c").
std::filesystem::path standardizedPath(const std::filesystem::path& path);

// Each URL, followed by its non-hidden descendants when it is a folder and `includeSubfolderContents`
// is set. Nothing is standardized or deduplicated here.
std::vector<std::filesystem::path> expandURLs(const FileAccess& files,
                                              std::span<const std::filesystem::path> urls,
                                              bool includeSubfolderContents);

// The new items to append: every expanded URL whose standardized path is neither listed already nor
// met earlier in this call. Paths compare equal under Unicode canonical equivalence (case-sensitive).
std::vector<FileItem> collectItems(const FileAccess& files, std::span<const FileItem> currentItems,
                                   std::span<const std::filesystem::path> urls,
                                   bool includeSubfolderContents);

inline constexpr const char* kAddPanelMessage = "Choose files or folders whose dates you want to change.";

// Files and folders, several at once; nullopt when cancelled.
std::optional<std::vector<std::filesystem::path>> runAddPanel(OpenPanel& panel);

}  // namespace vellumark
