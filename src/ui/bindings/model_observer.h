#pragma once

#include "app_model/app_model.h"
#include "app_model/change_publisher.h"

#include <QObject>

#include <functional>

namespace vellumark::bindings {

// Redraws a view from the model. A change notification schedules one refresh on the next pass of the
// event loop, and every further notification before it runs joins that same refresh, so a burst of
// writes (adding a thousand items) costs one redraw. The notification itself never reads the model:
// the value is stored only after it is sent.
class ModelObserver : public QObject {
    Q_OBJECT

public:
    ModelObserver(ChangePublisher& publisher, std::function<void()> refresh, QObject* parent = nullptr);
    ModelObserver(AppModel& model, std::function<void()> refresh, QObject* parent = nullptr)
        : ModelObserver(model.objectWillChange(), std::move(refresh), parent) {}

    bool isRefreshPending() const { return pending_; }

private:
    void schedule();
    void runRefresh();

    std::function<void()> refresh_;
    ChangePublisher::Subscription subscription_;
    bool pending_ = false;
};

}  // namespace vellumark::bindings
