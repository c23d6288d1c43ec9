#include "linux_fs/linux_file_access.h"

#include "app_model/app_model.h"
#include "real_file_system.h"

#include <gtest/gtest.h>

#include <array>
#include <fcntl.h>
#include <future>
#include <limits.h>
#include <map>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using namespace testing_support;

const Date kMarker1904 = Date::fromParts(-2'082'844'800);

std::string fileSystemName(const std::filesystem::path& path) {
    static const std::map<unsigned, std::string> names = {{0xEF53, "ext4"},
                                                          {0x01021994, "tmpfs"},
                                                          {0x58465342, "xfs"},
                                                          {0x9123683E, "btrfs"},
                                                          {0x794C7630, "overlay"}};
    const auto found = names.find(fileSystemMagic(path));
    return found != names.end() ? found->second : std::string();
}

// The item kinds a listed path can name, each with its own modification date, so that a date read
// through a link shows whose it is.
struct KindsOfItems {
    explicit KindsOfItems(const TemporaryFolder& root) {
        writeFile(root / "file");
        makeFolder(root / "folder");
        makeSymlink("file", root / "linkToFile");
        makeSymlink("folder", root / "linkToFolder");
        makeSymlink("missing", root / "dangling");
        setModification(root / "file", fileDate);
        setModification(root / "folder", folderDate);
        for (const char* link : {"linkToFile", "linkToFolder", "dangling"}) {
            setModification(root / link, linkDate);
        }
    }
    const Date fileDate = utc(2001, 2, 3, 4, 5, 6, 700'000'001);
    const Date folderDate = utc(1999, 12, 31, 23, 59, 59);
    const Date linkDate = utc(1985, 10, 26, 1, 21);
};

struct ItemCase {
    const char* name;
    bool exists;
    bool isDirectory;
    bool hasOwnDates;
    const Date KindsOfItems::*modification;
};

TEST(LinuxFileAccess, TellsExistenceThroughLinksAndDatesOfTheItemItself) {
    TemporaryFolder root;
    const KindsOfItems items(root);
    const ItemCase cases[] = {
        {"file", true, false, true, &KindsOfItems::fileDate},
        {"folder", true, true, true, &KindsOfItems::folderDate},
        {"linkToFile", true, false, true, &KindsOfItems::linkDate},
        {"linkToFolder", true, true, true, &KindsOfItems::linkDate},
        {"dangling", false, false, true, &KindsOfItems::linkDate},
        {"missing", false, false, false, nullptr},
    };
    LinuxFileAccess files;
    for (const ItemCase& item : cases) {
        SCOPED_TRACE(item.name);
        const std::filesystem::path path = root / item.name;
        const Existence existence = files.fileExists(path);
        EXPECT_EQ(existence.exists, item.exists);
        EXPECT_EQ(existence.isDirectory, item.isDirectory);

        const std::optional<DateAttributes> dates = files.attributes(path);
        ASSERT_EQ(dates.has_value(), item.hasOwnDates);
        if (dates) {
            EXPECT_EQ(dates->modificationDate, items.*item.modification);
        }

        // One look gives the same answers; an item that does not exist (a dangling link) has no dates.
        const ItemInfo info = files.inspect(path);
        EXPECT_EQ(info.existence.exists, item.exists);
        EXPECT_EQ(info.existence.isDirectory, item.isDirectory);
        ASSERT_EQ(info.dates.has_value(), item.exists);
        if (info.dates) {
            EXPECT_EQ(info.dates->modificationDate, dates->modificationDate);
            EXPECT_EQ(info.dates->creationDate, dates->creationDate);
        }
    }
}

TEST(LinuxFileAccess, AWalkThatInspectsAsItGoesAnswersAsInspectDoes) {
    TemporaryFolder root;
    const KindsOfItems kinds(root);
    writeFile(root / "folder" / "inner");
    LinuxFileAccess files;
    std::size_t visited = 0;
    EXPECT_TRUE(files.inspectDescendants(root.path(), [&](const std::string& path, const ItemInfo& info) {
        const ItemInfo expected = files.inspect(path);
        ++visited;
        EXPECT_EQ(info.existence.exists, expected.existence.exists) << path;
        EXPECT_EQ(info.existence.isDirectory, expected.existence.isDirectory) << path;
        EXPECT_EQ(info.dates.has_value(), expected.dates.has_value()) << path;
        if (info.dates && expected.dates) {
            EXPECT_EQ(info.dates->modificationDate, expected.dates->modificationDate) << path;
            EXPECT_EQ(info.dates->creationDate, expected.dates->creationDate) << path;
        }
        EXPECT_EQ(info.identity, expected.identity) << path;
        EXPECT_EQ(info.volume, expected.volume) << path;
    }));
    EXPECT_EQ(visited, 6u);
}

// A walk reads names a window at a time on several threads, while it goes on and closes the folders
// they lie in: the visits keep the walk's order, each with its own item's answer, across windows and
// across subfolders met mid-listing.
TEST(LinuxFileAccess, AWalkThatReadsAheadKeepsItsOrderAndEachItemsAnswer) {
    TemporaryFolder root;
    makeFolder(root / "many");
    for (int file = 0; file < 2'500; ++file) {
        writeFile(root / "many" / ("f" + std::to_string(file)));
        if (file % 800 == 7) {
            makeFolder(root / "many" / ("sub" + std::to_string(file)));
            writeFile(root / "many" / ("sub" + std::to_string(file)) / "inner");
        }
    }
    setModification(root / "many" / "f613", utc(2001, 2, 3));
    LinuxFileAccess files;
    std::vector<std::string> walked;
    files.enumerateDescendants(root.path(),
                               [&](const std::filesystem::path& path) { walked.push_back(path); });
    std::vector<std::string> visited;
    EXPECT_TRUE(files.inspectDescendants(root.path(), [&](const std::string& path, const ItemInfo& info) {
        visited.push_back(path);
        const ItemInfo expected = files.inspect(path);
        EXPECT_EQ(info.identity, expected.identity) << path;
        ASSERT_TRUE(info.dates && expected.dates) << path;
        EXPECT_EQ(info.dates->modificationDate, expected.dates->modificationDate) << path;
        EXPECT_EQ(info.existence.isDirectory, expected.existence.isDirectory) << path;
    }));
    EXPECT_EQ(visited, walked);
    EXPECT_EQ(visited.size(), 1u + 2'500u + 4u * 2u);

    // Two walks at once: one reads with the threads kept from walk to walk, the other with its own.
    std::array<std::vector<std::string>, 2> together;
    std::array<std::size_t, 2> unread{};
    {
        std::vector<std::jthread> walks;
        for (std::size_t walk = 0; walk < together.size(); ++walk) {
            walks.emplace_back([&, walk] {
                files.inspectDescendants(root.path(), [&](const std::string& path, const ItemInfo& info) {
                    together[walk].push_back(path);
                    unread[walk] += info.dates ? 0 : 1;
                });
            });
        }
    }
    EXPECT_EQ(together[0], walked);
    EXPECT_EQ(together[1], walked);
    EXPECT_EQ(unread, (std::array<std::size_t, 2>{}));
}

TEST(LinuxFileAccess, ReadsTheBirthTimeAsCreationDateWhereTheFileSystemKeepsOne) {
    TemporaryFolder root;
    writeFile(root / "file");
    struct statx item {};
    ASSERT_EQ(::statx(AT_FDCWD, (root / "file").c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &item), 0);
    LinuxFileAccess files;
    const std::optional<DateAttributes> dates = files.attributes(root / "file");
    ASSERT_TRUE(dates);
    if ((item.stx_mask & STATX_BTIME) != 0) {
        EXPECT_EQ(dates->creationDate, Date::fromParts(item.stx_btime.tv_sec, item.stx_btime.tv_nsec));
    } else {
        EXPECT_FALSE(dates->creationDate);
    }
}

TEST(LinuxFileAccess, WritesModificationDatesExactlyAndLeavesTheRestAlone) {
    TemporaryFolder root;
    writeFile(root / "file");
    const Date dates[] = {
        utc(2024, 1, 1, 12, 34, 56, 123'456'789), kMarker1904,        utc(1960, 5, 1, 12, 0, 0, 500'000'000),
        Date::fromParts(-1, 999'999'999),         Date::fromParts(0), utc(2400, 2, 29, 6),
    };
    LinuxFileAccess files;
    for (const Date& date : dates) {
        const std::optional<Date> creationBefore = files.attributes(root / "file")->creationDate;
        const Date accessBefore = accessOf(root / "file");
        EXPECT_EQ(files.setAttributes(root / "file", std::nullopt, {std::nullopt, date}), std::nullopt);
        EXPECT_EQ(modificationOf(root / "file"), date);
        EXPECT_EQ(files.attributes(root / "file")->modificationDate, date);
        EXPECT_EQ(files.attributes(root / "file")->creationDate, creationBefore);
        EXPECT_EQ(accessOf(root / "file"), accessBefore);
    }
    EXPECT_EQ(files.setAttributes(root / "file", std::nullopt, {}), std::nullopt);
}

TEST(LinuxFileAccess, WritesTheDatesOfALinkNotOfWhatItPointsTo) {
    TemporaryFolder root;
    const KindsOfItems items(root);
    LinuxFileAccess files;
    const Date date = utc(2010, 7, 8, 9, 10, 11);
    EXPECT_EQ(files.setAttributes(root / "linkToFile", std::nullopt, {std::nullopt, date}), std::nullopt);
    EXPECT_EQ(modificationOf(root / "linkToFile"), date);
    EXPECT_EQ(modificationOf(root / "file"), items.fileDate);
    EXPECT_EQ(files.setAttributes(root / "dangling", std::nullopt, {std::nullopt, date}), std::nullopt);
    EXPECT_EQ(modificationOf(root / "dangling"), date);
}

TEST(LinuxFileAccess, RefusesACreationDateWhereNoneCanBeWrittenTouchingNothing) {
    TemporaryFolder root;
    writeFile(root / "file");
    const Date before = utc(2000, 1, 1);
    setModification(root / "file", before);
    LinuxFileAccess files;
    const std::optional<std::string> failure =
        files.setAttributes(root / "file", std::nullopt, {utc(1990, 1, 1), utc(2020, 1, 1)});
    const std::string name = fileSystemName(root.path());
    if (name.empty()) {
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->ends_with(" keeps the creation date itself; it cannot be changed")) << *failure;
    } else {
        EXPECT_EQ(failure, name + " keeps the creation date itself; it cannot be changed");
        // As the reading of the item said before.
        EXPECT_EQ(files.inspect(root / "file").volume->fileSystem, name);
        EXPECT_FALSE(files.inspect(root / "file").volume->canWriteCreation);
    }
    EXPECT_EQ(modificationOf(root / "file"), before);
}

// An ordinary date is written straight away and a date outside 1980 to 2038 only after a look at the
// item: both ways must fail alike.
const Date kWrittenDates[] = {utc(2000, 1, 1), kMarker1904};

TEST(LinuxFileAccess, SaysPlainlyWhenTheItemHasVanished) {
    TemporaryFolder root;
    writeFile(root / "file");
    LinuxFileAccess files;
    for (const Date& date : kWrittenDates) {
        EXPECT_EQ(files.setAttributes(root / "gone", std::nullopt, {std::nullopt, date}),
                  "the item no longer exists");
        EXPECT_EQ(files.setAttributes(root / "gone/below", std::nullopt, {std::nullopt, date}),
                  "the item no longer exists");
        EXPECT_EQ(files.setAttributes(root / "file/below", std::nullopt, {std::nullopt, date}),
                  "a folder on its path no longer exists");
    }
    EXPECT_FALSE(files.attributes(root / "gone"));
    EXPECT_FALSE(files.inspect(root / "gone").existence.exists);
}

TEST(LinuxFileAccess, APathWithANulByteNamesNoItemRatherThanItsPrefix) {
    TemporaryFolder root;
    writeFile(root / "a");
    const Date before = modificationOf(root / "a");
    const std::filesystem::path withNul((root / "a").native() + std::string("\0evil", 5));
    LinuxFileAccess files;
    EXPECT_FALSE(files.fileExists(withNul).exists);
    EXPECT_FALSE(files.inspect(withNul).existence.exists);
    EXPECT_EQ(files.setAttributes(withNul, std::nullopt, {std::nullopt, utc(2000, 1, 1)}),
              "the item no longer exists");
    EXPECT_FALSE(
        files.enumerateDescendants(root.path().native() + std::string("\0x", 2), [](const auto&) {}));
    EXPECT_EQ(modificationOf(root / "a"), before);
}

TEST(LinuxFileAccess, ReportsAnImmutableItemAsLocked) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "making a file immutable needs root");
    TemporaryFolder root;
    writeFile(root / "file");
    const Date before = utc(2000, 1, 1);
    setModification(root / "file", before);
    const std::string path = (root / "file").native();
    VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"chattr", "+i", path}) == 0,
                                  "chattr +i is not supported on the temporary folder's file system");
    struct Unlock {
        std::string path;
        ~Unlock() { runProgram({"chattr", "-i", path}); }
    } unlock{path};

    LinuxFileAccess files;
    for (const Date& date : kWrittenDates) {
        EXPECT_EQ(files.setAttributes(root / "file", std::nullopt, {std::nullopt, date}),
                  "the item is locked against changes (immutable)");
    }
    EXPECT_EQ(modificationOf(root / "file"), before);
}

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

// Three changed items of which the second cannot be written: the others are, and the one failure reads
// as the whole sentence the user sees.
TEST(LinuxFileAccess, AnApplyRunReportsTheLockedItemInPlainWords) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "making a file immutable needs root");
    TemporaryFolder root;
    const Date before = utc(2000, 1, 1);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        writeFile(root / name);
        setModification(root / name, before);
    }
    const std::string locked = (root / "b.txt").native();
    VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"chattr", "+i", locked}) == 0,
                                  "chattr +i is not supported on the temporary folder's file system");
    struct Unlock {
        std::string path;
        ~Unlock() { runProgram({"chattr", "-i", path}); }
    } unlock{locked};

    LinuxFileAccess files;
    NoPanel panel;
    AppModel model(files, panel);
    const std::vector<std::filesystem::path> urls = {root / "a.txt", root / "b.txt", root / "c.txt"};
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftDays = 1;
        config.correctInconsistencies = false;
    });
    model.applyChanges();

    ASSERT_TRUE(model.lastResult());
    EXPECT_EQ(model.lastResult()->succeeded, 2);
    EXPECT_EQ(model.lastResult()->failed, 1);
    EXPECT_EQ(
        model.lastResult()->errors,
        std::vector<std::string>{
            "Could not change dates for \u201cb.txt\u201d: the item is locked against changes (immutable)"});
    EXPECT_EQ(modificationOf(root / "a.txt"), before.addingSeconds(86'400));
    EXPECT_EQ(modificationOf(root / "b.txt"), before);
    EXPECT_EQ(modificationOf(root / "c.txt"), before.addingSeconds(86'400));
}

TEST(LinuxFileAccess, ReportsAReadOnlyVolume) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "mounting a file system needs root");
    TemporaryFolder root;
    makeFolder(root / "volume");
    const std::filesystem::path volume = root / "volume";
    VELLUMARK_REQUIRE_ENVIRONMENT(::mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=1m") == 0,
                                  "tmpfs could not be mounted");
    const MountGuard unmount(volume);
    writeFile(volume / "file");
    const Date before = utc(2000, 1, 1);
    setModification(volume / "file", before);
    ASSERT_EQ(::mount("tmpfs", volume.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);

    LinuxFileAccess files;
    EXPECT_EQ(files.setAttributes(volume / "file", std::nullopt, {std::nullopt, utc(2020, 1, 1)}),
              "the volume is read-only");
    EXPECT_EQ(files.setAttributes(volume / "file", std::nullopt, {utc(1990, 1, 1), utc(2020, 1, 1)}),
              "tmpfs keeps the creation date itself; it cannot be changed");
    EXPECT_EQ(modificationOf(volume / "file"), before);
}

TEST(LinuxFileAccess, ReportsMissingOwnershipAndPermission) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "acting as another user needs root");
    TemporaryFolder root;
    writeFile(root / "owned by root");
    makeFolder(root / "closed");
    writeFile(root / "closed/inside");
    ::chmod((root / "closed").c_str(), 0700);

    const std::string answer = runUnprivileged([&] {
        LinuxFileAccess files;
        std::string texts;
        for (const Date& date : kWrittenDates) {
            texts += files.setAttributes(root / "owned by root", std::nullopt, {std::nullopt, date})
                         .value_or("written") +
                     " | " +
                     files.setAttributes(root / "closed/inside", std::nullopt, {std::nullopt, date})
                         .value_or("written") +
                     "\n";
        }
        return texts;
    });
    EXPECT_EQ(answer,
              "you are not the owner of the item | permission denied\n"
              "you are not the owner of the item | permission denied\n");
}

TEST(LinuxFileAccess, ReadsAndWritesBeyondPathMax) {
    TemporaryFolder root;
    const std::string name(200, 'n');
    int folder = ::open(root.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::filesystem::path path = root.path();
    while (path.native().size() <= PATH_MAX + 300) {
        ASSERT_EQ(::mkdirat(folder, name.c_str(), 0755), 0);
        const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
        path /= name;
    }
    ::close(::openat(folder, "file", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ASSERT_EQ(::symlinkat("..", folder, "up"), 0);
    ::close(folder);

    LinuxFileAccess files;
    const Date date = utc(1950, 6, 7, 8, 9, 10, 250'000'000);
    EXPECT_EQ(files.setAttributes(path / "file", std::nullopt, {std::nullopt, date}), std::nullopt);
    EXPECT_EQ(files.attributes(path / "file")->modificationDate, date);
    const ItemInfo file = files.inspect(path / "file");
    EXPECT_TRUE(file.existence.exists);
    EXPECT_FALSE(file.existence.isDirectory);
    ASSERT_TRUE(file.dates);
    EXPECT_EQ(file.dates->modificationDate, date);

    EXPECT_TRUE(files.fileExists(path).isDirectory);
    EXPECT_TRUE(files.inspect(path / "up").existence.isDirectory);
    EXPECT_FALSE(files.inspect(path / "gone").existence.exists);
    EXPECT_EQ(files.setAttributes(path / "gone", std::nullopt, {std::nullopt, date}),
              "the item no longer exists");
}

TEST(LinuxFileAccess, WritesAndRereadsItemsWhoseNamesAreNotText) {
    TemporaryFolder root;
    const std::filesystem::path path = root / "caf\xe9 \xff.txt";
    writeFile(path);
    LinuxFileAccess files;
    const Date date = utc(2012, 12, 12, 12, 12, 12);
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {std::nullopt, date}), std::nullopt);
    EXPECT_EQ(modificationOf(path), date);
    EXPECT_EQ(files.inspect(path).dates->modificationDate, date);
}

// The item read back after writing is returned as inspect gives it; an item replaced since it was listed
// is left alone, and the file now at its path is returned.
TEST(LinuxFileAccess, WriteAndInspectReturnsTheItemAsReadBack) {
    TemporaryFolder root;
    writeFile(root / "file");
    LinuxFileAccess files;
    const ItemInfo listed = files.inspect(root / "file");
    const Date date = utc(2003, 4, 5, 6, 7, 8, 900);
    const WrittenItem written = files.writeAndInspect(root / "file", listed.identity, {std::nullopt, date});
    EXPECT_EQ(written.failure, std::nullopt);
    EXPECT_TRUE(written.after.existence.exists && !written.after.existence.isDirectory);
    ASSERT_TRUE(written.after.dates);
    EXPECT_EQ(written.after.dates->modificationDate, date);
    EXPECT_EQ(written.after.identity, listed.identity);
    EXPECT_EQ(written.after.volume, listed.volume);
    std::filesystem::rename(root / "file", root / "listed");
    writeFile(root / "file");
    setModification(root / "file", kMarker1904);
    const WrittenItem replaced = files.writeAndInspect(root / "file", listed.identity, {std::nullopt, date});
    EXPECT_EQ(replaced.failure, kReplacedText);
    EXPECT_EQ(replaced.after.identity, files.inspect(root / "file").identity);
    EXPECT_EQ(replaced.after.dates->modificationDate, kMarker1904);
}

// A run's session opens each item in the folder kept open from the item before: a file replaced there
// is still refused, and an item whose folder was moved away since is found again by its path.
TEST(LinuxFileAccess, AWriteSessionChecksEachItemAndFollowsItsPathWhenTheKeptFolderGoes) {
    TemporaryFolder root;
    std::filesystem::create_directory(root / "a");
    for (const char* name : {"f1", "f2", "f3"}) {
        writeFile(root / "a" / name);
    }
    LinuxFileAccess files;
    const auto identity = [&](const char* name) { return files.inspect(root / "a" / name).identity; };
    const auto f2 = identity("f2");
    const auto f3 = identity("f3");
    const Date date = utc(2003, 4, 5, 6, 7, 8, 900);
    const std::unique_ptr<FileAccess::WriteSession> session = files.writeSession();
    EXPECT_EQ(
        files.writeInSession(session.get(), root / "a" / "f1", identity("f1"), {std::nullopt, date}).failure,
        std::nullopt);

    std::filesystem::rename(root / "a" / "f3", root / "a" / "f3.listed");
    writeFile(root / "a" / "f3");
    EXPECT_EQ(files.writeInSession(session.get(), root / "a" / "f3", f3, {std::nullopt, date}).failure,
              kReplacedText);

    std::filesystem::rename(root / "a", root / "moved");
    std::filesystem::create_directory(root / "a");
    std::filesystem::rename(root / "moved" / "f2", root / "a" / "f2");
    const WrittenItem moved =
        files.writeInSession(session.get(), root / "a" / "f2", f2, {std::nullopt, date});
    EXPECT_EQ(moved.failure, std::nullopt);
    EXPECT_EQ(files.inspect(root / "a" / "f2").dates->modificationDate, date);
    EXPECT_NE(files.inspect(root / "moved" / "f3.listed").dates->modificationDate, date);
}

// A writer thread's descriptors are its own: the folder its session kept goes with the thread, and the
// session, ended on another thread, closes nothing there, where the same number now names another file.
TEST(LinuxFileAccess, AWriterThreadsDescriptorsStayItsOwn) {
    TemporaryFolder root;
    writeFile(root / "file");
    LinuxFileAccess files;
    const auto listed = files.inspect(root / "file").identity;
    const Date date = utc(2003, 4, 5, 6, 7, 8, 900);
    std::unique_ptr<FileAccess::WriteSession> session = files.writeSession();
    const std::size_t before = openDescriptorCount();
    std::thread([&] {
        files.enterWriterThread();
        EXPECT_EQ(files.writeInSession(session.get(), root / "file", listed, {std::nullopt, date}).failure,
                  std::nullopt);
    }).join();
    EXPECT_EQ(modificationOf(root / "file"), date);

    const int other = ::open(root.path().c_str(), O_PATH | O_CLOEXEC);  // the kept folder's number there
    session.reset();
    EXPECT_NE(::fcntl(other, F_GETFD), -1);
    ::close(other);
    EXPECT_EQ(openDescriptorCount(), before);
}

// The worker writes while the window's thread looks: each instance starts knowing no volume, so both
// threads learn it at once.
TEST(LinuxFileAccess, ServesTwoThreadsAtOnce) {
    TemporaryFolder root;
    writeFile(root / "file");
    const std::vector<std::filesystem::path> paths(64, root / "file");
    const Date date = utc(2011, 1, 1);
    for (int round = 0; round < 16; ++round) {
        LinuxFileAccess files;
        auto looked = std::async(std::launch::async, [&] {
            std::size_t known = 0;
            for (const auto& path : paths) {
                known += files.inspect(path).volume->fileSystem.empty() ? 0 : 1;
            }
            return known;
        });
        std::size_t written = 0;
        for (const auto& path : paths) {
            const WrittenItem item = files.writeAndInspect(path, std::nullopt, {std::nullopt, date});
            written += item.after.dates && item.after.dates->modificationDate == date ? 1 : 0;
        }
        EXPECT_EQ(looked.get(), paths.size());
        EXPECT_EQ(written, paths.size());
    }
}

// An ext4 volume with 128-byte inodes takes any date and keeps none after 2038: the failure must say
// what was kept, and the item must get its previous date back.
struct VolumeKind {
    const char* name;
    std::vector<std::string> mkfs;  // the image's path is added at the end
    std::int64_t granularity;
    const char* range;
    Date tooLate;
};

// ext4 keeps dates until 2038 in inodes of 128 bytes, until 2446 and to the nanosecond in larger ones;
// xfs until 2038 or, with big timestamps, 2486. The reading tells which, and a date outside the range is
// refused before anything is written.
TEST(LinuxFileAccess, LearnsWhatEachVolumeCanStore) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "making volumes needs root");
    const VolumeKind kinds[] = {
        {"ext4",
         {"mkfs.ext4", "-q", "-F", "-I", "128"},
         1'000'000'000,
         "1901-12-13 to 2038-01-19",
         utc(2100, 1, 1)},
        {"ext4", {"mkfs.ext4", "-q", "-F", "-I", "256"}, 1, "1901-12-13 to 2446-05-10", utc(2500, 1, 1)},
        {"xfs", {"mkfs.xfs", "-q", "-f", "-m", "bigtime=0"}, 1, "1901-12-13 to 2038-01-19", utc(2100, 1, 1)},
        {"xfs", {"mkfs.xfs", "-q", "-f", "-m", "bigtime=1"}, 1, "1901-12-13 to 2486-07-02", utc(2500, 1, 1)},
    };
    for (const VolumeKind& kind : kinds) {
        SCOPED_TRACE(kind.mkfs.back());
        VELLUMARK_REQUIRE_ENVIRONMENT(programExists(kind.mkfs[0]), kind.mkfs[0] + " is not installed");
        TemporaryFolder root;
        const std::string image = (root / "volume.img").native();
        const std::filesystem::path volume = root / "volume";
        makeFolder(volume);
        writeFile(image, "");
        ASSERT_EQ(::truncate(image.c_str(), 300 << 20), 0);  // sparse; xfs wants 300 MiB
        std::vector<std::string> mkfs = kind.mkfs;
        mkfs.push_back(image);
        ASSERT_EQ(runProgram(mkfs), 0);
        VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mount", "-o", "loop", image, volume.native()}) == 0,
                                      "no loop device to mount a volume image");
        const MountGuard unmount(volume);
        writeFile(volume / "file");
        const Date before = utc(2000, 1, 1);
        setModification(volume / "file", before);

        LinuxFileAccess files;
        const VolumeCapabilities& learnt = *files.inspect(volume / "file").volume;
        EXPECT_EQ(learnt.fileSystem, kind.name);
        EXPECT_FALSE(learnt.canWriteCreation);
        EXPECT_EQ(learnt.granularity, kind.granularity);
        EXPECT_EQ(learnt.rangeText(), kind.range);

        EXPECT_EQ(files.setAttributes(volume / "file", std::nullopt, {std::nullopt, kind.tooLate}),
                  "the date " + utcText(kind.tooLate) + " lies outside what " + kind.name + " can store (" +
                      kind.range + ")");
        EXPECT_EQ(modificationOf(volume / "file"), before);

        // The last storable second is kept; where whole seconds are all it keeps, a fraction lost is no
        // failure.
        EXPECT_EQ(files.setAttributes(volume / "file", std::nullopt, {std::nullopt, learnt.latest}),
                  std::nullopt);
        EXPECT_EQ(modificationOf(volume / "file"), learnt.latest);
        const Date precise = utc(2001, 1, 1, 0, 0, 0, 750'000'000);
        EXPECT_EQ(files.setAttributes(volume / "file", std::nullopt, {std::nullopt, precise}), std::nullopt);
        EXPECT_EQ(modificationOf(volume / "file"), learnt.stored(precise));
    }
}

}  // namespace
}  // namespace vellumark
