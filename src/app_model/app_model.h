#pragma once

#include "app_model/change_publisher.h"
#include "app_model/file_access.h"
#include "app_model/open_panel.h"
#include "app_model/process_result.h"
#include "model/action_config.h"
#include "model/file_item.h"
#include "model/planned_change.h"
#include "model/planner.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vellumark {

using Selection = std::unordered_set<Uuid>;

// The one observable object holding the application's state. Every write of a published property
// (items, selection, config, isProcessing, lastResult) sends objectWillChange once, before the value is
// stored, even when the new value equals the old one.
class AppModel {
public:
    AppModel(FileAccess& files, OpenPanel& addPanel, Clock clock = systemClock());
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    ChangePublisher& objectWillChange() { return objectWillChange_; }

    const std::vector<FileItem>& items() const { return items_; }
    // Grows with every write of `items`: a view can tell whether the list changed without reading it.
    std::uint64_t itemsRevision() const { return itemsRevision_; }
    const Selection& selection() const { return selection_; }
    const ActionConfig& config() const { return config_; }
    bool isProcessing() const { return isProcessing_; }
    const std::optional<ProcessResult>& lastResult() const { return lastResult_; }
    // The items the last run could not change as planned, with the reason, by item id. Cleared when the
    // list or the settings are written again.
    const std::unordered_map<Uuid, std::string>& failureMarks() const { return failureMarks_; }

    void setSelection(Selection selection);
    // Either write of `config` brings shift amounts outside the steppers' ranges to the nearer end
    // (clampShiftAmounts), so the configuration always holds what the panel can show.
    void setConfig(ActionConfig config);
    // One write of `config` that changes it in place: notifies, then calls edit(config).
    template <typename Edit>
    void editConfig(Edit&& edit) {
        objectWillChange_.send();
        failureMarks_.clear();
        edit(config_);
        clampShiftAmounts(config_);
    }
    void setLastResult(std::optional<ProcessResult> result);

    void addURLs(std::span<const std::filesystem::path> urls);
    void showAddPanel();
    void removeSelected();
    void removeAll();
    void setLiftSource(const std::filesystem::path& url);
    void applyChanges();
    void refreshItems();

    std::vector<PlannedChange> plannedChanges() const;
    std::size_t changeCount() const;
    PlanSummary planSummary() const;

    FileAccess& fileAccess() const { return files_; }
    const Clock& clock() const { return clock_; }

private:
    FileAccess& files_;
    OpenPanel& addPanel_;
    Clock clock_;
    ChangePublisher objectWillChange_;

    void willWriteItems();

    std::vector<FileItem> items_;
    std::uint64_t itemsRevision_ = 0;
    Selection selection_;
    ActionConfig config_;
    bool isProcessing_ = false;
    std::optional<ProcessResult> lastResult_;
    std::unordered_map<Uuid, std::string> failureMarks_;
    // Guards against a nested run. Set before isProcessing's first notification (which an observer might
    // answer by applying again) and cleared after its last, so it covers every moment isProcessing is true.
    bool isApplying_ = false;
};

}  // namespace vellumark
