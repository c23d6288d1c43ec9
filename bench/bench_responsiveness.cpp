// How long the window's event loop stalls while it works on 1,000,000 real files (or as many as the first
// argument says: `bench_responsiveness 100000`), and what the window costs adding and applying against the
// application's core alone.
//
// The files are made in a fresh temporary folder on the file system of "/", in subfolders of 1,000 empty
// files with modification dates in 2021 (so that a shift never passes "now"), and removed at the end. The
// real window runs offscreen (unless QT_QPA_PLATFORM says otherwise) over LinuxFileAccess with the event
// loop's hand-back, so adding and applying run on the worker thread. A 5 ms heartbeat timer records the
// longest gap between its beats (the longest stall of the loop) during:
//
//   1. adding the folder with subfolder contents on, until the model is no longer busy;
//   2. applying a one-hour shift of every modification date, until the model is no longer busy (the alert
//      with the outcome is closed afterwards, outside the measurement);
//   3. Select All (Ctrl+A in the table);
//   4. one step of the shift hours stepper (the Up key);
//   5. sorting by name (a click on the Name header), until the rows show the order, every row selected;
//   6. filtering by name (typing "f0001" in the filter field), until the rows show the few that match and
//      the items hidden have left the selection;
//   7. emptying the filter (Escape), until every row shows again in the order of the names;
//   8. back to the list's order (two more clicks on the Name header);
//   9. adding one of the folders again, until the model is no longer busy: its items are all listed, so
//      this is the cost of starting an add on a long list and of telling its items apart;
//  10. removing the selected items (the toolbar's Remove), after selecting every row again (not timed).
//
// Each phase keeps listening for 300 ms after its work is done, so the redraws it leaves behind count too.
// Target: no stall longer than 50 ms. Beside each: the time taken, the loop thread's processor time, and
// the slowest events the loop delivered, with what the hand-back ran there (the worker's batches).
//
// The same adding and applying also run through an AppModel alone, with a hand-back whose functions the
// measuring thread runs as they come. Targets: the window's time at most 1.1 times the core's, for adding
// and for applying. Before every timed pass the file system is synced and the process's other threads have
// gone quiet (what a pass before freed on threads of its own is freed). Core and window take turns over
// three rounds (core first, then window first, then core first), each round with a window and a model of
// its own, so that every pass starts from a fresh model. As in the other benchmarks each time keeps its
// fastest round (on a shared machine the slower ones measure the other work more than this one); each
// stall keeps its longest round, as the first adding in a process meets fresh memory where a later one
// reuses what the first freed.
#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "linux_fs/linux_file_access.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/bindings/event_loop_hand_back.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/content_view.h"
#include "ui/toolkit/stepper.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <malloc.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vellumark;
using Stopwatch = std::chrono::steady_clock;

constexpr std::size_t kDefaultFiles = 1'000'000;
constexpr std::size_t kFilesPerFolder = 1'000;
constexpr int kRounds = 3;
constexpr int kHeartbeatMilliseconds = 5;
constexpr double kMostStallMilliseconds = 50;
constexpr double kMostWindowOverCore = 1.1;
// How long a phase keeps listening once its work is done.
constexpr auto kSettle = std::chrono::milliseconds(300);
// 2021-06-01 00:00:00 UTC.
constexpr time_t kOldModification = 1'622'505'600;

double milliseconds(Stopwatch::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The processor time of the calling thread: what it did, without the time the system gave to others.
double threadMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The tree of files: `count` empty files in subfolders of kFilesPerFolder, removed when this goes.
class FileTree {
public:
    explicit FileTree(std::size_t count) : count_(count) {
        // The temporary folder of the system when it lies on the file system of "/", else one beside it.
        struct stat rootStat {};
        ::stat("/", &rootStat);
        std::string base = "/var/tmp";
        for (const char* candidate : {"/tmp", "/var/tmp"}) {
            struct stat candidateStat {};
            if (::stat(candidate, &candidateStat) == 0 && candidateStat.st_dev == rootStat.st_dev) {
                base = candidate;
                break;
            }
        }
        std::string pattern = base + "/vellumark-responsiveness-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        root_ = pattern;
        char path[4096];
        for (std::size_t made = 0; made < count_; ++made) {
            const std::size_t folder = made / kFilesPerFolder;
            if (made % kFilesPerFolder == 0) {
                std::snprintf(path, sizeof path, "%s/d%05zu", root_.c_str(), folder);
                if (::mkdir(path, 0755) != 0) {
                    fail("mkdir", made);
                }
            }
            std::snprintf(path, sizeof path, "%s/d%05zu/f%04zu", root_.c_str(), folder,
                          made % kFilesPerFolder);
            const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                fail("open", made);
            }
            const timespec dates[2] = {{kOldModification, 0},
                                       {kOldModification + static_cast<time_t>(made % 86'400), 0}};
            if (::futimens(fd, dates) != 0) {
                ::close(fd);
                fail("futimens", made + 1);
            }
            ::close(fd);
        }
    }
    ~FileTree() { removeAll(); }
    FileTree(const FileTree&) = delete;
    FileTree& operator=(const FileTree&) = delete;

    const std::string& root() const { return root_; }
    // The items a model lists for it: the folder, its subfolders and the files.
    std::size_t items() const { return 1 + (count_ + kFilesPerFolder - 1) / kFilesPerFolder + count_; }

private:
    [[noreturn]] void fail(const char* call, std::size_t made) {
        std::perror(call);
        count_ = made;
        removeAll();
        std::exit(2);
    }

    void removeAll() const {
        char path[4096];
        for (std::size_t removed = 0; removed < count_; ++removed) {
            std::snprintf(path, sizeof path, "%s/d%05zu/f%04zu", root_.c_str(), removed / kFilesPerFolder,
                          removed % kFilesPerFolder);
            ::unlink(path);
        }
        for (std::size_t folder = 0; folder <= count_ / kFilesPerFolder; ++folder) {
            std::snprintf(path, sizeof path, "%s/d%05zu", root_.c_str(), folder);
            ::rmdir(path);
        }
        ::rmdir(root_.c_str());
    }

    std::size_t count_;
    std::string root_;
};

class NoPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions&) override {
        return std::nullopt;
    }
};

// One event the loop delivered, and how long it took.
struct SlowEvent {
    double milliseconds;
    double processor;  // of those, on the processor
    double at;         // since the phase began
    std::string what;
};

const char* eventName(int type) {
    switch (type) {
        case QEvent::MetaCall:
            return "a queued call";
        case QEvent::UpdateRequest:
            return "a repaint";
        case QEvent::LayoutRequest:
            return "a layout";
        case QEvent::Timer:
            return "a timer";
        case QEvent::DeferredDelete:
            return "a deferred delete";
        default:
            return "an event";
    }
}

// Times every event the loop delivers (not the ones delivered within another) and keeps the slow ones.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_ > 0) {
            return QApplication::notify(receiver, event);
        }
        // Read before: the receiver may be gone afterwards (a deferred delete).
        const char* receiverClass = receiver->metaObject()->className();
        const char* parentClass = receiver->parent() != nullptr && receiver != this
                                      ? receiver->parent()->metaObject()->className()
                                      : nullptr;
        const int type = event->type();
        ++depth_;
        const auto start = Stopwatch::now();
        const double processorStart = threadMilliseconds();
        const bool result = QApplication::notify(receiver, event);
        const double taken = milliseconds(Stopwatch::now() - start);
        --depth_;
        if (taken >= 5) {
            std::string what = receiverClass;
            if (parentClass != nullptr) {
                what += std::string(" in ") + parentClass;
            }
            slow.push_back({taken, threadMilliseconds() - processorStart, milliseconds(start - phaseStart),
                            std::string(eventName(type)) + " (" + std::to_string(type) + ") to " + what});
        }
        return result;
    }

    // What the hand-back ran on this thread in the phase: how many functions, the longest, and in all.
    std::size_t handedBack = 0;
    double handedBackLongest = 0;
    double handedBackTotal = 0;
    double handedBackProcessor = 0;
    std::vector<SlowEvent> slow;
    Stopwatch::time_point phaseStart;

private:
    int depth_ = 0;
};

TimingApplication* timing() {
    return static_cast<TimingApplication*>(qApp);
}

// The event loop's hand-back, timing each function where it runs.
HandBack timedEventLoopHandBack() {
    return [handBack = bindings::eventLoopHandBack()](std::function<void()> function) {
        handBack([function = std::move(function)] {
            const auto start = Stopwatch::now();
            const double processorStart = threadMilliseconds();
            function();
            const double taken = milliseconds(Stopwatch::now() - start);
            TimingApplication* application = timing();
            application->handedBackProcessor += threadMilliseconds() - processorStart;
            ++application->handedBack;
            application->handedBackLongest = std::max(application->handedBackLongest, taken);
            application->handedBackTotal += taken;
        });
    };
}

struct PhaseResult {
    double action = 0;     // the action's own call
    double elapsed = 0;    // from the action to its end, the settling not included
    double processor = 0;  // of the loop's thread, settling included
    double longestGap = 0;
    double longestGapAt = 0;
    std::size_t beats = 0;
    std::size_t gapsOverLimit = 0;
};

// Runs `action` on the event loop, then the loop until `done` holds and kSettle more, with the heartbeat
// recording the gaps between its beats.
PhaseResult runPhase(const std::function<void()>& action, const std::function<bool()>& done) {
    TimingApplication& application = *timing();
    application.slow.clear();
    application.handedBack = 0;
    application.handedBackLongest = 0;
    application.handedBackTotal = 0;
    application.handedBackProcessor = 0;

    PhaseResult result;
    QEventLoop loop;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(kHeartbeatMilliseconds);
    bool acted = false;
    std::optional<Stopwatch::time_point> doneAt;
    const double processorStart = threadMilliseconds();
    const Stopwatch::time_point start = Stopwatch::now();
    Stopwatch::time_point last = start;
    application.phaseStart = start;

    QObject::connect(&heartbeat, &QTimer::timeout, &loop, [&] {
        const auto now = Stopwatch::now();
        const double gap = milliseconds(now - last);
        if (gap > result.longestGap) {
            result.longestGap = gap;
            result.longestGapAt = milliseconds(last - start);
        }
        result.gapsOverLimit += gap > kMostStallMilliseconds ? 1 : 0;
        ++result.beats;
        last = now;
        if (acted && !doneAt && done()) {
            doneAt = now;
            result.elapsed = milliseconds(now - start);
        }
        if (doneAt && now - *doneAt >= kSettle) {
            loop.quit();
        }
    });
    QTimer::singleShot(0, &loop, [&] {
        const auto actionStart = Stopwatch::now();
        action();
        result.action = milliseconds(Stopwatch::now() - actionStart);
        acted = true;
    });
    heartbeat.start();
    loop.exec();
    result.processor = threadMilliseconds() - processorStart;
    return result;
}

void printPhase(const char* name, const PhaseResult& result) {
    TimingApplication& application = *timing();
    std::printf(
        "  %-11s %9.1f ms (the call %.1f ms; loop thread on the processor %.1f ms)  longest stall %.1f "
        "ms at %.0f ms, %zu beats, %zu stalls over %.0f ms\n",
        name, result.elapsed, result.action, result.processor, result.longestGap, result.longestGapAt,
        result.beats, result.gapsOverLimit, kMostStallMilliseconds);
    if (application.handedBack > 0) {
        std::printf(
            "  %-11s handed back %zu functions, longest %.1f ms, in all %.1f ms (%.1f ms on the "
            "processor)\n",
            "", application.handedBack, application.handedBackLongest, application.handedBackTotal,
            application.handedBackProcessor);
    }
    std::vector<SlowEvent> slow = application.slow;
    std::sort(slow.begin(), slow.end(),
              [](const SlowEvent& a, const SlowEvent& b) { return a.milliseconds > b.milliseconds; });
    for (std::size_t i = 0; i < std::min<std::size_t>(slow.size(), 3); ++i) {
        std::printf("  %-11s slow event %.1f ms (%.1f on the processor) at %.0f ms: %s\n", "",
                    slow[i].milliseconds, slow[i].processor, slow[i].at, slow[i].what.c_str());
    }
}

bool printTarget(const std::string& name, double measured, double limit, const char* format) {
    const bool ok = measured <= limit;
    std::printf("target: %s ", name.c_str());
    std::printf(format, measured);
    std::printf(" <= %g %s\n", limit, ok ? "ok" : "MISSED");
    return ok;
}

void configureShift(AppModel& model) {
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftDirection = ShiftDirection::add;
        config.shiftDays = 0;
        config.shiftHours = 1;
        config.shiftMinutes = 0;
        config.shiftSeconds = 0;
    });
}

struct CoreTimes {
    double add = 0;
    double apply = 0;
};

// Syncs the file system, then waits (at most 3 s) until no other thread of this process has been
// running for 20 ms: a list of a million items freed on a thread of its own after the pass before would
// otherwise take a core from the pass about to be timed, and always from the same one.
void settle() {
    ::sync();
    const pid_t self = ::gettid();
    const auto runningElsewhere = [self] {
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            if (std::atoi(task.path().filename().c_str()) == self) {
                continue;
            }
            char line[512] = {};
            if (std::FILE* stat = std::fopen((task.path() / "stat").c_str(), "re")) {
                const std::size_t read = std::fread(line, 1, sizeof line - 1, stat);
                std::fclose(stat);
                const char* state = std::strrchr(line, ')');
                if (read > 0 && state != nullptr && state[1] == ' ' && state[2] == 'R') {
                    return true;
                }
            }
        }
        return false;
    };
    const auto deadline = Stopwatch::now() + std::chrono::seconds(3);
    for (int quiet = 0; quiet < 4 && Stopwatch::now() < deadline;) {
        quiet = runningElsewhere() ? 0 : quiet + 1;
        ::usleep(5'000);
    }
}

// Adding and applying through an AppModel alone, its hand-back run on this thread.
CoreTimes measureCore(LinuxFileAccess& files, const FileTree& tree) {
    NoPanel panel;
    HandBackQueue queue;
    AppModel model(files, panel, systemClock(), queue.handBack());
    model.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    // The window reads the count of changes as soon as the configuration changes, and from then on the
    // model counts each item as it is added. Read here too, so that the model does the same work on
    // both sides and the ratio measures the window's own.
    model.changeCount();
    const std::vector<std::filesystem::path> urls{tree.root()};

    CoreTimes times;
    settle();
    auto start = Stopwatch::now();
    model.addURLs(urls);
    queue.runUntil([&] { return !model.isBusy(); });
    times.add = milliseconds(Stopwatch::now() - start);

    configureShift(model);
    settle();
    start = Stopwatch::now();
    model.applyChanges();
    queue.runUntil([&] { return !model.isBusy(); });
    times.apply = milliseconds(Stopwatch::now() - start);

    std::printf("core: %zu items; adding %.1f ms, applying %.1f ms (%zu changed, %zu failed)\n",
                model.items().size(), times.add, times.apply,
                model.lastResult() ? model.lastResult()->succeeded : 0,
                model.lastResult() ? model.lastResult()->failed : 0);
    return times;
}

enum Phase {
    addPhase,
    applyPhase,
    selectAllPhase,
    stepPhase,
    sortPhase,
    filterPhase,
    unfilterPhase,
    unsortPhase,
    addMorePhase,
    removePhase,
    phaseCount
};
constexpr std::array<const char*, phaseCount> kPhaseNames{
    "add", "apply", "select-all", "step", "sort", "filter", "unfilter", "unsort", "add-more", "remove"};

// How many rows the table shows selected.
std::size_t selectedRows(const QTableView& table) {
    std::size_t rows = 0;
    for (const QItemSelectionRange& range : table.selectionModel()->selection()) {
        rows += static_cast<std::size_t>(range.height());
    }
    return rows;
}

void clickHeader(const QTableView& table, int column) {
    QHeaderView& header = *table.horizontalHeader();
    QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header.sectionViewportPosition(column) + 10, header.height() / 2));
}
using WindowRound = std::array<PhaseResult, phaseCount>;

// One round in a window of its own, on a model of its own: the phases above.
std::optional<WindowRound> measureWindow(LinuxFileAccess& files, const FileTree& tree) {
    NoPanel panel;
    VellumarkApp app(files, panel, systemClock(), timedEventLoopHandBack());
    ContentView& window = app.openWindow();
    window.resize(1100, 660);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("the window did not show\n");
        return std::nullopt;
    }
    AppModel& model = window.model();
    auto* table = window.findChild<QTableView*>("fileTable");
    auto* hours = window.findChild<toolkit::Stepper*>("hoursStepper");
    auto* remove = window.findChild<QAction*>("removeAction");
    auto* list = window.findChild<file_table::FileTableView*>();
    if (table == nullptr || hours == nullptr || remove == nullptr || list == nullptr) {
        std::printf("the window lacks its table, hours stepper or Remove\n");
        return std::nullopt;
    }
    const file_table::FileTableModel& rows = list->tableModel();
    // The rows show the order, and the model's selection as much of it as they show.
    const auto ordered = [&] {
        return rows.showsOrder() &&
               selectedRows(*table) ==
                   std::min<std::size_t>(model.selection().size(), static_cast<std::size_t>(rows.rowCount()));
    };
    const std::vector<std::filesystem::path> urls{tree.root()};
    WindowRound round;
    std::printf("window:\n");

    model.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    QCoreApplication::processEvents();
    settle();
    round[addPhase] = runPhase([&] { model.addURLs(urls); }, [&] { return !model.isBusy(); });
    printPhase("add", round[addPhase]);
    std::printf("  %-11s %zu items listed\n", "", model.items().size());

    configureShift(model);
    QCoreApplication::processEvents();
    settle();
    round[applyPhase] = runPhase([&] { model.applyChanges(); }, [&] { return !model.isBusy(); });
    printPhase("apply", round[applyPhase]);
    if (model.lastResult()) {
        std::printf("  %-11s %zu changed, %zu failed\n", "", model.lastResult()->succeeded,
                    model.lastResult()->failed);
    }
    // The outcome is shown in a window-modal alert, which would keep the keys from the table.
    const PhaseResult closing = runPhase(
        [&] {
            if (auto* alert = window.findChild<QMessageBox*>("resultAlert")) {
                alert->accept();
            }
            model.setLastResult(std::nullopt);
        },
        [] { return true; });
    printPhase("close alert", closing);

    round[selectAllPhase] = runPhase(
        [&] {
            table->setFocus();
            QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        },
        [] { return true; });
    printPhase("select-all", round[selectAllPhase]);
    std::printf("  %-11s %zu of %zu items selected\n", "", model.selection().size(), model.items().size());

    const std::int64_t hoursBefore = model.config().shiftHours;
    round[stepPhase] = runPhase([&] { QTest::keyClick(hours, Qt::Key_Up); }, [] { return true; });
    printPhase("step", round[stepPhase]);
    std::printf("  %-11s shift hours %lld -> %lld\n", "", static_cast<long long>(hoursBefore),
                static_cast<long long>(model.config().shiftHours));

    round[sortPhase] = runPhase([&] { clickHeader(*table, file_table::nameColumn); }, ordered);
    printPhase("sort", round[sortPhase]);
    std::printf("  %-11s %d rows by name, %zu selected\n", "", rows.rowCount(), selectedRows(*table));

    round[filterPhase] =
        runPhase([&] { QTest::keyClicks(&list->filterField(), "f0001"); },
                 [&] { return ordered() && model.selection().size() <= selectedRows(*table); });
    printPhase("filter", round[filterPhase]);
    std::printf("  %-11s %d rows shown, %zu hidden, %zu selected\n", "", rows.rowCount(), rows.hiddenCount(),
                model.selection().size());

    round[unfilterPhase] = runPhase([&] { QTest::keyClick(&list->filterField(), Qt::Key_Escape); }, ordered);
    printPhase("unfilter", round[unfilterPhase]);
    std::printf("  %-11s %d rows shown, %zu selected\n", "", rows.rowCount(), selectedRows(*table));

    round[unsortPhase] = runPhase(
        [&] {
            clickHeader(*table, file_table::nameColumn);
            clickHeader(*table, file_table::nameColumn);
        },
        ordered);
    printPhase("unsort", round[unsortPhase]);

    // Adding a folder to the long list: every item in it is listed already.
    const std::vector<std::filesystem::path> more{tree.root() + "/d00000"};
    const std::size_t listedBefore = model.items().size();
    round[addMorePhase] = runPhase([&] { model.addURLs(more); }, [&] { return !model.isBusy(); });
    printPhase("add-more", round[addMorePhase]);
    std::printf("  %-11s items %zu -> %zu\n", "", listedBefore, model.items().size());

    const PhaseResult reselecting = runPhase(
        [&] {
            table->setFocus();
            QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        },
        [] { return true; });
    printPhase("select-all", reselecting);

    const std::size_t before = model.items().size();
    round[removePhase] = runPhase([&] { remove->trigger(); }, [] { return true; });
    printPhase("remove", round[removePhase]);
    std::printf("  %-11s items %zu -> %zu\n", "", before, model.items().size());
    return round;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::size_t count = kDefaultFiles;
    if (argc > 1) {
        char* end = nullptr;
        const unsigned long long asked = std::strtoull(argv[1], &end, 10);
        if (end == argv[1] || *end != '\0' || asked == 0) {
            std::fprintf(stderr, "usage: %s [number of files, default %zu]\n", argv[0], kDefaultFiles);
            return 2;
        }
        count = static_cast<std::size_t>(asked);
    }
    int qtArgc = 1;
    TimingApplication application(qtArgc, argv);

    const auto makeStart = Stopwatch::now();
    const FileTree tree(count);
    std::printf("files: %zu in %s (made in %.1f s); items listed: %zu\n", count, tree.root().c_str(),
                milliseconds(Stopwatch::now() - makeStart) / 1000, tree.items());

    LinuxFileAccess files;
    std::vector<CoreTimes> cores;
    std::vector<WindowRound> rounds;
    for (int round = 0; round < kRounds; ++round) {
        std::printf("round %d\n", round + 1);
        if (round % 2 == 0) {
            cores.push_back(measureCore(files, tree));
        }
        std::optional<WindowRound> measured = measureWindow(files, tree);
        if (!measured) {
            return 1;
        }
        rounds.push_back(*measured);
        if (round % 2 != 0) {
            cores.push_back(measureCore(files, tree));
        }
    }

    const auto fastest = [](const auto& values, auto field) {
        double best = field(values.front());
        for (const auto& value : values) {
            best = std::min(best, field(value));
        }
        return best;
    };
    bool ok = true;
    for (int phase = 0; phase < phaseCount; ++phase) {
        double stall = 0;
        for (const WindowRound& round : rounds) {
            stall = std::max(stall, round[phase].longestGap);
        }
        ok = printTarget(std::string("stall-") + kPhaseNames[phase], stall, kMostStallMilliseconds, "%.0f") &&
             ok;
    }
    const double windowAdd =
        fastest(rounds, [](const WindowRound& round) { return round[addPhase].elapsed; });
    const double windowApply =
        fastest(rounds, [](const WindowRound& round) { return round[applyPhase].elapsed; });
    const double coreAdd = fastest(cores, [](const CoreTimes& times) { return times.add; });
    const double coreApply = fastest(cores, [](const CoreTimes& times) { return times.apply; });
    std::printf("fastest rounds, window against core: adding %.1f / %.1f ms, applying %.1f / %.1f ms\n",
                windowAdd, coreAdd, windowApply, coreApply);
    ok = printTarget("add-window-vs-core", windowAdd / coreAdd, kMostWindowOverCore, "%.2f") && ok;
    ok = printTarget("apply-window-vs-core", windowApply / coreApply, kMostWindowOverCore, "%.2f") && ok;
    return ok ? 0 : 1;
}
