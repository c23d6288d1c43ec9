#pragma once

#include "app_model/background_work.h"
#include "app_model/change_publisher.h"
#include "app_model/file_access.h"
#include "app_model/open_panel.h"
#include "app_model/process_result.h"
#include "app_model/run_journal.h"
#include "app_model/selection.h"
#include "model/action_config.h"
#include "model/file_item.h"
#include "model/item_list.h"
#include "model/planned_change.h"
#include "model/planner.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace vellumark {

class ListedPaths;

// Whether a run is written down in the journal first. A run that cannot be is not started, unless the user
// chooses to go without.
enum class JournalUse { required, skipped };

// What the model is doing in the background.
enum class Activity { idle, adding, applying };

// How far the background work has come: items added so far while adding (`total` 0, not known), items
// handled of `total` while applying.
struct Progress {
    std::size_t done = 0;
    std::size_t total = 0;
};

// The one observable object holding the application's state. Every write of a published property
// (items, selection, config, isProcessing, lastResult, activity with its progress) sends objectWillChange
// once, before the value is stored, even when the new value equals the old one.
//
// Given a HandBack, adding and applying read and write the disk on a worker thread, and the state changes
// only on the owner's thread, from the batches of values the worker hands back. While either runs, the list
// and the settings are locked: the calls that would change them do nothing (addURLs says so). Without a
// HandBack both run to the end within the call.
class AppModel {
public:
    AppModel(FileAccess& files, OpenPanel& addPanel, Clock clock = systemClock(), HandBack handBack = {});
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    ChangePublisher& objectWillChange() { return objectWillChange_; }

    const ItemList& items() const { return items_; }
    // Grows with every write of `items`: a view can tell whether the list changed without reading it.
    std::uint64_t itemsRevision() const { return itemsRevision_; }
    // Grows only when items leave the list or are replaced: while it stays, the list has at most grown at
    // its end, and a view need not compare the items it shows already.
    std::uint64_t removalRevision() const { return removalRevision_; }
    const Selection& selection() const { return selection_; }
    // Grows with every write of the selection: a view that showed it at one revision shows it still while
    // the revision stays and its rows do.
    std::uint64_t selectionRevision() const { return selectionRevision_; }
    const ActionConfig& config() const { return config_; }
    bool isProcessing() const { return isProcessing_; }
    Activity activity() const { return activity_; }
    // How many times adding has begun: tells one add from the next.
    std::uint64_t addsBegun() const { return addsBegun_; }
    bool isBusy() const { return activity_ != Activity::idle; }
    const Progress& progress() const { return progress_; }
    const std::optional<ProcessResult>& lastResult() const { return lastResult_; }
    // The items the last run could not change as planned, with the reason, by item id. Cleared when the
    // list or the settings are written again.
    const std::unordered_map<Uuid, std::string>& failureMarks() const { return failureMarks_; }

    void setSelection(Selection selection);
    // One write of `selection` that adds and takes out ids, at a cost proportional to the change.
    void changeSelection(std::span<const Uuid> added, std::span<const Uuid> removed);
    // Either write of `config` brings shift amounts outside the steppers' ranges to the nearer end
    // (clampShiftAmounts), so the configuration always holds what the panel can show.
    void setConfig(ActionConfig config);
    // One write of `config` that changes it in place: notifies, then calls edit(config).
    template <typename Edit>
    void editConfig(Edit&& edit) {
        if (isBusy()) {
            return;
        }
        objectWillChange_.send();
        summaryValid_ = false;
        failureMarks_.clear();
        edit(config_);
        clampShiftAmounts(config_);
    }
    void setLastResult(std::optional<ProcessResult> result);

    // Returns false, adding nothing, while adding or applying runs.
    bool addURLs(std::span<const std::filesystem::path> urls);
    void showAddPanel();
    void removeSelected();
    void removeAll();
    void setLiftSource(const std::filesystem::path& url);
    void applyChanges(JournalUse use = JournalUse::required);
    // Stops adding or applying after the item at hand; what was done so far stays.
    void cancel();
    // Waits until the background work has handed back its last batch; that batch runs later, on the
    // owner's thread.
    void waitForWork() { work_.wait(); }
    void refreshItems();

    // The journal every run is written down in first; none by default, and then runs are not journaled
    // and nothing can be restored. Reads the newest run; call while idle.
    void setJournal(RunJournal* journal);
    RunJournal* journal() const { return journal_; }
    // The newest run in the journal: Undo puts back its previous dates unless it is an undo itself, when
    // Redo does. Read again whenever a run ends.
    const std::optional<RunRecord>& latestRun() const { return latestRun_; }
    // The newest run that never completed and was not yet offered, if the program ended during it.
    std::optional<RunRecord> interruptedRun() const;
    // The interrupted run is offered once: afterwards it counts as complete and interrupted.
    void dismissInterrupted(std::int64_t run);
    // Puts back the dates that `run` found, on every item it changed whose dates are still the ones it left,
    // as a run of its own: journaled, in the background, with the result and the list read again as after
    // applying. Items whose dates changed since are left as they are and reported.
    void restoreRun(std::int64_t run);

    // "Now" for planning, the same for every caller until a second has passed (or until planSummary()
    // renews it): a table and the count drawn together agree. While a run is on, the run's own instant.
    Date planInstant() const;
    std::vector<PlannedChange> plannedChanges() const;
    std::size_t changeCount() const { return planSummary().changing; }
    // Kept up to date as items come, go and are refreshed; planned afresh only when the settings change
    // or a second has passed.
    const PlanSummary& planSummary() const;

    FileAccess& fileAccess() const { return files_; }
    const Clock& clock() const { return clock_; }

private:
    FileAccess& files_;
    OpenPanel& addPanel_;
    Clock clock_;
    ChangePublisher objectWillChange_;

    void willWriteItems();
    void emptySelection();
    void appendBatch(ListedPaths& listed, std::vector<FileItem>& batch);
    struct Refreshed;
    struct RunEnd;
    void refreshInPlace(std::vector<Refreshed>& batch);
    void takeRefreshed(std::vector<Refreshed>& batch);
    // One write of the items refreshed in place, then the selection emptied, as a run and a refresh end.
    void storeRefreshed(std::vector<Refreshed>& batch);
    void finishRun(RunEnd& end);
    void runApply(const ActionConfig& config, Date now, std::size_t count, bool timed, RunJournal* journal,
                  const std::stop_token& stop, const HandBack& handBack);
    void runRestore(const RunRecord& restored, bool timed, const std::stop_token& stop,
                    const HandBack& handBack);
    // Hands back the list read again, in batches, and then `end`.
    void rereadList(RunEnd& end, bool timed, const HandBack& handBack);
    void beginProcessing(Progress progress);
    void reloadLatestRun();
    void setActivity(Activity activity, Progress progress);
    // Count an item into the summary, or out of it, at the plan's instant; each tells whether the item's
    // plan follows the clock.
    bool summaryAdd(const FileItem& item) const;
    bool summaryRemove(const FileItem& item) const;
    // Notes that the item appended at `position` follows the clock.
    void noteClockFollower(std::size_t position) const;
    void planClockFollowers(Date now) const;

    ItemList items_;
    std::uint64_t itemsRevision_ = 0;
    std::uint64_t removalRevision_ = 0;
    std::uint64_t selectionRevision_ = 0;
    Selection selection_;
    ActionConfig config_;
    bool isProcessing_ = false;
    Activity activity_ = Activity::idle;
    std::uint64_t addsBegun_ = 0;
    Progress progress_;
    std::optional<ProcessResult> lastResult_;
    std::unordered_map<Uuid, std::string> failureMarks_;
    // Guards against a nested run. Set before isProcessing's first notification (which an observer might
    // answer by applying again) and cleared after its last, so it covers every moment isProcessing is true.
    bool isApplying_ = false;
    RunJournal* journal_ = nullptr;
    std::optional<RunRecord> latestRun_;

    // The plan's instant and what the plan amounts to at it.
    mutable Date planInstant_ = Date::fromParts(0);
    mutable PlanSummary summary_;
    mutable bool summaryValid_ = false;
    // Where the items lie whose plans follow the clock, while they are known: as the clock moves on, only
    // these are planned again. Found by each plan of every item, unless they are many and more than half
    // of the list; lost when items leave or when a date read again makes an item start following.
    mutable std::vector<std::uint32_t> clockPositions_;
    mutable bool clockPositionsKnown_ = false;

    // Last, so that the worker stops before anything it reads goes.
    BackgroundWork work_;
};

}  // namespace vellumark
