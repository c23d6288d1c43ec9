#include "ui/bindings/model_observer.h"

namespace vellumark::bindings {

ModelObserver::ModelObserver(ChangePublisher& publisher, std::function<void()> refresh, QObject* parent)
    : QObject(parent),
      refresh_(std::move(refresh)),
      subscription_(publisher.subscribe([this] { schedule(); })) {}

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
    refresh_();
}

}  // namespace vellumark::bindings
