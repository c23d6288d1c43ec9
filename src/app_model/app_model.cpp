#include "app_model/app_model.h"

#include "app_model/apply_run.h"
#include "app_model/file_collection.h"
#include "app_model/journaled_runs.h"
#include "app_model/listed_paths.h"
#include "app_model/parallel_pass.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <exception>
#include <limits>
#include <memory>
#include <utility>

namespace vellumark {

namespace {

// A worker hands back what it has this often, in batches no larger than this, so that the owner's thread
// never spends long on one batch and the window shows steady progress: about as often as a display can
// show it, since every batch costs the window a redraw.
constexpr auto kBatchInterval = std::chrono::milliseconds(33);
constexpr std::size_t kMostInBatch = 16384;

// Tells the worker when its batch is due: every 33 ms, at 16384 items, and after any item that took
// longer than a few milliseconds, so that on a slow volume each item shows as it is done. Work that runs
// within the call (`timed` false) has no one to show progress to and batches by size alone, so that it
// notifies the same way every time.
class BatchClock {
public:
    explicit BatchClock(bool timed) : timed_(timed) {}

    bool due(std::size_t batchSize) {
        if (!timed_) {
            return batchSize >= kMostInBatch;
        }
        const auto now = std::chrono::steady_clock::now();
        const bool slowItem = now - lastItem_ > kSlowItem;
        lastItem_ = now;
        if (batchSize < kMostInBatch && !slowItem && now - lastBatch_ < kBatchInterval) {
            return false;
        }
        lastBatch_ = now;
        return true;
    }

    // A batch went back, whether due() asked for it or not.
    void handedBack() { lastBatch_ = std::chrono::steady_clock::now(); }

    // Items worked on together were read from the disk before they are taken one by one: the time since
    // the last item is theirs together. True when it was long for each of them, as for a slow item.
    bool tookTogether(std::chrono::steady_clock::duration took, std::size_t items) {
        lastItem_ = std::chrono::steady_clock::now();
        return timed_ && items > 0 && took / items > kSlowItem;
    }

private:
    static constexpr auto kSlowItem = std::chrono::milliseconds(2);
    bool timed_;
    std::chrono::steady_clock::time_point lastBatch_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastItem_ = lastBatch_;
};

// A run works on windows of items: each window's disk work is shared by kWritersAtOnce threads where the
// file access allows it, and the window grows or shrinks to take about kWindowTime, so that a stop, the
// progress and the journal's outcomes are never far behind the disk.
constexpr unsigned kWritersAtOnce = 2;
constexpr auto kWindowTime = std::chrono::milliseconds(10);

struct WindowLimits {
    std::size_t least;
    std::size_t most;
};
constexpr WindowLimits kWindow{kWritersAtOnce, 1024};

class WindowSize {
public:
    explicit WindowSize(WindowLimits limits) : limits_(limits), size_(limits.least) {}

    std::size_t size() const { return size_; }

    void took(std::chrono::steady_clock::duration time) {
        if (time < kWindowTime / 2) {
            size_ = std::min(size_ * 2, limits_.most);
        } else if (time > kWindowTime * 2) {
            size_ = std::max(size_ / 2, limits_.least);
        }
    }

private:
    WindowLimits limits_;
    std::size_t size_;
};

// What the disk work of a run gave for one item, whichever thread did it.
struct ItemPass {
    PlannedDates plan;
    bool changing = false;
    bool stopped = false;  // the run was stopping when the item's turn came: it was not written
    std::optional<FileDateError> error;
    ItemInfo after;
    std::optional<std::string> failure;  // what was thrown; nothing of the item was learnt
};

}  // namespace

// An item of the list as read again after the run wrote it, or did not need to.
struct AppModel::Refreshed {
    std::size_t position;
    ReadDates dates;
};

// What a run hands back last: its final batch and its outcome.
struct AppModel::RunEnd {
    std::vector<Refreshed> batch;
    ProcessResult result;
    std::vector<std::pair<std::size_t, std::string>> failures;  // list position, reason

    void fail(std::size_t position, FileDateError error) {
        ++result.failed;
        result.errors.push_back(error.description());
        failures.emplace_back(position, std::move(error.underlying));
    }
};

AppModel::AppModel(FileAccess& files, OpenPanel& addPanel, Clock clock, HandBack handBack)
    : files_(files),
      addPanel_(addPanel),
      clock_(std::move(clock)),
      config_(clock_()),
      work_(std::move(handBack)) {}

void AppModel::willWriteItems() {
    objectWillChange_.send();
    ++itemsRevision_;
    failureMarks_.clear();
}

// Its memory is freed on another thread; views that showed it see a new revision.
void AppModel::emptySelection() {
    ++selectionRevision_;
    releaseInBackground(selection_);
}

void AppModel::setSelection(Selection selection) {
    objectWillChange_.send();
    ++selectionRevision_;
    selection_.swap(selection);
    releaseInBackground(selection);
}

void AppModel::changeSelection(std::span<const Uuid> added, std::span<const Uuid> removed) {
    objectWillChange_.send();
    ++selectionRevision_;
    for (const Uuid& id : removed) {
        selection_.erase(id);
    }
    selection_.reserve(selection_.size() + added.size());
    selection_.insert(added.begin(), added.end());
}

void AppModel::setConfig(ActionConfig config) {
    if (isBusy()) {
        return;
    }
    objectWillChange_.send();
    failureMarks_.clear();
    summaryValid_ = false;
    config_ = std::move(config);
    clampShiftAmounts(config_);
}

void AppModel::setLastResult(std::optional<ProcessResult> result) {
    objectWillChange_.send();
    lastResult_ = std::move(result);
}

void AppModel::setActivity(Activity activity, Progress progress) {
    objectWillChange_.send();
    addsBegun_ += activity == Activity::adding && activity_ != Activity::adding ? 1 : 0;
    activity_ = activity;
    progress_ = progress;
}

bool AppModel::addURLs(std::span<const std::filesystem::path> urls) {
    if (isBusy()) {
        return false;
    }
    // Synchronous adding ends within this call, where no one can see it under way.
    const bool threaded = !work_.isSynchronous();
    if (threaded) {
        setActivity(Activity::adding, {});
    }
    // Duplicates are told on this thread, against the list as it grows; the worker reads the disk, and
    // first records the items listed already (for a million, 30 ms this thread need not wait). Recorded
    // positions hold, and the worker may read the list, because nothing else changes it while adding.
    auto listed = std::make_shared<ListedPaths>(
        [this](std::size_t position) -> const FileItem& { return items_[position]; });
    const std::size_t listedBefore = items_.size();
    std::vector<std::filesystem::path> roots(urls.begin(), urls.end());
    const bool includeSubfolderContents = config_.includeSubfolderContents;

    work_.start([this, roots = std::move(roots), includeSubfolderContents, listed, listedBefore, threaded](
                    const std::stop_token& stop, const HandBack& handBack) {
        std::vector<FileItem> batch;
        BatchClock clock(threaded);
        try {
            listed->assign(listedBefore);
            readItems(files_, roots, includeSubfolderContents, stop, [&](FileItem&& item) {
                batch.push_back(std::move(item));
                if (clock.due(batch.size())) {
                    handBack(
                        [this, listed, full = std::move(batch)]() mutable { appendBatch(*listed, full); });
                    batch = {};
                }
            });
        } catch (...) {
            // What could not be read is not added; what was read is.
        }
        handBack([this, listed, last = std::move(batch), threaded]() mutable {
            appendBatch(*listed, last);
            if (threaded) {
                setActivity(Activity::idle, {});
            }
        });
    });
    return true;
}

void AppModel::appendBatch(ListedPaths& listed, std::vector<FileItem>& batch) {
    bool written = false;
    for (std::size_t at = 0; at < batch.size(); ++at) {
        if (at + ListedPaths::kLookAhead < batch.size()) {
            listed.prefetch(batch[at + ListedPaths::kLookAhead]);
        }
        FileItem& item = batch[at];
        if (!listed.insert(item, items_.size())) {
            continue;
        }
        if (!written) {
            // One write per batch, before its first new item is stored; the count of items added so far
            // goes with it.
            willWriteItems();
            written = true;
        }
        if (summaryAdd(item)) {
            noteClockFollower(items_.size());
        }
        items_.push_back(std::move(item));
        progress_.done += activity_ == Activity::adding ? 1 : 0;
    }
}

void AppModel::showAddPanel() {
    if (isBusy()) {
        return;
    }
    if (std::optional<std::vector<std::filesystem::path>> urls = runAddPanel(addPanel_)) {
        addURLs(*urls);
    }
}

void AppModel::removeSelected() {
    if (isBusy()) {
        return;
    }
    willWriteItems();
    ++removalRevision_;
    // Most of a large list going costs less to plan again from what stays than item by item.
    const bool replan = summaryValid_ && 2 * selection_.size() > items_.size();
    summaryValid_ = summaryValid_ && !replan;
    // Which items leave, looked up in two halves side by side: a million lookups take a thread about 25 ms.
    std::vector<std::uint8_t> leaves(items_.size());
    runInHalves(items_.size(), [this, &leaves](int /*half*/, std::size_t from, std::size_t to) {
        for (std::size_t position = from; position < to; ++position) {
            if (const std::size_t ahead = position + Selection::kLookAhead; ahead < to) {
                selection_.prefetch(items_[ahead].id());
            }
            leaves[position] = selection_.contains(items_[position].id()) ? 1 : 0;
        }
    });
    std::size_t position = 0;
    ItemList removed = items_.takeIf([this, &leaves, &position](const FileItem& item) {
        if (leaves[position++] == 0) {
            return false;
        }
        summaryRemove(item);
        return true;
    });
    // The items that follow the clock have moved; the next plan of every item finds them again.
    clockPositionsKnown_ = false;
    clockPositions_ = {};
    objectWillChange_.send();
    emptySelection();
    releaseInBackground(removed);
}

void AppModel::removeAll() {
    if (isBusy()) {
        return;
    }
    willWriteItems();
    ++removalRevision_;
    // Released, not cleared: clearing would keep the memory of a million items.
    releaseInBackground(items_);
    summary_ = {};
    clockPositions_ = {};
    objectWillChange_.send();
    emptySelection();
}

void AppModel::setLiftSource(const std::filesystem::path& url) {
    if (isBusy()) {
        return;
    }
    const ReadDates dates = readDates(files_, url);
    editConfig([&url](ActionConfig& config) { config.liftSourceURL = url; });
    editConfig([&dates](ActionConfig& config) { config.liftCreation = dates.creationDate; });
    editConfig([&dates](ActionConfig& config) { config.liftModification = dates.modificationDate; });
}

void AppModel::beginProcessing(Progress progress) {
    // Set before the first notification (which an observer might answer by applying again) and cleared
    // after the last.
    isApplying_ = true;
    objectWillChange_.send();
    isProcessing_ = true;
    activity_ = Activity::applying;
    progress_ = progress;
}

void AppModel::applyChanges(JournalUse use) {
    if (isApplying_ || isBusy()) {
        return;
    }
    // The instant the confirmation was planned with: the run writes what was shown.
    const Date now = planInstant();
    beginProcessing({0, items_.size()});
    RunJournal* journal = use == JournalUse::required ? journal_ : nullptr;

    // The worker reads the item it is at and those after it; this thread refreshes only items before it,
    // from the batches handed back, and nothing else changes the list or the settings during the run.
    work_.start([this, config = config_, now, count = items_.size(), timed = !work_.isSynchronous(), journal](
                    const std::stop_token& stop, const HandBack& handBack) {
        runApply(config, now, count, timed, journal, stop, handBack);
    });
}

namespace {

// Writes a run's outcomes to its journal as the run hands back its batches. Once the journal fails, the
// run stops writing dates by the window after next. Every item it writes has its entry on record from the
// start; one whose outcome is missing is found by its dates on the disk, as after a crash.
class OutcomeRecorder {
public:
    OutcomeRecorder(RunJournal* journal, std::int64_t run) : journal_(journal), run_(run) {}

    void add(std::size_t index, EntryOutcome outcome, const DateAttributes& after) {
        if (journal_ != nullptr) {
            pending_.push_back({index, outcome, after});
        }
    }

    // False, with the reason kept, when the journal could not be written.
    bool flush() {
        if (journal_ == nullptr || pending_.empty() || failure_) {
            return !failure_;
        }
        try {
            journal_->recordOutcomes(run_, pending_);
        } catch (const std::exception& error) {
            failure_ = error.what();
        }
        pending_.clear();
        return !failure_;
    }

    void complete(const ProcessResult& result) {
        if (flush() && journal_ != nullptr) {
            try {
                journal_->completeRun(run_, result.succeeded, result.failed);
            } catch (const std::exception& error) {
                failure_ = error.what();
            }
        }
    }

    const std::optional<std::string>& failure() const { return failure_; }

private:
    RunJournal* journal_;
    std::int64_t run_;
    std::vector<EntryResult> pending_;
    std::optional<std::string> failure_;
};

DateAttributes datesOf(const ReadDates& dates) {
    return {dates.creationDate, dates.modificationDate};
}

}  // namespace

void AppModel::runApply(const ActionConfig& config, Date now, std::size_t count, bool timed,
                        RunJournal* journal, const std::stop_token& stop, const HandBack& handBack) {
    RunEnd end;
    std::int64_t runId = 0;
    if (journal != nullptr) {
        // Every item about to be written is on record before the first write, read straight from the list.
        std::size_t next = 0;
        const RunJournal::EntrySource entries = [this, &config, now, count, &next](JournalEntry& entry) {
            for (; next < count; ++next) {
                const FileItem& item = items_[next];
                const PlannedDates plan = planDates(item, config, now);
                if (changesAnything(item, plan)) {
                    entry = journalEntry(item, plan);
                    ++next;
                    return true;
                }
            }
            return false;
        };
        RunRecord run;
        run.startedAt = clock_();
        run.action = std::string(title(config.kind));
        run.settings = settingsText(config);
        try {
            runId = journal->beginRun(run, entries);
        } catch (const std::exception& error) {
            for (std::size_t position = 0; position < count; ++position) {
                const FileItem& item = items_[position];
                end.result.notAttempted += changesAnything(item, planDates(item, config, now)) ? 1 : 0;
            }
            end.result.journalFailure = error.what();
            handBack([this, end = std::move(end)]() mutable { finishRun(end); });
            return;
        }
    }
    OutcomeRecorder outcomes(journal, runId);
    std::size_t entryIndex = 0;
    PlanSummary summary;
    BatchClock clock(timed);
    // The disk work of a window of items is done by the pass's threads while this thread takes the window
    // before it, in list order. A stop is seen by each item before it is written: once it is, no item is
    // begun, and those under way end.
    const unsigned threads = files_.takesConcurrentCalls() && count >= kWindow.least ? kWritersAtOnce : 0;
    std::atomic<bool> stopped = false;
    std::vector<std::unique_ptr<FileAccess::WriteSession>> sessions(std::max(threads, 1U));
    for (auto& session : sessions) {
        session = files_.writeSession();
    }
    const auto diskWork = [&](std::size_t first, std::vector<ItemPass>& passes) {
        return [&, first](std::size_t offset, unsigned thread) {
            ItemPass& done = passes[offset];
            const FileItem& item = items_[first + offset];
            try {
                done.plan = planDates(item, config, now);
                done.changing = changesAnything(item, done.plan);
                if (!stopped.load(std::memory_order_relaxed) && stop.stop_requested()) {
                    stopped.store(true, std::memory_order_relaxed);
                }
                done.stopped = stopped.load(std::memory_order_relaxed);
                if (done.changing && !done.stopped) {
                    WrittenChange written = writeAndRead(files_, item, done.plan, sessions[thread].get());
                    done.error = std::move(written.error);
                    done.after = written.after;
                } else {
                    done.after = files_.inspect(item.url());
                }
            } catch (const std::exception& failure) {
                done.failure = failure.what();
            }
        };
    };
    const auto handBackBatch = [&] {
        if (!outcomes.flush()) {
            stopped = true;
        }
        handBack([this, batch = std::move(end.batch)]() mutable { takeRefreshed(batch); });
        end.batch = {};
        clock.handedBack();
    };
    const auto take = [&](std::size_t first, std::vector<ItemPass>& passes, bool slowWindow) {
        for (std::size_t offset = 0; offset < passes.size(); ++offset) {
            ItemPass& done = passes[offset];
            const std::size_t position = first + offset;
            const FileItem& item = items_[position];
            // The item keeps what the list showed of it when anything about it throws. Its outcome stays
            // unrecorded, as after a crash: a restore looks at the disk.
            const std::size_t entryBefore = entryIndex;
            const auto failed = [&](std::string reason) {
                entryIndex = entryBefore + (done.changing ? 1 : 0);
                end.fail(position, {item.url(), std::move(reason)});
            };
            if (done.failure) {
                failed(std::move(*done.failure));
            } else {
                try {
                    std::optional<FileDateError> error = std::move(done.error);
                    if (done.changing && done.stopped) {
                        ++end.result.notAttempted;
                        outcomes.add(entryIndex++, EntryOutcome::notAttempted,
                                     datesOf(readDatesFrom(done.after)));
                    } else if (done.changing) {
                        end.result.succeeded += error ? 0 : 1;
                        outcomes.add(entryIndex++, error ? EntryOutcome::failed : EntryOutcome::changed,
                                     datesOf(readDatesFrom(done.after)));
                    }
                    if (!done.stopped) {
                        if (!error) {
                            error = refusal(item, done.plan);
                        }
                        addToSummary(summary, item, done.plan);
                    }
                    if (error) {
                        end.fail(position, std::move(*error));
                    }
                    end.batch.push_back({position, readDatesFrom(done.after)});
                } catch (const std::exception& failure) {
                    failed(failure.what());
                }
            }
            if (clock.due(end.batch.size()) || (slowWindow && offset + 1 == passes.size())) {
                handBackBatch();
            }
        }
    };

    // Two windows: the threads work on one while this thread takes the other.
    WindowSize window(kWindow);
    std::array<std::vector<ItemPass>, 2> windows;
    std::array<std::size_t, 2> firsts{};
    std::size_t unstarted = 0;
    auto started = std::chrono::steady_clock::now();
    // Last, so that a pass under way ends before anything it uses goes; and should this thread throw, the
    // pass under way writes nothing more.
    ParallelPass pass(threads, [this] { files_.enterWriterThread(); });
    struct StopOnLeaving {
        std::atomic<bool>& stopped;
        ~StopOnLeaving() { stopped = true; }
    } stopOnLeaving{stopped};
    const bool overlapping = threads > 0;
    const auto launch = [&](std::size_t which) {
        firsts[which] = unstarted;
        windows[which].assign(std::min(window.size(), count - unstarted), ItemPass{});
        unstarted += windows[which].size();
        started = std::chrono::steady_clock::now();
        pass.start(windows[which].size(), diskWork(firsts[which], windows[which]));
    };
    for (std::size_t current = 0; unstarted < count || !windows[current].empty(); current = 1 - current) {
        if (windows[current].empty()) {
            launch(current);
        }
        // While a window keeps the threads long, as a write that hangs on a share does, the items taken
        // before it are shown done.
        while (timed && !pass.waitFor(kBatchInterval)) {
            if (!end.batch.empty()) {
                handBackBatch();
            }
        }
        pass.wait();
        const auto took = std::chrono::steady_clock::now() - started;
        window.took(took);
        const bool slowWindow = clock.tookTogether(took, windows[current].size());
        if (overlapping && unstarted < count) {
            launch(1 - current);
        }
        take(firsts[current], windows[current], slowWindow);
        windows[current].clear();
    }
    outcomes.complete(end.result);
    end.result.journalStopped = outcomes.failure();
    end.result.keptCreation = std::move(summary.keptCreation);
    handBack([this, end = std::move(end)]() mutable { finishRun(end); });
}

void AppModel::restoreRun(std::int64_t run) {
    if (isApplying_ || isBusy() || journal_ == nullptr) {
        return;
    }
    std::optional<RunRecord> restored;
    try {
        restored = journal_->run(run);
    } catch (const std::exception&) {
    }
    if (!restored) {
        return;
    }
    beginProcessing({0, static_cast<std::size_t>(restored->itemCount)});
    work_.start([this, restored = std::move(*restored), timed = !work_.isSynchronous()](
                    const std::stop_token& stop, const HandBack& handBack) {
        runRestore(restored, timed, stop, handBack);
    });
}

void AppModel::runRestore(const RunRecord& restored, bool timed, const std::stop_token& stop,
                          const HandBack& handBack) {
    RunEnd end;
    end.result.restoredAction = restored.action;
    std::vector<RestoreStep> steps;
    std::int64_t runId = 0;
    try {
        for (const JournaledEntry& journaled : journal_->entries(restored.id)) {
            if (std::optional<RestoreStep> step = restoreStep(journaled)) {
                steps.push_back(std::move(*step));
            }
        }
        std::vector<JournalEntry> entries;
        entries.reserve(steps.size());
        for (const RestoreStep& step : steps) {
            entries.push_back({step.path, step.identity, step.expected, step.target});
        }
        RunRecord run;
        run.startedAt = clock_();
        run.action = restored.action;
        run.settings = restored.settings;
        run.restores = restored.id;
        run.depth = restored.depth + 1;
        runId = journal_->beginRun(run, entries);
    } catch (const std::exception& error) {
        end.result.journalFailure = error.what();
        handBack([this, end = std::move(end)]() mutable { finishRun(end); });
        return;
    }
    OutcomeRecorder outcomes(journal_, runId);
    BatchClock clock(timed);
    bool stopped = false;
    std::size_t sinceHandBack = 0;
    for (std::size_t index = 0; index < steps.size(); ++index) {
        const RestoreStep& step = steps[index];
        stopped = stopped || stop.stop_requested();
        if (stopped) {
            ++end.result.notAttempted;
            outcomes.add(index, EntryOutcome::notAttempted, step.expected);
            continue;
        }
        RestoredItem restoredItem;
        try {
            restoredItem = restoreItem(files_, step);
        } catch (const std::exception& failure) {
            restoredItem.outcome = EntryOutcome::failed;
            restoredItem.failure = failure.what();
        }
        outcomes.add(index, restoredItem.outcome, restoredItem.after);
        end.result.succeeded += restoredItem.outcome == EntryOutcome::changed ? 1 : 0;
        if (restoredItem.failure) {
            ++end.result.failed;
            end.result.errors.push_back(FileDateError{step.path, *restoredItem.failure}.description());
        }
        if (clock.due(++sinceHandBack)) {
            stopped = !outcomes.flush() || stopped;
            handBack([this, done = index + 1, total = steps.size()] {
                setActivity(Activity::applying, {done, total});
            });
            sinceHandBack = 0;
        }
    }
    outcomes.complete(end.result);
    end.result.journalStopped = outcomes.failure();
    rereadList(end, timed, handBack);
}

void AppModel::rereadList(RunEnd& end, bool timed, const HandBack& handBack) {
    BatchClock clock(timed);
    for (std::size_t position = 0; position < items_.size(); ++position) {
        end.batch.push_back({position, readDates(files_, items_[position].url())});
        if (clock.due(end.batch.size())) {
            handBack([this, batch = std::move(end.batch)]() mutable {
                objectWillChange_.send();
                refreshInPlace(batch);
            });
            end.batch = {};
        }
    }
    handBack([this, end = std::move(end)]() mutable { finishRun(end); });
}

// Leaves in `batch` the dates the items had.
void AppModel::refreshInPlace(std::vector<Refreshed>& batch) {
    for (Refreshed& refreshed : batch) {
        FileItem& item = items_[refreshed.position];
        ReadDates& dates = refreshed.dates;
        if (item.identity && dates.identity != item.identity) {
            // Another file answers to the path now: the item stays the one listed, and shows as gone.
            dates = ReadDates{};
        }
        const auto trade = [&item, &dates] {
            std::swap(item.creationDate, dates.creationDate);
            std::swap(item.modificationDate, dates.modificationDate);
            std::swap(item.isDirectory, dates.isDirectory);
            std::swap(item.volume, dates.volume);
        };
        // Counted with its new dates before its old ones go, so that a file system's count of kept
        // creation dates does not fall to nothing and come back behind those that appear later in the list.
        trade();
        const bool follows = summaryAdd(item);
        trade();
        const bool followedClock = summaryRemove(item);
        trade();
        if (follows && !followedClock) {
            // Found by the next plan of every item. One that stopped following is dropped at its next plan.
            clockPositionsKnown_ = false;
        }
    }
}

void AppModel::takeRefreshed(std::vector<Refreshed>& batch) {
    // The same items with the dates they have now: the list keeps its order and its ids.
    objectWillChange_.send();
    refreshInPlace(batch);
    progress_.done += batch.size();
}

void AppModel::storeRefreshed(std::vector<Refreshed>& batch) {
    willWriteItems();
    refreshInPlace(batch);
    objectWillChange_.send();
    emptySelection();
}

void AppModel::finishRun(RunEnd& end) {
    if (!end.result.journalFailure) {
        storeRefreshed(end.batch);
    }
    objectWillChange_.send();
    for (auto& [position, reason] : end.failures) {
        const Uuid& id = items_[position].id();
        end.result.failedItems.push_back({id, reason});
        failureMarks_.emplace(id, std::move(reason));
    }
    lastResult_ = std::move(end.result);
    objectWillChange_.send();
    isProcessing_ = false;
    activity_ = Activity::idle;
    progress_ = {};
    isApplying_ = false;
    reloadLatestRun();
}

void AppModel::setJournal(RunJournal* journal) {
    journal_ = journal;
    reloadLatestRun();
}

void AppModel::reloadLatestRun() {
    if (journal_ == nullptr) {
        return;
    }
    std::optional<RunRecord> latest;
    try {
        std::vector<RunRecord> runs = journal_->runs();
        if (!runs.empty()) {
            latest = std::move(runs.front());
        }
    } catch (const std::exception&) {
        // A journal that cannot be read offers nothing to undo.
    }
    objectWillChange_.send();
    latestRun_ = std::move(latest);
}

std::optional<RunRecord> AppModel::interruptedRun() const {
    if (journal_ == nullptr) {
        return std::nullopt;
    }
    try {
        for (RunRecord& run : journal_->runs()) {
            if (!run.complete) {
                return std::move(run);
            }
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

void AppModel::dismissInterrupted(std::int64_t run) {
    if (journal_ == nullptr) {
        return;
    }
    try {
        journal_->markInterrupted(run);
    } catch (const std::exception&) {
        // Offered again at the next start.
    }
    reloadLatestRun();
}

void AppModel::cancel() {
    work_.requestStop();
}

void AppModel::refreshItems() {
    if (isBusy()) {
        return;
    }
    std::vector<Refreshed> batch;
    batch.reserve(items_.size());
    for (std::size_t position = 0; position < items_.size(); ++position) {
        batch.push_back({position, readDates(files_, items_[position].url())});
    }
    storeRefreshed(batch);
}

bool AppModel::summaryAdd(const FileItem& item) const {
    if (!summaryValid_) {
        return false;
    }
    const PlannedDates planned = planDates(item, config_, planInstant_);
    addToSummary(summary_, item, planned);
    return planned.followsClock;
}

bool AppModel::summaryRemove(const FileItem& item) const {
    if (!summaryValid_) {
        return false;
    }
    const PlannedDates planned = planDates(item, config_, planInstant_);
    removeFromSummary(summary_, item, planned);
    return planned.followsClock;
}

namespace {

// Whether planning again only the items that follow the clock costs less than planning every item in
// two halves: up to half the list, and always for a few, so that a list that starts small as it is
// being added to keeps track of them.
bool fewFollowClock(std::size_t following, std::size_t items) {
    constexpr std::size_t kFew = 4'096;
    return following <= kFew || 2 * following <= items;
}

// Whether the positions of `following` items among `items` are worth keeping, and each fits the four
// bytes kept for it.
bool keepsClockPositions(std::size_t following, std::size_t items) {
    return fewFollowClock(following, items) &&
           items <= std::size_t{std::numeric_limits<std::uint32_t>::max()} + 1;
}

}  // namespace

void AppModel::noteClockFollower(std::size_t position) const {
    if (!clockPositionsKnown_) {
        return;
    }
    if (keepsClockPositions(clockPositions_.size() + 1, position + 1)) {
        clockPositions_.push_back(static_cast<std::uint32_t>(position));
    } else {
        clockPositionsKnown_ = false;
        clockPositions_ = {};
    }
}

// Moves the plan to `now` by planning again only the items that follow the clock: every other item's
// plan is the same at any later instant.
void AppModel::planClockFollowers(Date now) const {
    std::erase_if(clockPositions_, [this, now](std::uint32_t position) {
        const FileItem& item = items_[position];
        // Added before the old plan goes, so that a file system's count of kept creation dates does not
        // fall to nothing and come back behind those that first appear later in the list.
        const PlannedDates planned = planDates(item, config_, now);
        addToSummary(summary_, item, planned);
        removeFromSummary(summary_, item, planDates(item, config_, planInstant_));
        return !planned.followsClock;
    });
    summary_.followsClock = !clockPositions_.empty();
    planInstant_ = now;
}

const PlanSummary& AppModel::planSummary() const {
    // While adding or applying, the plan keeps its instant; planning a million items again every second
    // would cost the window more than the work.
    if (summaryValid_ && isBusy()) {
        return summary_;
    }
    const Date now = clock_();
    if (summaryValid_ && !summary_.followsClock && now >= planInstant_) {
        // No date of the present entered the plan: it is the same at any later instant, and a list of a
        // million items is not planned again every second for nothing.
        planInstant_ = now;
    } else if (summaryValid_ && clockPositionsKnown_ &&
               fewFollowClock(clockPositions_.size(), items_.size()) &&
               now >= planInstant_.addingSeconds(1)) {
        planClockFollowers(now);
    } else if (!summaryValid_ || now < planInstant_ || now >= planInstant_.addingSeconds(1)) {
        planInstant_ = now;
        // At a million items, planning them all on one thread costs the window about 25 ms.
        std::array<PlanSummary, 2> halves;
        std::array<std::vector<std::uint32_t>, 2> followers;
        runInHalves(items_.size(), [&](int half, std::size_t from, std::size_t to) {
            // Counted apart and stored once: the two halves share a cache line.
            PlanSummary summary;
            std::vector<std::uint32_t> following;
            for (std::size_t position = from; position < to; ++position) {
                const FileItem& item = items_[position];
                const PlannedDates planned = planDates(item, config_, now);
                addToSummary(summary, item, planned);
                if (planned.followsClock) {
                    following.push_back(static_cast<std::uint32_t>(position));
                }
            }
            halves[half] = std::move(summary);
            followers[half] = std::move(following);
        });
        summary_ = std::move(halves[0]);
        addToSummary(summary_, halves[1]);
        summaryValid_ = true;
        clockPositionsKnown_ = keepsClockPositions(followers[0].size() + followers[1].size(), items_.size());
        clockPositions_ = {};
        if (clockPositionsKnown_) {
            clockPositions_ = std::move(followers[0]);
            clockPositions_.insert(clockPositions_.end(), followers[1].begin(), followers[1].end());
        }
    }
    return summary_;
}

Date AppModel::planInstant() const {
    if (!summaryValid_) {
        planSummary();
    }
    return planInstant_;
}

std::vector<PlannedChange> AppModel::plannedChanges() const {
    const Date now = planInstant();
    std::vector<PlannedChange> plan;
    plan.reserve(items_.size());
    for (const FileItem& item : items_) {
        plan.push_back(planChange(item, config_, now));
    }
    return plan;
}

}  // namespace vellumark
