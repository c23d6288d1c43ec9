#pragma once

#include "app_model/app_model.h"
#include "app_model/change_publisher.h"

#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace vellumark::bindings {

// Redraws a view from the model. A change notification schedules one refresh on the next pass of the
// event loop, and every further notification before it runs joins that same refresh, so a burst of
// writes (adding a thousand items) costs one redraw. The notification itself never reads the model:
// the value is stored only after it is sent.
//
// While the model works in the background its batches come every few milliseconds; a view redrawn for
// each would spend on redraws the processor that the work needs. So between two refreshes that both find
// the model busy at least `kBusyInterval` passes. The refresh that first finds it busy, and the one that
// finds it idle again, run on the next pass as any other.
class ModelObserver : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kBusyInterval{100};

    // `isBusy` tells whether the model works in the background; without it every refresh runs at once.
    ModelObserver(ChangePublisher& publisher, std::function<void()> refresh, QObject* parent = nullptr,
                  std::function<bool()> isBusy = {});
    ModelObserver(AppModel& model, std::function<void()> refresh, QObject* parent = nullptr)
        : ModelObserver(model.objectWillChange(), std::move(refresh), parent,
                        [&model] { return model.isBusy(); }) {}

    bool isRefreshPending() const;

private:
    void schedule();
    void runRefresh();

    std::function<void()> refresh_;
    std::function<bool()> isBusy_;
    QTimer* paced_;
    QElapsedTimer sinceRefresh_;
    bool busyAtRefresh_ = false;
    bool pending_ = false;
    ChangePublisher::Subscription subscription_;
};

}  // namespace vellumark::bindings
