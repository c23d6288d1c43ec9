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
}

void AppModel::setSelection(Selection selection) {
    objectWillChange_.send();
    selection_ = std::move(selection);
}

void AppModel::setConfig(ActionConfig config) {
    objectWillChange_.send();
    config_ = std::move(config);
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
        for (const FileItem& item : items_) {
            plan.push_back(planDates(item, config_, clock_()));
        }

        ProcessResult result;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!changesAnything(items_[i], plan[i])) {
                continue;
            }
            if (std::optional<FileDateError> error = writeChange(files_, items_[i], plan[i])) {
                ++result.failed;
                result.errors.push_back(error->description());
            } else {
                ++result.succeeded;
            }
        }

        refreshItems();

        objectWillChange_.send();
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
        const ReadDates dates = readDates(files_, item.url());
        refreshed.push_back(
            FileItem::withPath(item.path(), dates.creationDate, dates.modificationDate, dates.isDirectory));
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

}  // namespace vellumark
