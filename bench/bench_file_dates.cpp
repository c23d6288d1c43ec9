// Adding and shifting 100,000 and 1,000,000 real files through the application's core, against plain C
// loops that make the system calls such work cannot do without.
//
// The tree is built in a fresh temporary folder on the file system of "/" (an optional argument names
// another folder to build it in): 10 groups of 100 folders of 1,000 empty files. One group is the
// 100,000-file case, the whole tree the 1,000,000-file case.
//
//   1. Adding: AppModel::addURLs of the group (or of the whole tree) with subfolder contents on, through
//      LinuxFileAccess, against the fastest plain walk: each folder opened and read with getdents64, and one
//      statx per entry relative to the open folder. Printed beside: the same walk with statx by full path,
//      and GNU find printing every entry's modification date.
//   2. Applying: AppModel::applyChanges of a one-hour shift of every listed item's modification date
//      (refresh included), against a loop of utimensat and statx per item that checks each date read back.
//      The loop runs relative to the item's open folder and by full path; the faster of the two is the
//      baseline. Printed beside at 100,000: the same work through a descriptor of each item.
//   3. Growth: the core's time at 1,000,000 over its time at 100,000.
//   4. Journaling: the same apply at 100,000, written down in a SqliteRunJournal first (in a hidden state
//      folder of the tree, as XDG_STATE_HOME), against the apply without a journal; then what the journal
//      file holds per item beyond the item's path, once closed. The journal copies its log into its file
//      on a thread of its own after each run; that copy is finished before the next pass, off the clock,
//      so that neither pass pays for the other's.
//
// Every side of a ratio meets the same state: one untimed walk warms the caches before each section, the
// file system is synced before every timed pass, and the passes of a section take turns round after round.
// Each pass keeps its fastest round: of 3 at either size for the passes a target compares, of 2 and 1 for
// those printed beside. Targets: every ratio to its baseline at most 1.15, each growth at most 11, the
// journaled apply at most 1.3 times the plain one, and at most 200 bytes of journal per item beside its
// path. Beside each time: the processor time of the process (and of find) and the page faults, as fresh
// memory costs a fault per page on first touch.
//
// The model runs each call to its end within it; kOnWorkerThread measures it on its worker thread instead.
#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "journal/sqlite_database.h"
#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace vellumark;

constexpr int kGroups = 10;
constexpr int kFoldersPerGroup = 100;
constexpr int kFilesPerFolder = 1'000;
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME | STATX_MNT_ID;
constexpr std::int64_t kHour = 3'600;

// Rounds per section: the passes a target compares run `targetRounds` times, the ones printed beside
// `asideRounds` times. Both sizes keep the fastest of as many rounds, so that the growth from one to the
// other compares like with like: the fastest of three is faster, on average, than the fastest of two.
struct Rounds {
    int targetRounds;
    int asideRounds;
};
constexpr Rounds kSmallRounds{3, 2};
constexpr Rounds kLargeRounds{3, 1};

constexpr double kRatioLimit = 1.15;
constexpr double kGrowthLimit = 11.0;
constexpr double kJournaledLimit = 1.3;
constexpr double kJournalBytesLimit = 200;

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

// ---------------------------------------------------------------------------------------------------------
// The core as the application drives it.

// The model works on its worker thread, as the window and the command line run it; false measures it
// running each call to its end within the call.
constexpr bool kOnWorkerThread = true;

// The owner's side of the worker thread, when there is one.
HandBackQueue gOwner;

std::unique_ptr<AppModel> newModel(FileAccess& files, OpenPanel& panel) {
    auto model = std::make_unique<AppModel>(files, panel, systemClock(),
                                            kOnWorkerThread ? gOwner.handBack() : HandBack{});
    model->editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    // Read as the window reads it: the model then counts the changes of each item as it is added.
    model->changeCount();
    return model;
}

// Each call returns once its work is done and the model holds the outcome, whichever thread did it.
void addThroughCore(AppModel& model, std::span<const std::filesystem::path> urls) {
    model.addURLs(urls);
    gOwner.runUntil([&model] { return !model.isBusy(); });
}

void applyThroughCore(AppModel& model, JournalUse use = JournalUse::required) {
    model.applyChanges(use);
    gOwner.runUntil([&model] { return !model.isBusy(); });
}

// ---------------------------------------------------------------------------------------------------------
// Measuring.

struct Timing {
    double wall = 1e300;  // milliseconds
    double user = 0;
    double system = 0;
    long pageFaults = 0;  // fresh memory first touched, for one
};

double cpuMilliseconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// What this process and the children it waited for used.
struct Usage {
    double user = 0;
    double system = 0;
    long pageFaults = 0;
};

Usage usageNow() {
    Usage usage;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage used{};
        ::getrusage(who, &used);
        usage.user += cpuMilliseconds(used.ru_utime);
        usage.system += cpuMilliseconds(used.ru_stime);
        usage.pageFaults += used.ru_minflt + used.ru_majflt;
    }
    return usage;
}

template <typename Work>
Timing timed(Work&& work) {
    const Usage before = usageNow();
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    const Usage after = usageNow();
    return {std::chrono::duration<double, std::milli>(end - start).count(), after.user - before.user,
            after.system - before.system, after.pageFaults - before.pageFaults};
}

// What a system call and a first touch of fresh memory cost on this machine, to read the figures by.
void printMachineCosts() {
    constexpr int kCalls = 100'000;
    const Timing calls = timed([] {
        for (int i = 0; i < kCalls; ++i) {
            ::getppid();
        }
    });
    constexpr std::size_t kBytes = std::size_t{64} << 20;
    void* memory = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return;
    }
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const Timing touched = timed([&] {
        for (std::size_t offset = 0; offset < kBytes; offset += static_cast<std::size_t>(pageSize)) {
            static_cast<volatile char*>(memory)[offset] = 1;
        }
    });
    ::munmap(memory, kBytes);
    std::printf("  this machine: a system call takes %.2f us, a first touch of a fresh page %.2f us\n",
                calls.wall * 1e3 / kCalls,
                touched.wall * 1e3 * static_cast<double>(pageSize) / static_cast<double>(kBytes));
}

struct Pass {
    bool isTarget;  // compared by a target: runs every round
    std::function<Timing()> run;
};

// Runs the passes in turn, round after round, `prepare` before each, and keeps each one's fastest round:
// interleaved, both sides of a ratio meet the same passing load.
std::vector<Timing> fastestOf(const Rounds& rounds, const std::vector<Pass>& passes,
                              const std::function<void()>& prepare) {
    std::vector<Timing> best(passes.size());
    for (int round = 0; round < std::max(rounds.targetRounds, rounds.asideRounds); ++round) {
        for (std::size_t i = 0; i < passes.size(); ++i) {
            if (round >= (passes[i].isTarget ? rounds.targetRounds : rounds.asideRounds)) {
                continue;
            }
            prepare();
            const Timing timing = passes[i].run();
            if (timing.wall < best[i].wall) {
                best[i] = timing;
            }
        }
    }
    return best;
}

bool printTarget(const char* name, double measured, double limit) {
    const bool met = measured <= limit;
    std::printf("target: %s %.2f <= %g %s\n", name, measured, limit, met ? "ok" : "MISSED");
    return met;
}

void printTiming(const char* what, const Timing& timing, std::size_t items) {
    std::printf("  %-52s %9.1f ms  %6.0f ns per item  (user %.0f ms, system %.0f ms, %ld page faults)\n",
                what, timing.wall, timing.wall * 1e6 / static_cast<double>(items), timing.user, timing.system,
                timing.pageFaults);
}

// ---------------------------------------------------------------------------------------------------------
// The tree: built and removed with plain system calls, relative to open folders.

// Removes `name` in `folder` and everything below it. Only system calls and the stack: it also runs from a
// signal handler.
void removeTree(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(folder, name, 0);
        return;
    }
    alignas(8) char buffer[32 * 1024];
    for (int sweep = 0; sweep < 3; ++sweep) {
        ::lseek(fd, 0, SEEK_SET);
        ssize_t size = 0;
        while ((size = ::getdents64(fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t offset = 0; offset < size;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const char* child = entry->d_name;
                if (child[0] == '.' && (child[1] == '\0' || (child[1] == '.' && child[2] == '\0'))) {
                    continue;
                }
                if (entry->d_type == DT_DIR) {
                    removeTree(fd, child);
                } else if (::unlinkat(fd, child, 0) != 0 && errno == EISDIR) {
                    removeTree(fd, child);
                }
            }
        }
        ::close(fd);
        if (::unlinkat(folder, name, AT_REMOVEDIR) == 0 || errno != ENOTEMPTY) {
            return;
        }
    }
}

// Where the tree lies, for removing it when the run is interrupted.
int gBaseFolder = -1;
char gTreeName[64] = {};

void removeTreeAndStop(int signalNumber) {
    if (gBaseFolder >= 0 && gTreeName[0] != '\0') {
        removeTree(gBaseFolder, gTreeName);
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

std::string groupName(int group) {
    return "group " + std::to_string(group);
}

// Builds one group: its folders, then their empty files with mknodat, one system call each. On ext4 this
// takes several times longer for some minutes after a large removal, as new files avoid the numbers of
// recently removed ones: a second run straight after the first builds slowly, and measures the same.
bool buildGroup(int tree, int group) {
    const std::string name = groupName(group);
    if (::mkdirat(tree, name.c_str(), 0755) != 0) {
        return false;
    }
    const int groupFd = ::openat(tree, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    bool built = groupFd >= 0;
    char text[32];
    for (int folder = 0; built && folder < kFoldersPerGroup; ++folder) {
        std::snprintf(text, sizeof text, "folder %03d", folder);
        built = ::mkdirat(groupFd, text, 0755) == 0;
        const int folderFd = built ? ::openat(groupFd, text, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
        built = folderFd >= 0;
        for (int file = 0; built && file < kFilesPerFolder; ++file) {
            std::snprintf(text, sizeof text, "IMG_%04d.jpg", file);
            built = ::mknodat(folderFd, text, S_IFREG | 0644, 0) == 0;
        }
        if (folderFd >= 0) {
            ::close(folderFd);
        }
    }
    if (groupFd >= 0) {
        ::close(groupFd);
    }
    return built;
}

// The groups are shared among the processors, each group filled by one thread.
template <typename Work>
bool eachGroupInParallel(Work work) {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
    std::atomic<int> next{0};
    std::atomic<bool> allDone{true};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int group = next++; group < kGroups; group = next++) {
                if (!work(group)) {
                    allDone = false;
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return allDone;
}

const char* fileSystemName(const std::filesystem::path& path) {
    struct statfs status {};
    if (::statfs(path.c_str(), &status) != 0) {
        return "unknown";
    }
    switch (static_cast<std::uint32_t>(status.f_type)) {
        case 0xEF53:
            return "ext4";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        case 0x01021994:
            return "tmpfs";
        case 0xF2F52010:
            return "f2fs";
        case 0x794C7630:
            return "overlay";
        default:
            return "another file system";
    }
}

bool onRootFileSystem(const std::filesystem::path& path) {
    struct stat root {};
    struct stat here {};
    return ::stat("/", &root) == 0 && ::stat(path.c_str(), &here) == 0 && root.st_dev == here.st_dev;
}

// The folder to build in: the system's temporary folder when it lies on "/", else /var/tmp.
std::filesystem::path defaultBase() {
    const std::filesystem::path temporary = std::filesystem::temp_directory_path();
    return onRootFileSystem(temporary) ? temporary : std::filesystem::path("/var/tmp");
}

void syncTree(int tree) {
    ::syncfs(tree);
}

// ---------------------------------------------------------------------------------------------------------
// Adding: the plain walks.

struct Tally {
    std::size_t entries = 0;
    std::int64_t newest = 0;  // keeps what was read in use
};

std::int64_t gNewestSeen = 0;

// Reads the folder open at `fd` with getdents64 and stats each entry not hidden, relative to the folder or
// by full path (`path` holds the folder's own then), entering folders. Closes `fd`.
void walkFolder(int fd, std::string& path, bool byFullPath, Tally& tally) {
    alignas(8) char buffer[64 * 1024];
    const std::size_t length = path.size();
    ssize_t size = 0;
    while ((size = ::getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] == '.') {
                continue;
            }
            struct statx item {};
            int read = 0;
            if (byFullPath) {
                path.resize(length);
                path += '/';
                path += entry->d_name;
                read = ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
            } else {
                read = ::statx(fd, entry->d_name, AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
            }
            if (read != 0) {
                continue;
            }
            ++tally.entries;
            tally.newest = std::max<std::int64_t>(tally.newest, item.stx_mtime.tv_sec);
            if (S_ISDIR(item.stx_mode)) {
                const int child =
                    ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child >= 0) {
                    walkFolder(child, path, byFullPath, tally);
                }
            }
        }
    }
    path.resize(length);
    ::close(fd);
}

// The folder itself and every descendant not hidden, as addURLs lists them.
std::size_t plainWalk(const std::filesystem::path& top, bool byFullPath) {
    Tally tally;
    struct statx item {};
    if (::statx(AT_FDCWD, top.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &item) != 0) {
        return 0;
    }
    tally.entries = 1;
    std::string path = top.native();
    const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        walkFolder(fd, path, byFullPath, tally);
    }
    gNewestSeen = std::max(gNewestSeen, tally.newest);
    return tally.entries;
}

// Runs a program with its output sent to /dev/null; false when it could not run or failed.
bool runProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int status = -1;
    if (::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        ::waitpid(child, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return status == 0;
}

// ---------------------------------------------------------------------------------------------------------
// Applying: the plain loops, over the model's own list.

// The listed paths, each split into its folder and its name, in list order.
struct WriteList {
    std::vector<std::string> paths;
    std::vector<std::string> folders;
    std::vector<std::uint32_t> folderOf;  // index into `folders`
    std::vector<std::string> names;
};

WriteList writeListOf(const ItemList& items) {
    WriteList list;
    for (const FileItem& item : items) {
        const std::string& path = item.path();
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
        if (list.folders.empty() || list.folders.back() != folder) {
            list.folders.push_back(folder);
        }
        list.folderOf.push_back(static_cast<std::uint32_t>(list.folders.size() - 1));
        list.names.push_back(path.substr(slash + 1));
        list.paths.push_back(path);
    }
    return list;
}

struct LoopResult {
    std::size_t verified = 0;  // items whose date read back as written
};

bool readsBack(const struct statx& item, const timespec& written) {
    return item.stx_mtime.tv_sec == written.tv_sec && item.stx_mtime.tv_nsec == written.tv_nsec;
}

// utimensat then statx per item, relative to the item's folder, opened once for each run of its items.
LoopResult writeRelative(const WriteList& list, const timespec times[2]) {
    LoopResult result;
    int folder = -1;
    std::uint32_t open = UINT32_MAX;
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        if (list.folderOf[i] != open) {
            if (folder >= 0) {
                ::close(folder);
            }
            open = list.folderOf[i];
            folder = ::open(list.folders[open].c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        const char* name = list.names[i].c_str();
        struct statx item {};
        if (::utimensat(folder, name, times, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::statx(folder, name, AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 && readsBack(item, times[1])) {
            ++result.verified;
        }
    }
    if (folder >= 0) {
        ::close(folder);
    }
    return result;
}

// utimensat then statx per item, by full path.
LoopResult writeByPath(const WriteList& list, const timespec times[2]) {
    LoopResult result;
    for (const std::string& path : list.paths) {
        struct statx item {};
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 &&
            readsBack(item, times[1])) {
            ++result.verified;
        }
    }
    return result;
}

// What a write that no swapped folder can redirect needs: open the item without following a link, check
// what was opened, write through the descriptor, read it back.
LoopResult writeThroughDescriptor(const WriteList& list, const timespec times[2]) {
    LoopResult result;
    for (const std::string& path : list.paths) {
        const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct statx item {};
        if (fd >= 0 && ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 &&
            ::utimensat(fd, "", times, AT_EMPTY_PATH) == 0 &&
            ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 &&
            readsBack(item, times[1])) {
            ++result.verified;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return result;
}

// The same through a descriptor of each item, opened relative to its folder, opened once for each run of
// its items: the item is still the one checked, and no folder on the way is looked up again.
LoopResult writeThroughDescriptorInFolder(const WriteList& list, const timespec times[2]) {
    LoopResult result;
    int folder = -1;
    std::uint32_t open = UINT32_MAX;
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        if (list.folderOf[i] != open) {
            if (folder >= 0) {
                ::close(folder);
            }
            open = list.folderOf[i];
            folder = ::open(list.folders[open].c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        const int fd = ::openat(folder, list.names[i].c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct statx item {};
        if (fd >= 0 && ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 &&
            ::utimensat(fd, "", times, AT_EMPTY_PATH) == 0 &&
            ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item) == 0 &&
            readsBack(item, times[1])) {
            ++result.verified;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (folder >= 0) {
        ::close(folder);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// The sections.

struct AddFigures {
    Timing core;
    std::size_t listed = 0;
    std::unique_ptr<AppModel> model;  // the last one filled, for applying
};

AddFigures measureAdding(const char* label, const char* targetName, const std::filesystem::path& top,
                         const Rounds& rounds, int tree, LinuxFileAccess& files, NoPanel& panel, bool& ok) {
    const std::vector<std::filesystem::path> urls{top};
    AddFigures figures;
    std::size_t walkedRelative = 0;
    std::size_t walkedByPath = 0;
    bool foundAll = true;

    plainWalk(top, false);  // warms the caches for every pass alike
    const std::vector<Timing> best = fastestOf(
        rounds,
        {
            {true,
             [&] {
                 figures.model.reset();  // the previous list goes before the clock starts
                 std::unique_ptr<AppModel> model = newModel(files, panel);
                 const Timing timing = timed([&] { addThroughCore(*model, urls); });
                 figures.listed = model->items().size();
                 figures.model = std::move(model);
                 return timing;
             }},
            {true, [&] { return timed([&] { walkedRelative = plainWalk(top, false); }); }},
            {false, [&] { return timed([&] { walkedByPath = plainWalk(top, true); }); }},
            {false,
             [&] {
                 return timed([&] { foundAll = runProgram({"find", top.native(), "-printf", "%T@\\n"}); });
             }},
        },
        [&] { syncTree(tree); });
    figures.core = best[0];

    std::printf(
        "\nAdding %s with subfolder contents: %zu items listed, %zu walked; best of %d (beside: %d):\n",
        label, figures.listed, walkedRelative, rounds.targetRounds, rounds.asideRounds);
    printTiming("addURLs (LinuxFileAccess)", best[0], figures.listed);
    printTiming("plain walk, statx relative to the open folder", best[1], walkedRelative);
    printTiming("plain walk, statx by full path", best[2], walkedByPath);
    printTiming(foundAll ? "GNU find -printf '%T@\\n' > /dev/null" : "GNU find (FAILED)", best[3],
                walkedRelative);
    const double ratio = best[0].wall / best[1].wall;
    std::printf("  addURLs over the relative walk %.2f, over the walk by full path %.2f, over find %.2f\n",
                ratio, best[0].wall / best[2].wall, best[0].wall / best[3].wall);
    if (figures.listed != walkedRelative || walkedByPath != walkedRelative) {
        std::printf("  COUNTS DIFFER: the core listed %zu items, the walks found %zu and %zu\n",
                    figures.listed, walkedRelative, walkedByPath);
        ok = false;
    }
    ok = printTarget(targetName, ratio, kRatioLimit) && ok;
    return figures;
}

struct ApplyFigures {
    Timing core;
};

ApplyFigures measureApplying(const char* label, const char* targetName, const std::filesystem::path& top,
                             const Rounds& rounds, bool withDescriptorLoop, int tree, AppModel& model,
                             bool& ok) {
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;  // ext4 and its kind cannot write creation
        config.shiftDirection = ShiftDirection::add;
        config.shiftDays = 0;
        config.shiftHours = 1;
        config.shiftMinutes = 0;
        config.shiftSeconds = 0;
        config.correctInconsistencies = false;
    });
    const WriteList list = writeListOf(model.items());
    const std::size_t count = list.paths.size();

    // The core's writes are checked after each run, off the clock, against what it read back.
    std::size_t coreVerified = count;
    std::int64_t coreSucceeded = 0;
    std::int64_t coreFailed = 0;
    std::vector<std::optional<Date>> expected(count);
    std::vector<std::size_t> loopVerified(4, count);
    // The loops write dates an hour apart from one run to the next, within every file system's range.
    std::int64_t loopSeconds = 1'600'000'000;
    const auto loopPass = [&](std::size_t which, LoopResult (*loop)(const WriteList&, const timespec*)) {
        return [&, which, loop] {
            loopSeconds += kHour;
            const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(loopSeconds), 250'000'000}};
            LoopResult result;
            const Timing timing = timed([&] { result = loop(list, times); });
            loopVerified[which] = std::min(loopVerified[which], result.verified);
            return timing;
        };
    };
    std::vector<Pass> passes{
        {true,
         [&] {
             for (std::size_t i = 0; i < count; ++i) {
                 const std::optional<Date>& date = model.items()[i].modificationDate;
                 expected[i] = date ? std::optional<Date>(date->addingSeconds(kHour)) : std::nullopt;
             }
             const Timing timing = timed([&] { applyThroughCore(model); });
             const std::optional<ProcessResult>& result = model.lastResult();
             coreSucceeded = result ? result->succeeded : -1;
             coreFailed = result ? result->failed : -1;
             std::size_t verified = 0;
             for (std::size_t i = 0; i < count && i < model.items().size(); ++i) {
                 verified += expected[i] && model.items()[i].modificationDate == expected[i] ? 1 : 0;
             }
             coreVerified = std::min(coreVerified, verified);
             return timing;
         }},
        {true, loopPass(0, writeRelative)},
        {true, loopPass(1, writeByPath)},
    };
    if (withDescriptorLoop) {
        passes.push_back({false, loopPass(2, writeThroughDescriptor)});
        passes.push_back({false, loopPass(3, writeThroughDescriptorInFolder)});
    }

    plainWalk(top, false);  // warms the caches for every pass alike
    const std::vector<Timing> best = fastestOf(rounds, passes, [&] { syncTree(tree); });

    const bool relativeIsFaster = best[1].wall <= best[2].wall;
    const Timing& baseline = relativeIsFaster ? best[1] : best[2];
    std::printf(
        "\nShifting the modification date of %s by one hour: %zu items (the core's last run: %lld written, "
        "%lld failed); best of %d:\n",
        label, count, static_cast<long long>(coreSucceeded), static_cast<long long>(coreFailed),
        rounds.targetRounds);
    printTiming("applyChanges, refresh included", best[0], count);
    printTiming("utimensat + statx relative to the open folder", best[1], count);
    printTiming("utimensat + statx by full path", best[2], count);
    if (withDescriptorLoop) {
        printTiming("open O_PATH by full path, statx, utimensat, statx, close", best[3], count);
        printTiming("the same, opened relative to the open folder", best[4], count);
    }
    const double ratio = best[0].wall / baseline.wall;
    std::printf("  baseline: the loop %s, the faster; applyChanges over it %.2f, over the other %.2f\n",
                relativeIsFaster ? "relative to the open folder" : "by full path", ratio,
                best[0].wall / (relativeIsFaster ? best[2] : best[1]).wall);
    if (withDescriptorLoop) {
        std::printf(
            "  applyChanges over the loops through a descriptor: opened by full path %.2f, in the folder "
            "%.2f\n",
            best[0].wall / best[3].wall, best[0].wall / best[4].wall);
    }
    const bool coreVerifiedAll = coreSucceeded == static_cast<std::int64_t>(count) && coreFailed == 0 &&
                                 coreVerified == count && model.items().size() == count;
    const std::size_t loopsVerified =
        *std::min_element(loopVerified.begin(), loopVerified.begin() + (withDescriptorLoop ? 4 : 2));
    std::printf("  read back as written, in the worst run: the core %zu of %zu, the loops %zu%s\n",
                coreVerified, count, loopsVerified,
                coreVerified == count && loopsVerified == count ? "" : " (SHORT)");
    ok = ok && coreVerifiedAll && loopsVerified == count;
    ok = printTarget(targetName, ratio, kRatioLimit) && ok;
    return {best[0]};
}

// The apply of `model` with its run written down first, against the same without a journal. Follows
// measureApplying, whose settings it keeps.
void measureJournaling(const std::filesystem::path& top, const std::filesystem::path& stateFolder,
                       const Rounds& rounds, int tree, AppModel& model, bool& ok) {
    ::setenv("XDG_STATE_HOME", stateFolder.c_str(), 1);
    auto journal = std::make_unique<SqliteRunJournal>(defaultJournalPath());
    const std::string journalPath = journal->path();
    const std::size_t count = model.items().size();
    std::size_t pathBytes = 0;
    for (const FileItem& item : model.items()) {
        pathBytes += item.path().size();
    }
    // Every run of either pass must write every item; a journaled one must not have been refused.
    bool allWritten = true;
    const auto pass = [&](RunJournal* used) {
        return [&, used] {
            model.setJournal(used);
            const Timing timing = timed([&] {
                applyThroughCore(model, used != nullptr ? JournalUse::required : JournalUse::skipped);
            });
            const std::optional<ProcessResult>& result = model.lastResult();
            allWritten = allWritten && result && !result->journalFailure && !result->journalStopped &&
                         result->succeeded == static_cast<std::int64_t>(count) && result->failed == 0;
            return timing;
        };
    };
    plainWalk(top, false);  // warms the caches for both passes alike
    const std::vector<Timing> best =
        fastestOf(rounds, {{true, pass(nullptr)}, {true, pass(journal.get())}}, [&] {
            try {
                // Waits for the journal's own copy under way, if any, then copies what is left.
                if (std::filesystem::exists(journalPath)) {
                    sqlite::Database(journalPath).execute("PRAGMA wal_checkpoint(TRUNCATE)");
                }
            } catch (const JournalError& error) {
                std::printf("  the journal's log could not be copied: %s\n", error.what());
            }
            syncTree(tree);
        });
    model.setJournal(nullptr);

    std::int64_t journaled = 0;
    for (const RunRecord& run : journal->runs()) {
        journaled += run.itemCount;
    }
    // Closing the last connection moves the write-ahead log into the file and removes the log.
    journal.reset();
    std::error_code error;
    const auto fileBytes = static_cast<double>(std::filesystem::file_size(journalPath, error));
    const double perItem = journaled > 0 ? fileBytes / static_cast<double>(journaled) -
                                               static_cast<double>(pathBytes) / static_cast<double>(count)
                                         : 1e300;

    std::printf("\nThe same shift of one group, journaled and not: %zu items; best of %d:\n", count,
                rounds.targetRounds);
    printTiming("applyChanges without a journal", best[0], count);
    printTiming("applyChanges written down in SqliteRunJournal first", best[1], count);
    std::printf("  the journal: %.0f bytes for %lld entries, paths of %.1f bytes on average%s\n", fileBytes,
                static_cast<long long>(journaled),
                static_cast<double>(pathBytes) / static_cast<double>(count),
                allWritten ? "" : " (A RUN WAS SHORT)");
    ok = ok && allWritten && !error;
    ok = printTarget("apply-journaled-vs-plain-100k", best[1].wall / best[0].wall, kJournaledLimit) && ok;
    std::printf("target: journal-bytes-per-item %.0f <= %g %s\n", perItem, kJournalBytesLimit,
                perItem <= kJournalBytesLimit ? "ok" : "MISSED");
    ok = ok && perItem <= kJournalBytesLimit;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known, into a file too
    const std::filesystem::path base = argc > 1 ? std::filesystem::path(argv[1]) : defaultBase();
    std::string pattern = (base / "vellumark-bench-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::filesystem::path root = pattern;
    const std::string treeName = root.filename().native();
    gBaseFolder = ::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::snprintf(gTreeName, sizeof gTreeName, "%s", treeName.c_str());
    std::signal(SIGINT, removeTreeAndStop);
    std::signal(SIGTERM, removeTreeAndStop);
    std::signal(SIGHUP, removeTreeAndStop);
    // Read-only rather than O_PATH: syncfs needs a descriptor it can use.
    const int tree = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    const auto runStart = std::chrono::steady_clock::now();
    std::printf("Building %d files in %d folders under %s (%s%s)\n",
                kGroups * kFoldersPerGroup * kFilesPerFolder, kGroups * kFoldersPerGroup + kGroups,
                root.c_str(), fileSystemName(root),
                onRootFileSystem(root) ? ", the file system of /" : ", NOT the file system of /");
    bool ok = tree >= 0;
    const Timing built =
        timed([&] { ok = ok && eachGroupInParallel([&](int group) { return buildGroup(tree, group); }); });
    syncTree(tree);
    std::printf("  built in %.0f ms\n", built.wall);
    printMachineCosts();
    if (!ok) {
        std::printf("the tree could not be built\n");
    }

    if (ok) {
        LinuxFileAccess files;
        NoPanel panel;
        const std::filesystem::path small = root / groupName(0);

        AddFigures addSmall = measureAdding("one group (100 folders of 1,000 files)", "add-100k-vs-walk",
                                            small, kSmallRounds, tree, files, panel, ok);
        AddFigures addLarge = measureAdding("the whole tree (1,000 folders of 1,000 files)", "add-1M-vs-walk",
                                            root, kLargeRounds, tree, files, panel, ok);
        // Each apply section shifts the items of the model its add section filled last.
        const ApplyFigures applySmall = measureApplying("one group", "apply-100k-vs-loop", small,
                                                        kSmallRounds, true, tree, *addSmall.model, ok);
        // Hidden: no walk of the tree lists it.
        measureJournaling(small, root / ".state", kSmallRounds, tree, *addSmall.model, ok);
        addSmall.model.reset();
        const ApplyFigures applyLarge = measureApplying("the whole tree", "apply-1M-vs-loop", root,
                                                        kLargeRounds, false, tree, *addLarge.model, ok);
        addLarge.model.reset();

        const double addGrowth = addLarge.core.wall / addSmall.core.wall;
        const double applyGrowth = applyLarge.core.wall / applySmall.core.wall;
        std::printf("\nGrowth from 100,000 to 1,000,000 files (items: %zu to %zu):\n", addSmall.listed,
                    addLarge.listed);
        std::printf("  addURLs       %9.1f ms to %9.1f ms\n", addSmall.core.wall, addLarge.core.wall);
        std::printf("  applyChanges  %9.1f ms to %9.1f ms\n", applySmall.core.wall, applyLarge.core.wall);
        ok = printTarget("add-growth-100k-to-1M", addGrowth, kGrowthLimit) && ok;
        ok = printTarget("apply-growth-100k-to-1M", applyGrowth, kGrowthLimit) && ok;
    }

    const Timing removed = timed([&] {
        eachGroupInParallel([&](int group) {
            removeTree(tree, groupName(group).c_str());
            return true;
        });
        removeTree(gBaseFolder, gTreeName);
    });
    std::printf("\nRemoved the tree in %.0f ms; the whole run took %.0f s\n", removed.wall,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count());
    std::printf("%s\n", ok ? "targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}
