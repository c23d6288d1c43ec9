#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vellumark::testing {

// Processes events until `condition` holds or a second has passed; returns the condition.
template <typename Condition>
bool processEventsUntil(Condition&& condition, int timeoutMs = 1000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

}  // namespace vellumark::testing
