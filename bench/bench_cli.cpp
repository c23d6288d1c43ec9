// Shifting 100,000 real files with `vellumark-cli --yes`, against the same work done in-process through
// AppModel (listing with subfolder contents, then applyChanges). The program also prints the preview of
// every item, which is its cost over the core. Target: ratio at most 1.2. The program is looked for
// beside this benchmark's build folder; an optional argument names the folder to build the tree in.
#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vellumark;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1'000;
constexpr int kRounds = 3;

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& /*options*/) override {
        return std::nullopt;
    }
};

// Every item dated in 2001, so that each run's shift of an hour writes every item. Dated now, the first
// run would find them an hour in the future, the dates would be corrected to the present, and a run within
// the same second as the one before would write nothing.
void buildTree(const std::filesystem::path& root) {
    const timespec dates[2] = {{978'307'200, 0}, {978'307'200, 0}};
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::filesystem::path path = root / std::to_string(folder);
        std::filesystem::create_directories(path);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const int fd = open((path / std::to_string(file)).c_str(), O_CREAT | O_WRONLY, 0644);
            futimens(fd, dates);
            close(fd);
        }
        utimensat(AT_FDCWD, path.c_str(), dates, 0);
    }
    utimensat(AT_FDCWD, root.c_str(), dates, 0);
}

template <typename Work>
double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return Milliseconds(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path cli =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "src/cli/vellumark-cli";
    const std::filesystem::path base =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    std::string pattern = (base / "vellumark-bench-cli-XXXXXX").string();
    const std::filesystem::path root = mkdtemp(pattern.data());
    buildTree(root);
    std::printf("%d files under %s\n", kFolders * kFilesPerFolder, root.c_str());

    // Without the journal, as the core runs here: bench_file_dates measures what journaling costs, and the
    // user's own journal is left alone.
    const std::string command =
        "'" + cli.string() + "' --yes --no-journal -r shift +1h '" + root.string() + "' >/dev/null";
    int status = 0;
    const auto cliRun = [&] { status = std::system(command.c_str()); };
    const auto coreRun = [&] {
        LinuxFileAccess files;
        NoPanel panel;
        AppModel model(files, panel);
        model.editConfig([](ActionConfig& config) {
            config.kind = DateActionKind::shift;
            config.shiftHours = 1;
            config.includeSubfolderContents = true;
        });
        const std::vector<std::filesystem::path> urls{root};
        model.addURLs(urls);
        model.applyChanges();
    };
    // Alternated and the fastest of each kept, so that neither side pays alone for a cold cache. Three
    // rounds: a run takes a third of a second, in which a busy machine's other work weighs much.
    double cliTime = timed(cliRun);
    double coreTime = timed(coreRun);
    for (int round = 1; round < kRounds; ++round) {
        cliTime = std::min(cliTime, timed(cliRun));
        coreTime = std::min(coreTime, timed(coreRun));
    }
    std::filesystem::remove_all(root);

    if (status != 0) {
        std::printf("vellumark-cli failed with status %d\n", status);
        return 1;
    }
    const double ratio = cliTime / coreTime;
    std::printf("vellumark-cli: %.0f ms, AppModel in-process: %.0f ms\n", cliTime, coreTime);
    std::printf("target: cli-vs-core %.2f <= 1.2 %s\n", ratio, ratio <= 1.2 ? "ok" : "MISSED");
    return 0;
}
