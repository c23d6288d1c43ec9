#include "ui/bindings/event_loop_hand_back.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vellumark::bindings {

HandBack eventLoopHandBack() {
    return [](std::function<void()> function) {
        // Queued to the application object, which lives as long as the loop does; safe from any thread.
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(function), Qt::QueuedConnection);
    };
}

}  // namespace vellumark::bindings
