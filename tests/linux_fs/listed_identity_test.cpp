#include "app_model/app_model.h"
#include "linux_fs/failure_texts.h"
#include "linux_fs/linux_file_access.h"
#include "real_file_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using namespace testing_support;

constexpr uid_t kNobody = 65534;

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

// The modification date of every item under `root`, itself included, to the nanosecond; links are not
// followed. (Access dates move whenever a folder is listed or a link followed.)
std::map<std::string, Date> datesUnder(const std::filesystem::path& root) {
    std::map<std::string, Date> dates{{root.native(), modificationOf(root)}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        dates.emplace(entry.path().native(), modificationOf(entry.path()));
    }
    return dates;
}

std::string reasonFor(const AppModel& model, const std::string& name) {
    for (const FailedItem& failure : model.lastResult()->failedItems) {
        for (const FileItem& item : model.items()) {
            if (item.id() == failure.item && item.url().filename() == name) {
                return failure.reason;
            }
        }
    }
    return "written";
}

struct SwapCase {
    const char* swapped;  // relative to the user's folder; replaced by a link to the same place in the decoy
    std::vector<const char*> replacedItems;
};

// As root over a folder an ordinary user owns: between adding and applying, the user puts links to a
// root-only folder in place of a listed file, its folder, or the top folder listed.
TEST(ListedItemIdentity, AFolderOrFileSwappedForALinkFailsAndNothingElsewhereChanges) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "writing as root over another user's folder needs root");
    const SwapCase cases[] = {
        {"top/a.txt", {"a.txt"}},
        {"top/sub", {"sub", "b.txt"}},
        {"top", {"top", "a.txt", "sub", "b.txt"}},
    };
    for (const SwapCase& swap : cases) {
        SCOPED_TRACE(swap.swapped);
        TemporaryFolder root;
        const std::filesystem::path home = root / "home";
        const std::filesystem::path decoy = root / "decoy";
        for (const std::filesystem::path& base : {home, decoy}) {
            makeFolder(base);
            makeFolder(base / "top");
            makeFolder(base / "top/sub");
            writeFile(base / "top/a.txt");
            writeFile(base / "top/sub/b.txt");
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(::chown(home.c_str(), kNobody, kNobody), 0);
        ::chmod(decoy.c_str(), 0700);

        LinuxFileAccess files;
        NoPanel panel;
        AppModel model(files, panel);
        model.editConfig([](ActionConfig& config) {
            config.includeSubfolderContents = true;
            config.kind = DateActionKind::shift;
            config.fields = DateFieldSelection::modification;
            config.shiftDays = 1;
            config.correctInconsistencies = false;
        });
        const std::vector<std::filesystem::path> urls{home / "top"};
        model.addURLs(urls);
        ASSERT_EQ(model.items().size(), 4u);

        const std::string swapped = (home / swap.swapped).native();
        const std::string target = (decoy / swap.swapped).native();
        ASSERT_EQ(runUnprivileged([&] {
                      const bool done = ::rename(swapped.c_str(), (swapped + ".old").c_str()) == 0 &&
                                        ::symlink(target.c_str(), swapped.c_str()) == 0;
                      return std::string(done ? "" : "could not swap");
                  }),
                  "");
        const std::map<std::string, Date> decoyBefore = datesUnder(decoy);
        const Date linkBefore = modificationOf(swapped);

        model.applyChanges();

        EXPECT_EQ(datesUnder(decoy), decoyBefore);
        EXPECT_EQ(modificationOf(swapped), linkBefore);
        EXPECT_EQ(model.lastResult()->failed, static_cast<std::int64_t>(swap.replacedItems.size()));
        EXPECT_EQ(model.lastResult()->succeeded, static_cast<std::int64_t>(4 - swap.replacedItems.size()));
        for (const char* name : swap.replacedItems) {
            EXPECT_EQ(reasonFor(model, name), kReplacedText) << name;
        }
        // Refreshed, a replaced item shows what the listed file now has at that path: nothing.
        for (const FileItem& item : model.items()) {
            if (reasonFor(model, item.url().filename()) == kReplacedText) {
                EXPECT_FALSE(item.modificationDate) << item.path();
            }
        }
    }
}

// A small volume of each kind, made afresh in a folder of its own and unmounted whatever happens.
class EveryVolume : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "mounting volumes needs root");
        const std::string kind = GetParam();
        const std::string image = (folder_ / "volume.img").native();
        makeFolder(volume_);
        if (kind == "tmpfs") {
            ASSERT_EQ(::mount("tmpfs", volume_.c_str(), "tmpfs", 0, "size=4m"), 0);
        } else {
            writeFile(image, "");
            ASSERT_EQ(::truncate(image.c_str(), 16 << 20), 0);
        }
        if (kind == "ext4") {
            VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mkfs.ext4", "-q", "-F", "-I", "256", image}) == 0,
                                          "mkfs.ext4 failed");
            VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mount", "-o", "loop", image, volume_.native()}) == 0,
                                          "no loop device to mount a volume image");
        } else if (kind == "ntfs-3g") {
            VELLUMARK_REQUIRE_ENVIRONMENT(::access("/dev/fuse", R_OK | W_OK) == 0,
                                          "FUSE is not available (/dev/fuse)");
            VELLUMARK_REQUIRE_ENVIRONMENT(programExists("mkntfs") && programExists("ntfs-3g"),
                                          "ntfs-3g is not installed (mkntfs, ntfs-3g)");
            VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mkntfs", "-F", "-q", "-f", image}) == 0,
                                          "mkntfs failed");
            VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"ntfs-3g", image, volume_.native()}) == 0,
                                          "ntfs-3g could not mount the image");
        }
        unmount_.emplace(volume_);
    }

    TemporaryFolder folder_;
    const std::filesystem::path volume_ = folder_ / "volume";
    std::optional<MountGuard> unmount_;  // after folder_: unmounted before the folder is removed
};

// Two names that look alike are two files, a hard link is its file again, and a folder reached through
// a link to it is the folder already listed.
TEST_P(EveryVolume, ListsEachFileOnceWhateverItsNames) {
    const std::filesystem::path folder = volume_ / "photos";
    makeFolder(folder);
    writeFile(folder / "caf\xC3\xA9.txt");
    writeFile(folder / "cafe\xCC\x81.txt");
    ASSERT_EQ(::link((folder / "caf\xC3\xA9.txt").c_str(), (folder / "hard link.txt").c_str()), 0);
    makeSymlink(".", volume_ / "here");

    LinuxFileAccess files;
    NoPanel panel;
    AppModel model(files, panel);
    model.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    const std::vector<std::filesystem::path> urls{folder, volume_ / "here/photos", folder / "hard link.txt"};
    model.addURLs(urls);

    std::set<std::string> listed;
    for (const FileItem& item : model.items()) {
        listed.insert(item.url().lexically_relative(volume_).native());
    }
    // Of the two names of one file, the first the folder lists is kept.
    const std::set<std::string> precomposedFirst = {"photos", "photos/caf\xC3\xA9.txt",
                                                    "photos/cafe\xCC\x81.txt"};
    const std::set<std::string> hardLinkFirst = {"photos", "photos/cafe\xCC\x81.txt", "photos/hard link.txt"};
    EXPECT_TRUE(listed == precomposedFirst || listed == hardLinkFirst) << ::testing::PrintToString(listed);
}

// Dates go through the item's own descriptor, to a file, a folder and a link itself alike.
TEST_P(EveryVolume, WritesFilesFoldersAndLinksThroughTheirDescriptors) {
    writeFile(volume_ / "file");
    makeFolder(volume_ / "folder");
    makeSymlink("file", volume_ / "link");
    const Date fileBefore = modificationOf(volume_ / "file");
    const Date written = utc(2001, 2, 3, 4, 5, 6, 700'000'000);
    LinuxFileAccess files;
    for (const char* name : {"link", "folder", "file"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = volume_ / name;
        const ItemInfo listed = files.inspect(path);
        ASSERT_TRUE(listed.identity);
        const bool withCreation = listed.volume->canWriteCreation;
        const Date creation = utc(1999, 9, 9, 9, 9, 9, 100);
        EXPECT_EQ(files.setAttributes(path, listed.identity,
                                      {withCreation ? std::optional(creation) : std::nullopt, written}),
                  std::nullopt);
        EXPECT_EQ(modificationOf(path), written);
        if (withCreation) {
            EXPECT_EQ(files.inspect(path).dates->creationDate, creation);
        }
        if (std::string(name) == "link") {
            EXPECT_EQ(modificationOf(volume_ / "file"), fileBefore);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ListedItemIdentity, EveryVolume, ::testing::Values("ext4", "tmpfs", "ntfs-3g"),
                         [](const auto& parameter) {
                             std::string name = parameter.param;
                             std::erase(name, '-');
                             return name;
                         });

// Without a listed identity nothing vouches for what the path leads to, so no link may lie on the way.
TEST(ListedItemIdentity, AnItemNothingVouchesForIsNotWrittenThroughALinkedFolder) {
    TemporaryFolder root;
    makeFolder(root / "real");
    writeFile(root / "real/file");
    makeSymlink("real", root / "linked");
    const Date before = modificationOf(root / "real/file");
    LinuxFileAccess files;
    EXPECT_EQ(files.setAttributes(root / "linked/file", std::nullopt, {std::nullopt, utc(2000, 1, 1)}),
              kUnvouchedLinkText);
    EXPECT_EQ(modificationOf(root / "real/file"), before);
}

}  // namespace
}  // namespace vellumark
