#pragma once

#include "app_model/app_model.h"

#include <optional>
#include <string>
#include <vector>

namespace vellumark::testing {

// What an observer can see of the model at one moment.
struct ModelSnapshot {
    std::vector<Uuid> itemIds;
    std::uint64_t itemsRevision = 0;
    Selection selection;
    std::uint64_t selectionRevision = 0;
    std::optional<std::filesystem::path> liftSourceURL;
    std::optional<Date> liftCreation;
    std::optional<Date> liftModification;
    bool includeSubfolderContents = false;
    bool isProcessing = false;
    std::optional<Uuid> lastResultId;

    static ModelSnapshot of(const AppModel& model) {
        ModelSnapshot snapshot;
        for (const FileItem& item : model.items()) {
            snapshot.itemIds.push_back(item.id());
        }
        snapshot.itemsRevision = model.itemsRevision();
        snapshot.selection = model.selection();
        snapshot.selectionRevision = model.selectionRevision();
        snapshot.liftSourceURL = model.config().liftSourceURL;
        snapshot.liftCreation = model.config().liftCreation;
        snapshot.liftModification = model.config().liftModification;
        snapshot.includeSubfolderContents = model.config().includeSubfolderContents;
        snapshot.isProcessing = model.isProcessing();
        if (model.lastResult()) {
            snapshot.lastResultId = model.lastResult()->id;
        }
        return snapshot;
    }
};

// Records the model as it is at every notification. Because each notification comes before its write is
// stored, the write of notification k is what differs between snapshot k and snapshot k + 1 (or the
// model's state at the end): writtenProperties() names it. A write that stores an equal value shows as "".
class NotificationLog {
public:
    explicit NotificationLog(AppModel& model)
        : model_(model), subscription_(model.objectWillChange().subscribe([this] {
              snapshots_.push_back(ModelSnapshot::of(model_));
          })) {}

    std::size_t count() const { return snapshots_.size(); }
    void clear() { snapshots_.clear(); }

    std::vector<std::string> writtenProperties() const {
        std::vector<std::string> names;
        for (std::size_t k = 0; k < snapshots_.size(); ++k) {
            const ModelSnapshot after =
                k + 1 < snapshots_.size() ? snapshots_[k + 1] : ModelSnapshot::of(model_);
            names.push_back(difference(snapshots_[k], after));
        }
        return names;
    }

private:
    static std::string difference(const ModelSnapshot& a, const ModelSnapshot& b) {
        std::string names;
        const auto note = [&names](bool changed, const char* name) {
            if (changed) {
                names += names.empty() ? name : std::string("+") + name;
            }
        };
        note(a.itemIds != b.itemIds || a.itemsRevision != b.itemsRevision, "items");
        note(a.selection != b.selection, "selection");
        // Views that showed the selection go by its revision.
        note(a.selection != b.selection && a.selectionRevision == b.selectionRevision, "(unrevised)");
        note(a.liftSourceURL != b.liftSourceURL, "liftSourceURL");
        note(a.liftCreation != b.liftCreation, "liftCreation");
        note(a.liftModification != b.liftModification, "liftModification");
        note(a.includeSubfolderContents != b.includeSubfolderContents, "includeSubfolderContents");
        note(a.isProcessing != b.isProcessing, "isProcessing");
        note(a.lastResultId != b.lastResultId, "lastResult");
        return names;
    }

    AppModel& model_;
    std::vector<ModelSnapshot> snapshots_;
    ChangePublisher::Subscription subscription_;
};

}  // namespace vellumark::testing
