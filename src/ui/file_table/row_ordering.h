#pragma once

#include "app_model/app_model.h"
#include "app_model/background_work.h"
#include "ui/file_table/row_order.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vellumark::file_table {

// Keeps an order of the list up to date for a choice without stalling the window: it copies what the order
// reads of the items a slice per pass of the event loop, filters and sorts the copy on a worker thread, and
// says when an order is ready. Sorting a million names takes about a second that way, during which the
// rows keep their previous order.
//
// Items only leaving the list leave the order as it was: follow() tells where the remaining ones went.
// Items added, rewritten in place (their dates, for a date key) or planned anew (for a new-date key) call
// for a new order.
class RowOrdering : public QObject {
    Q_OBJECT

public:
    static constexpr std::uint32_t kGone = UINT32_MAX;

    explicit RowOrdering(const AppModel& model, QObject* parent = nullptr);
    ~RowOrdering() override;

    const OrderChoice& choice() const { return choice_; }
    void setChoice(const OrderChoice& choice);

    // Looks at the list and the settings since the last look. When items left the list, returns the list
    // position now of each position before (kGone for those that left), where it can tell; starts the
    // work the change calls for.
    struct ListChange {
        bool itemsLeft = false;
        std::optional<std::vector<std::uint32_t>> positions;
    };
    ListChange follow();

    // The order computed for the current choice, once; empty while none is ready.
    std::optional<RowOrder> takeOrder();
    // Whether the last order taken is that of the current choice over the whole list as it is.
    bool isCurrent() const;

signals:
    void orderReady();

private:
    struct Job;

    void schedule();
    void work();
    void finish(Job& job);
    void invalidateSource();
    void dropSource();

    const AppModel& model_;
    OrderChoice choice_;
    std::uint64_t generation_ = 0;
    // The copy of the list the order reads; null while the worker holds it.
    std::unique_ptr<RowSource> source_;
    ActionConfig sourceConfig_;
    // The worker holds a copy that no longer matches the list: it is dropped when it comes back.
    bool sourceLost_ = false;
    bool running_ = false;
    bool scheduled_ = false;
    bool current_ = false;
    std::optional<RowOrder> ready_;
    std::uint64_t seenRevision_ = 0;
    std::uint64_t seenRemovalRevision_ = 0;
    std::size_t seenSize_ = 0;
    // Last, so that the worker stops before what it reads goes.
    BackgroundWork work_;
};

}  // namespace vellumark::file_table
