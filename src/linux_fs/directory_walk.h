#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace vellumark {

inline constexpr std::size_t kDefaultOpenFolderLimit = 64;

// Visits the full path of every descendant of `folder`, depth first, each folder before its contents, in
// the order the file system lists them. Names beginning with "." are neither visited nor entered, symbolic
// links are visited but never followed, and subfolders that cannot be opened are skipped. Paths may grow
// past PATH_MAX: folders are opened relative to their parent.
//
// At most `openFolderLimit` folders are held open at once; deeper down, the rest of a shallower folder's
// listing is kept in memory and the folder is reopened when the walk climbs back to it. Those names are
// visited even when the folder was moved or locked meanwhile; only subfolders among them are then skipped
// if it cannot be found again.
//
// Returns false, visiting nothing, when `folder` itself cannot be opened.
bool walkDescendants(const std::filesystem::path& folder,
                     const std::function<void(const std::filesystem::path&)>& visit,
                     std::size_t openFolderLimit = kDefaultOpenFolderLimit);

// The same walk, giving each descendant also as `name` within the open folder `folder`, for the *at()
// calls; `folder` is -1 where the walk had to let its folder go, and only the path names the item then.
// `leaving`, when given, is called with each open folder just before the walk closes it, so that a caller
// may keep the names of one folder to read them together, as long as it reads them by then.
using VisitAt = std::function<void(const std::string& path, int folder, const char* name)>;
using LeavingFolder = std::function<void(int folder)>;
bool walkDescendantsAt(const std::filesystem::path& folder, const VisitAt& visit,
                       std::size_t openFolderLimit = kDefaultOpenFolderLimit,
                       const LeavingFolder& leaving = {});

}  // namespace vellumark
