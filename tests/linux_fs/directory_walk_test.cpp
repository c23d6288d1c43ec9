#include "linux_fs/directory_walk.h"

#include "linux_fs/linux_file_access.h"
#include "real_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using namespace testing_support;

// The visited paths relative to `folder`.
std::vector<std::string> listing(const FileAccess& files, const std::filesystem::path& folder,
                                 bool* opened = nullptr) {
    std::vector<std::string> names;
    const std::string prefix = folder.native() + "/";
    const bool result = files.enumerateDescendants(folder, [&](const std::filesystem::path& path) {
        EXPECT_EQ(path.native().compare(0, prefix.size(), prefix), 0) << path;
        names.push_back(path.native().substr(prefix.size()));
    });
    if (opened != nullptr) {
        *opened = result;
    }
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

bool isInside(const std::string& path, const std::string& folder) {
    return path.rfind(folder + "/", 0) == 0;
}

// Depth first with each folder before its contents: a folder's descendants follow it as one block.
void expectDepthFirst(const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::size_t j = i + 1;
        while (j < names.size() && isInside(names[j], names[i])) {
            ++j;
        }
        for (std::size_t k = j; k < names.size(); ++k) {
            EXPECT_FALSE(isInside(names[k], names[i]))
                << names[k] << " is apart from its folder " << names[i];
        }
        for (std::size_t k = 0; k < i; ++k) {
            EXPECT_FALSE(isInside(names[k], names[i])) << names[k] << " comes before its folder " << names[i];
        }
    }
}

TEST(DirectoryWalk, ListsANestedTreeDepthFirstWithoutHiddenItems) {
    TemporaryFolder root;
    makeFolder(root / "a");
    makeFolder(root / "a/b");
    writeFile(root / "a/b/c.txt");
    writeFile(root / "a/d.txt");
    makeFolder(root / "a/.git");
    writeFile(root / "a/.git/config");
    writeFile(root / "e.txt");
    writeFile(root / ".hidden.txt");
    makeFolder(root / ".hiddenFolder");
    writeFile(root / ".hiddenFolder/inner.txt");
    makeFolder(root / "f");
    makeFolder(root / "g.app");
    makeFolder(root / "g.app/Contents");
    writeFile(root / "g.app/Contents/Info.plist");

    LinuxFileAccess files;
    bool opened = false;
    const std::vector<std::string> names = listing(files, root.path(), &opened);
    EXPECT_TRUE(opened);
    EXPECT_EQ(sorted(names),
              (std::vector<std::string>{"a", "a/b", "a/b/c.txt", "a/d.txt", "e.txt", "f", "g.app",
                                        "g.app/Contents", "g.app/Contents/Info.plist"}));
    expectDepthFirst(names);
}

TEST(DirectoryWalk, ListsSymbolicLinksWithoutFollowingThem) {
    TemporaryFolder root;
    makeFolder(root / "real");
    writeFile(root / "real/inside.txt");
    makeSymlink("..", root / "real/up");
    makeSymlink("real", root / "linkToFolder");
    makeSymlink("real/inside.txt", root / "linkToFile");
    makeSymlink("loopB", root / "loopA");
    makeSymlink("loopA", root / "loopB");
    makeSymlink("missing", root / "dangling");

    LinuxFileAccess files;
    bool opened = false;
    EXPECT_EQ(sorted(listing(files, root.path(), &opened)),
              (std::vector<std::string>{"dangling", "linkToFile", "linkToFolder", "loopA", "loopB", "real",
                                        "real/inside.txt", "real/up"}));
    EXPECT_TRUE(opened);

    // The folder the caller names is opened even through a link; what lies inside is still not followed.
    EXPECT_EQ(sorted(listing(files, root / "linkToFolder")), (std::vector<std::string>{"inside.txt", "up"}));
}

TEST(DirectoryWalk, ReportsAFolderThatCannotBeOpenedWithoutVisiting) {
    TemporaryFolder root;
    writeFile(root / "file.txt");
    LinuxFileAccess files;
    for (const char* name : {"missing", "file.txt"}) {
        bool opened = true;
        EXPECT_TRUE(listing(files, root / name, &opened).empty()) << name;
        EXPECT_FALSE(opened) << name;
    }
}

TEST(DirectoryWalk, SkipsUnreadableSubfoldersAndGoesOn) {
    TemporaryFolder root;
    makeFolder(root / "open");
    writeFile(root / "open/a.txt");
    makeFolder(root / "locked");
    writeFile(root / "locked/secret.txt");
    makeFolder(root / "open/locked too");
    writeFile(root / "z.txt");
    ::chmod((root / "locked").c_str(), 0);
    ::chmod((root / "open/locked too").c_str(), 0);

    const std::string answer = runUnprivileged([&] {
        LinuxFileAccess files;
        std::string text;
        bool opened = false;
        for (const std::string& name : sorted(listing(files, root.path(), &opened))) {
            text += name + "\n";
        }
        const bool lockedOpened =
            files.enumerateDescendants(root / "locked", [](const std::filesystem::path&) {});
        return text + (opened ? "opened" : "not opened") +
               (lockedOpened ? ", locked opened" : ", locked not opened");
    });
    EXPECT_EQ(answer, "locked\nopen\nopen/a.txt\nopen/locked too\nz.txt\nopened, locked not opened");
}

TEST(DirectoryWalk, KeepsTheBytesOfEveryName) {
    TemporaryFolder root;
    const std::vector<std::string> names = {
        "caf\xe9.txt",    // Latin-1, not valid UTF-8
        "e\xcc\x81.txt",  // é decomposed
        "\xc3\xa9.txt",   // é precomposed: a different name on disk
        "line\nbreak",
    };
    for (const std::string& name : names) {
        writeFile(root / name);
    }
    makeFolder(root / "\xff\xfe");
    writeFile(root / "\xff\xfe/\x80");

    LinuxFileAccess files;
    std::vector<std::string> expected = names;
    expected.push_back("\xff\xfe");
    expected.push_back("\xff\xfe/\x80");
    EXPECT_EQ(sorted(listing(files, root.path())), sorted(expected));
}

// A chain of folders whose paths pass PATH_MAX, each holding a file; returns the deepest file.
std::filesystem::path makeDeepTree(const std::filesystem::path& root, int levels) {
    const std::string name(100, 'd');
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::filesystem::path path = root;
    for (int level = 0; level < levels; ++level) {
        EXPECT_EQ(::mkdirat(folder, name.c_str(), 0755), 0);
        const int file = ::openat(folder, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ::close(file);
        const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
        path /= name;
    }
    ::close(::openat(folder, "deepest.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ::close(folder);
    return path / "deepest.txt";
}

TEST(DirectoryWalk, GoesDeeperThanPathMaxWithFewDescriptors) {
    TemporaryFolder root;
    const std::filesystem::path deepest = makeDeepTree(root.path(), 45);
    ASSERT_GT(deepest.native().size(), static_cast<std::size_t>(PATH_MAX));

    const std::size_t descriptorsBefore = openDescriptorCount();
    std::vector<std::filesystem::path> unlimited;
    EXPECT_TRUE(
        walkDescendants(root.path(), [&](const std::filesystem::path& path) { unlimited.push_back(path); }));
    EXPECT_EQ(unlimited.size(), 45u * 2 + 1);
    EXPECT_NE(std::find(unlimited.begin(), unlimited.end(), deepest), unlimited.end());

    // Holding only a few folders open, the walk reads ahead and climbs back through "..": same listing.
    for (const std::size_t limit : {1, 2, 3, 10}) {
        std::size_t mostOpen = 0;
        std::vector<std::filesystem::path> limited;
        EXPECT_TRUE(walkDescendants(
            root.path(),
            [&](const std::filesystem::path& path) {
                limited.push_back(path);
                mostOpen = std::max(mostOpen, openDescriptorCount());
            },
            limit));
        EXPECT_EQ(limited, unlimited) << "limit " << limit;
        EXPECT_LE(mostOpen, descriptorsBefore + limit + 1) << "limit " << limit;
    }
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST(DirectoryWalk, ClimbsBackIntoFoldersWithManyEntriesLeft) {
    TemporaryFolder root;
    for (const char* top : {"a", "b", "c"}) {
        makeFolder(root / top);
        for (const char* middle : {"1", "2", "3"}) {
            makeFolder(root / top / middle);
            writeFile(root / top / middle / "leaf.txt");
        }
    }
    std::vector<std::filesystem::path> unlimited;
    walkDescendants(root.path(), [&](const std::filesystem::path& path) { unlimited.push_back(path); });
    std::vector<std::filesystem::path> limited;
    walkDescendants(
        root.path(), [&](const std::filesystem::path& path) { limited.push_back(path); }, 1);
    EXPECT_EQ(unlimited.size(), 3u + 9u + 9u);
    EXPECT_EQ(limited, unlimited);
}

// A caller may keep names and read them in their folder when the walk says it leaves it, however few folders
// the walk holds open.
TEST(DirectoryWalk, SaysWhenItLeavesEachOpenFolderWhileItCanStillBeRead) {
    TemporaryFolder root;
    makeDeepTree(root.path(), 6);
    for (const std::size_t limit : {1, 2, 64}) {
        std::vector<std::pair<int, std::string>> kept;  // folder, path
        std::size_t read = 0;
        EXPECT_TRUE(walkDescendantsAt(
            root.path(),
            [&](const std::string& path, int folder, const char*) {
                if (folder >= 0) {
                    kept.emplace_back(folder, path);
                }
            },
            limit,
            [&](int folder) {
                std::erase_if(kept, [&](const std::pair<int, std::string>& item) {
                    if (item.first != folder) {
                        return false;
                    }
                    const std::string name = std::filesystem::path(item.second).filename();
                    struct stat inFolder {};
                    struct stat byPath {};
                    EXPECT_EQ(::fstatat(folder, name.c_str(), &inFolder, AT_SYMLINK_NOFOLLOW), 0)
                        << item.second;
                    EXPECT_EQ(::lstat(item.second.c_str(), &byPath), 0) << item.second;
                    EXPECT_EQ(inFolder.st_ino, byPath.st_ino) << item.second;
                    ++read;
                    return true;
                });
            }));
        EXPECT_TRUE(kept.empty()) << "limit " << limit;
        EXPECT_GT(read, 0u) << "limit " << limit;
    }
}

// Names a folder lists after `folder` in `listing`: only a reopened parent can still give them.
bool listsNamesAfter(const std::vector<std::filesystem::path>& listing, const std::filesystem::path& folder) {
    const auto at = std::find(listing.begin(), listing.end(), folder);
    return std::any_of(at + 1, listing.end(), [&](const std::filesystem::path& path) {
        return path.parent_path() == folder.parent_path();
    });
}

TEST(DirectoryWalk, KeepsTheListingOfFoldersAboveOneMovedOrLockedMidway) {
    // Deep enough that the top of the chain is released when the walk reaches the bottom.
    const std::size_t depth = kDefaultOpenFolderLimit + 16;
    for (const std::string change : {"moved", "locked"}) {
        TemporaryFolder root;
        ::chmod(root.path().c_str(), 0777);  // the unprivileged child builds the tree it changes
        const std::string answer = runUnprivileged([&]() -> std::string {
            // Names differ from level to level, so that the file system's listing order does too.
            std::vector<std::filesystem::path> chain;
            std::filesystem::path folder = root.path();
            for (std::size_t level = 0; level < depth; ++level) {
                for (const char* file : {"a", "b", "c"}) {
                    writeFile(folder / (std::to_string(level) + file));
                }
                folder /= "d";
                makeFolder(folder);
                chain.push_back(folder);
            }
            writeFile(folder / "deepest.txt");

            std::vector<std::filesystem::path> before;
            walkDescendants(root.path(), [&](const std::filesystem::path& path) { before.push_back(path); });
            const auto changed = std::find_if(chain.begin(), chain.begin() + 12, [&](const auto& path) {
                return listsNamesAfter(before, path);
            });
            if (changed == chain.begin() + 12) {
                return "no folder lists names after its subfolder";
            }

            std::vector<std::filesystem::path> during;
            walkDescendants(root.path(), [&](const std::filesystem::path& path) {
                during.push_back(path);
                if (path.filename() != "deepest.txt") {
                    return;
                }
                if (change == "moved") {
                    std::filesystem::rename(*changed, root / "moved");
                } else {
                    ::chmod(changed->c_str(), 0);
                }
            });
            return during == before ? "same listing"
                                    : std::to_string(during.size()) + " of " + std::to_string(before.size());
        });
        EXPECT_EQ(answer, "same listing") << change;
    }
}

}  // namespace
}  // namespace vellumark
