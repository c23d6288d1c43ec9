#include "ui/file_table/row_ordering.h"

#include "ui/bindings/event_loop_hand_back.h"

#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <span>
#include <tuple>

namespace vellumark::file_table {

namespace {

// How long one pass of the event loop spends copying items, and how many it copies between looks at the
// clock.
constexpr auto kSliceTime = std::chrono::milliseconds(8);
constexpr std::size_t kItemsBetweenLooks = 2048;

bool isNewDateKey(SortKey key) {
    return key == SortKey::newCreation || key == SortKey::newModification;
}

bool isDateKey(SortKey key) {
    return isNewDateKey(key) || key == SortKey::creation || key == SortKey::modification;
}

// Whether two configurations plan the same dates: every field planning reads.
bool samePlan(const ActionConfig& a, const ActionConfig& b) {
    const auto fields = [](const ActionConfig& config) {
        return std::tie(config.kind, config.fields, config.specificDate, config.shiftDirection,
                        config.shiftDays, config.shiftHours, config.shiftMinutes, config.shiftSeconds,
                        config.liftSourceURL, config.liftCreation, config.liftModification,
                        config.correctInconsistencies);
    };
    return fields(a) == fields(b);
}

}  // namespace

// One ordering on the worker: the copy it reads, and what it makes of it.
struct RowOrdering::Job {
    std::unique_ptr<RowSource> source;
    OrderChoice choice;
    std::uint64_t generation;
    RowOrder order;
};

RowOrdering::RowOrdering(const AppModel& model, QObject* parent)
    : QObject(parent), model_(model), work_(bindings::eventLoopHandBack()) {
    seenRevision_ = model_.itemsRevision();
    seenRemovalRevision_ = model_.removalRevision();
    seenSize_ = model_.items().size();
}

RowOrdering::~RowOrdering() {
    work_.requestStop();
}

void RowOrdering::setChoice(const OrderChoice& choice) {
    if (choice == choice_) {
        return;
    }
    choice_ = choice;
    ++generation_;
    current_ = false;
    ready_.reset();
    if (running_) {
        work_.requestStop();
    }
    if (choice_.showsList() && !running_) {
        dropSource();
    }
    schedule();
}

RowOrdering::ListChange RowOrdering::follow() {
    const ItemList& items = model_.items();
    ListChange change;
    if (model_.removalRevision() != seenRemovalRevision_) {
        change.itemsLeft = true;
        // An order not yet taken names positions from before.
        if (ready_) {
            ready_.reset();
            current_ = false;
        }
        if (source_ && !running_) {
            // The list keeps its order when items leave it: the copy's ids, walked beside the list, tell
            // where each remaining one went.
            std::vector<std::uint32_t> positions(source_->size(), kGone);
            std::vector<bool> kept(source_->size(), false);
            std::size_t next = 0;
            for (std::size_t position = 0; position < source_->size(); ++position) {
                if (next < items.size() && items[next].id() == source_->ids[position]) {
                    positions[position] = static_cast<std::uint32_t>(next++);
                    kept[position] = true;
                }
            }
            source_->keep(kept);
            change.positions = std::move(positions);
        } else {
            invalidateSource();
        }
    } else if (model_.itemsRevision() != seenRevision_ && items.size() == seenSize_ &&
               isDateKey(choice_.key)) {
        // The same items written again in place: after a run, their dates.
        invalidateSource();
    }
    if (isNewDateKey(choice_.key) && !samePlan(model_.config(), sourceConfig_)) {
        invalidateSource();
    }
    if (items.size() != seenSize_ || change.itemsLeft) {
        // A removal leaves the order current; only items the order has not seen call for a new one.
        current_ = current_ && (source_ != nullptr) && source_->size() == items.size();
    }
    seenRevision_ = model_.itemsRevision();
    seenRemovalRevision_ = model_.removalRevision();
    seenSize_ = items.size();
    if (!current_) {
        schedule();
    }
    return change;
}

void RowOrdering::invalidateSource() {
    current_ = false;
    ready_.reset();
    if (running_) {
        sourceLost_ = true;
        work_.requestStop();
    } else {
        dropSource();
    }
}

// A million names with their collation keys take tens of milliseconds to free: the thread pool frees them.
void RowOrdering::dropSource() {
    if (source_) {
        QThreadPool::globalInstance()->start([source = std::shared_ptr<RowSource>(std::move(source_))] {});
    }
}

bool RowOrdering::isCurrent() const {
    return current_ && !ready_ && model_.items().size() == seenSize_ &&
           model_.removalRevision() == seenRemovalRevision_ &&
           (!isNewDateKey(choice_.key) || samePlan(model_.config(), sourceConfig_));
}

std::optional<RowOrder> RowOrdering::takeOrder() {
    std::optional<RowOrder> order = std::move(ready_);
    ready_.reset();
    return order;
}

void RowOrdering::schedule() {
    if (scheduled_ || running_ || choice_.showsList()) {
        return;
    }
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        work();
    });
}

void RowOrdering::work() {
    if (running_ || choice_.showsList() || current_) {
        return;
    }
    const ItemList& items = model_.items();
    if (!source_ || !source_->serves(choice_)) {
        dropSource();
        source_ = std::make_unique<RowSource>(choice_);
        source_->reserve(items.size());
        sourceConfig_ = model_.config();
    }
    const auto start = std::chrono::steady_clock::now();
    // Planning "now" may plan the whole list first: only new dates need it.
    const Date now = isNewDateKey(choice_.key) ? model_.planInstant() : Date();
    while (source_->size() < items.size()) {
        const std::size_t end = std::min(items.size(), source_->size() + kItemsBetweenLooks);
        items.forEachRun(source_->size(), end,
                         [&](std::span<const FileItem> run) { source_->append(run, sourceConfig_, now); });
        if (source_->size() < items.size() && std::chrono::steady_clock::now() - start >= kSliceTime) {
            schedule();
            return;
        }
    }
    running_ = true;
    auto job = std::make_shared<Job>(Job{std::move(source_), choice_, generation_, {}});
    work_.start([this, job](const std::stop_token& stop, const HandBack& handBack) {
        job->order = orderRows(*job->source, job->choice, stop);
        handBack([this, job] { finish(*job); });
    });
}

void RowOrdering::finish(Job& job) {
    running_ = false;
    const bool lost = std::exchange(sourceLost_, false);
    if (!lost && job.order.complete && job.generation == generation_) {
        current_ = job.source->size() == model_.items().size();
        ready_ = std::move(job.order);
        emit orderReady();
    }
    source_ = std::move(job.source);
    if (lost || choice_.showsList()) {
        dropSource();
    }
    schedule();
}

}  // namespace vellumark::file_table
