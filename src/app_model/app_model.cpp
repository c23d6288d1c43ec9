#include "app_model/app_model.h"

#include "app_model/apply_run.h"
#include "app_model/file_collection.h"

#include <algorithm>
#include <utility>

namespace vellumark {

AppModel::AppModel(FileAccess& files, OpenPanel& addPanel, Clock clock)
    : files_(files), addPanel_(addPanel), clock_(std::move(clock)), config_(clock_()) {}

void AppModel::willWriteItems() {
    objectWillChange_.send();
    ++itemsRevision_;
    failureMarks_.clear();
}

void AppModel::setSelection(Selection selection) {
    objectWillChange_.send();
    selection_ = std::move(selection);
}

void AppModel::setConfig(ActionConfig config) {
    objectWillChange_.send();
    failureMarks_.clear();
    config_ = std::move(config);
    clampShiftAmounts(config_);
}

void AppModel::setLastResult(std::optional<ProcessResult> result) {
    objectWillChange_.send();
    lastResult_ = std::move(result);
}

void AppModel::addURLs(std::span<const std::filesystem::path> urls) {
    const bool includeSubfolderContents = config_.includeSubfolderContents;
    // Each item joins the list as soon as it is built, so a large folder never holds a second list.
    collectItemsInto(files_, items_, urls, includeSubfolderContents, [this](FileItem&& item) {
        willWriteItems();
        items_.push_back(std::move(item));
    });
}

void AppModel::showAddPanel() {
    if (std::optional<std::vector<std::filesystem::path>> urls = runAddPanel(addPanel_)) {
        addURLs(*urls);
    }
}

void AppModel::removeSelected() {
    willWriteItems();
    std::erase_if(items_, [this](const FileItem& item) { return selection_.contains(item.id()); });
    objectWillChange_.send();
    selection_.clear();
}

void AppModel::removeAll() {
    willWriteItems();
    items_ = {};
    objectWillChange_.send();
    selection_.clear();
}

void AppModel::setLiftSource(const std::filesystem::path& url) {
    const ReadDates dates = readDates(files_, url);
    editConfig([&url](ActionConfig& config) { config.liftSourceURL = url; });
    editConfig([&dates](ActionConfig& config) { config.liftCreation = dates.creationDate; });
    editConfig([&dates](ActionConfig& config) { config.liftModification = dates.modificationDate; });
}

void AppModel::applyChanges() {
    if (isApplying_) {
        return;
    }
    isApplying_ = true;
    const struct ApplyingEnds {
        bool& flag;
        ~ApplyingEnds() { flag = false; }
    } applyingEnds{isApplying_};

    objectWillChange_.send();
    isProcessing_ = true;

    try {
        // The whole plan first, with the configuration and clock of this moment; only the dates are kept,
        // so no item is copied.
        std::vector<PlannedDates> plan;
        plan.reserve(items_.size());
        ProcessResult result;
        PlanSummary summary;
        for (const FileItem& item : items_) {
            plan.push_back(planDates(item, config_, clock_()));
            addToSummary(summary, item, plan.back());
        }
        result.keptCreation = std::move(summary.keptCreation);

        std::vector<std::pair<std::size_t, std::string>> failures;  // list position, reason
        for (std::size_t i = 0; i < items_.size(); ++i) {
            std::optional<FileDateError> error;
            if (changesAnything(items_[i], plan[i])) {
                error = writeChange(files_, items_[i], plan[i]);
                result.succeeded += error ? 0 : 1;
            }
            if (!error) {
                error = refusal(items_[i], plan[i]);
            }
            if (error) {
                ++result.failed;
                result.errors.push_back(error->description());
                failures.emplace_back(i, std::move(error->underlying));
            }
        }

        refreshItems();

        // The refresh keeps the list's order, so positions name the refreshed items.
        for (auto& [position, reason] : failures) {
            result.failedItems.push_back({items_[position].id(), reason});
        }
        objectWillChange_.send();
        for (const FailedItem& failure : result.failedItems) {
            failureMarks_.emplace(failure.item, failure.reason);
        }
        lastResult_ = std::move(result);
    } catch (...) {
        // Never leave the model stuck in a run that can no longer finish.
        objectWillChange_.send();
        isProcessing_ = false;
        throw;
    }

    objectWillChange_.send();
    isProcessing_ = false;
}

void AppModel::refreshItems() {
    std::vector<FileItem> refreshed;
    refreshed.reserve(items_.size());
    for (const FileItem& item : items_) {
        ReadDates dates = readDates(files_, item.url());
        if (item.identity && dates.identity != item.identity) {
            // Another file answers to the path now: the item stays the one listed, and shows as gone.
            dates = ReadDates{};
        }
        dates.identity = item.identity;
        refreshed.push_back(itemFromRead(item.path(), dates));
    }
    willWriteItems();
    items_ = std::move(refreshed);
    objectWillChange_.send();
    selection_.clear();
}

std::vector<PlannedChange> AppModel::plannedChanges() const {
    return vellumark::plannedChanges(items_, config_, clock_);
}

std::size_t AppModel::changeCount() const {
    return vellumark::changeCount(items_, config_, clock_);
}

PlanSummary AppModel::planSummary() const {
    return summarizePlan(items_, config_, clock_);
}

}  // namespace vellumark
