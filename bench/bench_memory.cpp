// Peak resident memory of a list of a million items added through AppModel::addURLs, per item beyond the
// bytes of its path. The file system is simulated (a folder whose million descendants answer at once), so
// the figure is the model's own cost: items, list growth and the duplicate set.

#include "app_model/app_model.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vellumark;

constexpr std::size_t kItems = 1'000'000;
constexpr std::size_t kFilesPerFolder = 1'000;
constexpr double kTargetBytesPerItem = 200;
const std::string kRoot = "/home/someone/Pictures/Library";

class InstantFileAccess final : public FileAccess {
public:
    Existence fileExists(const std::filesystem::path& path) const override {
        return {true, isFolder(path.native())};
    }
    std::optional<DateAttributes> attributes(const std::filesystem::path&) const override {
        return DateAttributes{Date::fromParts(1'600'000'000, 123), Date::fromParts(1'650'000'000, 456)};
    }
    bool enumerateDescendants(const std::filesystem::path&,
                              const std::function<void(const std::filesystem::path&)>& visit) const override {
        char name[64];
        for (std::size_t listed = 1, folder = 0; listed < kItems; ++folder) {
            std::snprintf(name, sizeof name, "/d%04zu", folder);
            const std::string folderPath = kRoot + name;
            visit(folderPath);
            ++listed;
            for (std::size_t file = 0; file < kFilesPerFolder && listed < kItems; ++file, ++listed) {
                std::snprintf(name, sizeof name, "/IMG_%07zu.jpg", folder * kFilesPerFolder + file);
                visit(folderPath + name);
            }
        }
        return true;
    }
    std::optional<std::string> setAttributes(const std::filesystem::path&, const std::optional<ItemIdentity>&,
                                             const DateAttributes&) override {
        return std::nullopt;
    }

private:
    static bool isFolder(const std::string& path) { return !path.ends_with(".jpg"); }
};

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::strlen(field)));
        }
    }
    return -1;
}

double residentMiB() {
    return static_cast<double>(statusKilobytes("VmRSS:")) / 1024;
}

struct Measurement {
    double baselineMiB = 0;
    double peakMiB = 0;
    double afterMiB = 0;  // with the list still held
    double seconds = 0;
    double items = 0;
    double pathBytes = 0;
};

// Runs `work` in a fresh child process, so that neither run inherits the other's heap, and returns
// what it measured.
template <typename Work>
Measurement measureInChild(Work work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        // Start the high-water mark afresh where the kernel allows it.
        std::ofstream("/proc/self/clear_refs") << "5";
        Measurement m;
        m.baselineMiB = residentMiB();
        const auto start = std::chrono::steady_clock::now();
        work(m);
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        m.peakMiB = static_cast<double>(statusKilobytes("VmHWM:")) / 1024;
        const ssize_t written = write(pipeEnds[1], &m, sizeof m);
        _exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
    }
    close(pipeEnds[1]);
    Measurement m;
    const ssize_t got = read(pipeEnds[0], &m, sizeof m);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != static_cast<ssize_t>(sizeof m) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "measurement failed\n");
        std::exit(1);
    }
    return m;
}

double perItemBeyondPath(const Measurement& m, double residentMiB) {
    return (residentMiB - m.baselineMiB) * 1024 * 1024 / m.items - m.pathBytes / m.items;
}

}  // namespace

int main() {
    std::printf("Memory of %zu listed items (simulated file system: answers at once, no disk access)\n",
                kItems);
    std::printf("sizeof(FileItem) = %zu bytes\n\n", sizeof(FileItem));

    // The least any list must hold: the same paths, each in a std::string of a std::vector.
    const Measurement bare = measureInChild([](Measurement& m) {
        std::vector<std::string> paths;
        InstantFileAccess{}.enumerateDescendants(
            kRoot, [&](const std::filesystem::path& path) { paths.push_back(path.native()); });
        paths.insert(paths.begin(), kRoot);
        m.afterMiB = residentMiB();
        m.items = static_cast<double>(paths.size());
        for (const std::string& path : paths) {
            m.pathBytes += static_cast<double>(path.size());
        }
    });

    const Measurement model = measureInChild([](Measurement& m) {
        InstantFileAccess files;
        NoPanel panel;
        AppModel app(files, panel);
        std::size_t notifications = 0;
        auto counting = app.objectWillChange().subscribe([&] { ++notifications; });
        app.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
        const std::vector<std::filesystem::path> urls{kRoot};
        app.addURLs(urls);
        m.afterMiB = residentMiB();
        m.items = static_cast<double>(app.items().size());
        for (const FileItem& item : app.items()) {
            m.pathBytes += static_cast<double>(item.path().size());
        }
        // Items join in batches, one notification each, never one per item.
        if (notifications == 0 || notifications > app.items().size() / 64 + 2) {
            std::fprintf(stderr, "unexpected notification count %zu\n", notifications);
            std::exit(1);
        }
    });

    // Applying a shift to every item refreshes the list where it stands: peak memory during the run
    // against the memory before it.
    const Measurement apply = measureInChild([](Measurement& m) {
        InstantFileAccess files;
        NoPanel panel;
        AppModel app(files, panel);
        app.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
        const std::vector<std::filesystem::path> urls{kRoot};
        app.addURLs(urls);
        app.editConfig([](ActionConfig& config) {
            config.kind = DateActionKind::shift;
            config.fields = DateFieldSelection::modification;
            config.shiftHours = 1;
        });
        std::ofstream("/proc/self/clear_refs") << "5";
        m.baselineMiB = residentMiB();
        app.applyChanges();
        m.afterMiB = residentMiB();
        m.items = static_cast<double>(app.lastResult()->succeeded);
    });

    std::printf("%-34s %10s %10s %10s %12s %12s\n", "", "base MiB", "peak MiB", "after MiB", "B/item peak",
                "B/item after");
    const auto row = [](const char* name, const Measurement& m) {
        std::printf("%-34s %10.1f %10.1f %10.1f %12.1f %12.1f\n", name, m.baselineMiB, m.peakMiB, m.afterMiB,
                    perItemBeyondPath(m, m.peakMiB), perItemBeyondPath(m, m.afterMiB));
    };
    row("vector<string> of the paths", bare);
    row("AppModel::addURLs", model);
    std::printf("\nitems %.0f, mean path %.1f bytes, addURLs took %.2f s\n", model.items,
                model.pathBytes / model.items, model.seconds);
    const double modelPerItem = perItemBeyondPath(model, model.peakMiB);
    std::printf(
        "peak per item beyond its path: %.1f bytes; target %.0f; ratio to target %.2f; "
        "ratio to bare vector<string> %.2f\n",
        modelPerItem, kTargetBytesPerItem, modelPerItem / kTargetBytesPerItem,
        modelPerItem / perItemBeyondPath(bare, bare.peakMiB));
    std::printf("target: bytes-per-item %.1f <= %.0f %s\n", modelPerItem, kTargetBytesPerItem,
                modelPerItem <= kTargetBytesPerItem ? "ok" : "MISSED");

    const double applyPeak = apply.peakMiB / apply.baselineMiB;
    std::printf("\napplying a shift to %.0f items: %.1f MiB before, peak %.1f MiB, %.1f MiB after, %.2f s\n",
                apply.items, apply.baselineMiB, apply.peakMiB, apply.afterMiB, apply.seconds);
    std::printf("target: apply-peak-vs-before %.3f <= 1.1 %s\n", applyPeak,
                applyPeak <= 1.1 ? "ok" : "MISSED");
    return modelPerItem <= kTargetBytesPerItem && applyPeak <= 1.1 ? 0 : 1;
}
