// Adding and shifting 100,000 real files. Builds 10 folders of 100 folders of 100 files in a temporary
// folder, then measures, against baselines that make the same system calls in a tight loop:
//   1. addURLs of the top folder with subfolder contents on, against a walk doing the directory reads and
//      one statx per entry (by full path, as any lister must); GNU find over the tree is shown beside;
//   2. applyChanges of a one-hour shift of every modification date, refresh included, against one
//      utimensat and one statx per item.
// Targets: both ratios at most 1.5. An optional argument names the folder to build the tree in.
#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace vellumark;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int kGroups = 10;
constexpr int kFoldersPerGroup = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kRounds = 5;
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

void buildTree(const std::filesystem::path& root) {
    char name[64];
    for (int group = 0; group < kGroups; ++group) {
        std::snprintf(name, sizeof name, "group %02d", group);
        const std::filesystem::path groupPath = root / name;
        std::filesystem::create_directory(groupPath);
        for (int folder = 0; folder < kFoldersPerGroup; ++folder) {
            std::snprintf(name, sizeof name, "folder %03d", folder);
            const std::filesystem::path folderPath = groupPath / name;
            std::filesystem::create_directory(folderPath);
            for (int file = 0; file < kFilesPerFolder; ++file) {
                std::snprintf(name, sizeof name, "IMG_%05d.jpg", file);
                ::close(::open((folderPath / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
            }
        }
    }
}

double elapsedSince(std::chrono::steady_clock::time_point start) {
    return Milliseconds(std::chrono::steady_clock::now() - start).count();
}

template <typename Pass>
double timed(Pass&& pass) {
    const auto start = std::chrono::steady_clock::now();
    pass();
    return elapsedSince(start);
}

// Runs the passes in turn, round after round, and keeps each one's fastest round: on a shared machine,
// interleaving lets both sides of a ratio meet the same passing load.
std::vector<double> fastestOf(const std::vector<std::function<double()>>& passes) {
    std::vector<double> best(passes.size(), 1e300);
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < passes.size(); ++i) {
            best[i] = std::min(best[i], passes[i]());
        }
    }
    return best;
}

// Directory reads and one statx per entry: by full path, or relative to the open folder.
std::size_t plainWalk(int folder, std::string& path, bool byFullPath) {
    DIR* stream = ::fdopendir(folder);
    if (stream == nullptr) {
        ::close(folder);
        return 0;
    }
    std::size_t count = 0;
    const std::size_t length = path.size();
    while (const dirent* entry = ::readdir(stream)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        path.resize(length);
        path += '/';
        path += entry->d_name;
        struct statx item {};
        if (byFullPath) {
            ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
        } else {
            ::statx(::dirfd(stream), entry->d_name, AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
        }
        ++count;
        if (entry->d_type == DT_DIR) {
            count += plainWalk(::openat(::dirfd(stream), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                               path, byFullPath);
        }
    }
    ::closedir(stream);
    return count;
}

std::size_t plainWalkOf(const std::filesystem::path& root, bool byFullPath) {
    struct statx item {};
    ::statx(AT_FDCWD, root.c_str(), 0, kStatxMask, &item);
    std::string path = root.native();
    return 1 + plainWalk(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path, byFullPath);
}

double timeProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return fastestOf({[&] {
        return timed([&] {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            pid_t child = 0;
            if (::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
                int status = 0;
                ::waitpid(child, &status, 0);
            }
            posix_spawn_file_actions_destroy(&actions);
        });
    }})[0];
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path base =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    std::string pattern = (base / "vellumark-bench-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::filesystem::path root = pattern;
    std::printf("Building %d files in %d folders under %s\n", kGroups * kFoldersPerGroup * kFilesPerFolder,
                kGroups * kFoldersPerGroup + kGroups, root.c_str());
    buildTree(root);
    bool ok = true;

    LinuxFileAccess files;
    NoPanel panel;
    const std::vector<std::filesystem::path> urls{root};
    std::size_t listed = 0;
    const auto addAll = [&](AppModel& model) {
        model.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
        model.addURLs(urls);
        listed = model.items().size();
    };

    // Everything once beforehand, so that every pass finds the same warm caches.
    std::size_t walked = plainWalkOf(root, true);
    {
        AppModel warmUp(files, panel);
        addAll(warmUp);
    }
    const std::vector<double> adding = fastestOf({
        [&] {
            AppModel model(files, panel);
            model.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
            const double elapsed = timed([&] { model.addURLs(urls); });
            listed = model.items().size();
            return elapsed;
        },
        [&] { return timed([&] { walked = plainWalkOf(root, true); }); },
        [&] { return timed([&] { walked = plainWalkOf(root, false); }); },
    });
    const double added = adding[0];
    const double walkedByPath = adding[1];
    const double walkedRelative = adding[2];
    const double found = timeProgram({"find", root.native()});
    const double foundWithDates = timeProgram({"find", root.native(), "-printf", "%T@\n"});
    const double addRatio = added / walkedByPath;
    std::printf("\nAdding the folder with subfolder contents (%zu items listed, %zu walked), best of %d:\n",
                listed, walked, kRounds);
    std::printf("  addURLs                                   %9.1f ms  %7.0f ns per item\n", added,
                added * 1e6 / static_cast<double>(listed));
    std::printf("  plain walk, statx by full path            %9.1f ms  %7.0f ns per item\n", walkedByPath,
                walkedByPath * 1e6 / static_cast<double>(walked));
    std::printf("  ratio                                     %9.2f     (target at most 1.5)\n", addRatio);
    std::printf("target: add-vs-walk %.2f <= 1.5 %s\n", addRatio, addRatio <= 1.5 ? "ok" : "MISSED");
    std::printf(
        "  for comparison: plain walk, statx relative to the folder %.1f ms; GNU find %.1f ms, "
        "GNU find printing every modification date %.1f ms\n",
        walkedRelative, found, foundWithDates);
    ok = ok && listed == walked && addRatio <= 1.5;

    AppModel model(files, panel);
    addAll(model);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftDirection = ShiftDirection::add;
        config.shiftHours = 1;
        config.correctInconsistencies = false;
    });
    std::vector<std::filesystem::path> paths;
    for (const FileItem& item : model.items()) {
        paths.push_back(item.url());
    }
    std::int64_t succeeded = 0;
    std::int64_t failed = 0;
    Date baselineDate = Date::fromParts(1'000'000'000);
    // The baseline is the least a write must do that no swapped folder can redirect: open the item
    // without following links, check what was opened, write through the descriptor, read it back. The
    // plain write by path is printed beside it, for comparison.
    const std::vector<double> applying = fastestOf({
        [&] {
            const double elapsed = timed([&] { model.applyChanges(); });
            succeeded = model.lastResult() ? model.lastResult()->succeeded : -1;
            failed = model.lastResult() ? model.lastResult()->failed : -1;
            return elapsed;
        },
        [&] {
            baselineDate = baselineDate.addingSeconds(3'600);
            const struct timespec times[2] = {{0, UTIME_OMIT},
                                              {baselineDate.seconds(), baselineDate.nanoseconds()}};
            return timed([&] {
                for (const std::filesystem::path& path : paths) {
                    const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
                    struct statx item {};
                    ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
                    ::utimensat(fd, "", times, AT_EMPTY_PATH);
                    ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
                    ::close(fd);
                }
            });
        },
        [&] {
            baselineDate = baselineDate.addingSeconds(3'600);
            const struct timespec times[2] = {{0, UTIME_OMIT},
                                              {baselineDate.seconds(), baselineDate.nanoseconds()}};
            return timed([&] {
                for (const std::filesystem::path& path : paths) {
                    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
                    struct statx item {};
                    ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &item);
                }
            });
        },
    });
    const double applied = applying[0];
    const double touched = applying[1];
    const double touchedByPath = applying[2];
    const double applyRatio = applied / touched;
    std::printf(
        "\nShifting every modification date by one hour (%zu items; last run: %lld written, %lld failed), "
        "best of %d:\n",
        paths.size(), static_cast<long long>(succeeded), static_cast<long long>(failed), kRounds);
    std::printf("  applyChanges, refresh included            %9.1f ms  %7.0f ns per item\n", applied,
                applied * 1e6 / static_cast<double>(paths.size()));
    std::printf("  open, statx, utimensat, statx, close      %9.1f ms  %7.0f ns per item\n", touched,
                touched * 1e6 / static_cast<double>(paths.size()));
    std::printf("  ratio                                     %9.2f     (target at most 1.5)\n", applyRatio);
    std::printf("target: apply-vs-touch %.2f <= 1.5 %s\n", applyRatio, applyRatio <= 1.5 ? "ok" : "MISSED");
    std::printf(
        "  for comparison: utimensat + statx by path, which a swapped folder redirects, %.1f ms (%.2f)\n",
        touchedByPath, applied / touchedByPath);
    ok = ok && static_cast<std::size_t>(succeeded) == paths.size() && failed == 0 && applyRatio <= 1.5;

    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    std::printf("\n%s\n", ok ? "targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}
