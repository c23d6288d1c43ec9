#include "ui/bindings/model_observer.h"

#include <QTimer>

namespace vellumark::bindings {

ModelObserver::ModelObserver(ChangePublisher& publisher, std::function<void()> refresh, QObject* parent,
                             std::function<bool()> isBusy)
    : QObject(parent),
      refresh_(std::move(refresh)),
      isBusy_(std::move(isBusy)),
      paced_(new QTimer(this)),
      subscription_(publisher.subscribe([this] { schedule(); })) {
    paced_->setSingleShot(true);
    // A notification since has its own pass coming, which now finds the interval over.
    connect(paced_, &QTimer::timeout, this, [this] {
        if (!pending_) {
            runRefresh();
        }
    });
}

bool ModelObserver::isRefreshPending() const {
    return pending_ || paced_->isActive();
}

void ModelObserver::schedule() {
    if (pending_) {
        return;
    }
    pending_ = true;
    QMetaObject::invokeMethod(this, &ModelObserver::runRefresh, Qt::QueuedConnection);
}

void ModelObserver::runRefresh() {
    // Cleared first: a write made while refreshing (there should be none) gets a refresh of its own.
    pending_ = false;
    const bool busy = isBusy_ && isBusy_();
    if (busy && busyAtRefresh_) {
        const auto waited = std::chrono::milliseconds(sinceRefresh_.elapsed());
        if (waited < kBusyInterval) {
            if (!paced_->isActive()) {
                paced_->start(kBusyInterval - waited);
            }
            return;
        }
    }
    paced_->stop();
    busyAtRefresh_ = busy;
    sinceRefresh_.start();
    refresh_();
}

}  // namespace vellumark::bindings
