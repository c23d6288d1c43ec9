#include "ui/toolkit/animation_pace.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <algorithm>

namespace vellumark::toolkit {

namespace {

class AnimationPace : public QObject {
public:
    AnimationPace(QWidget& widget, int framesPerSecond)
        : QObject(&widget), frameMilliseconds_(1000 / std::max(framesPerSecond, 1)) {
        sinceFrame_.invalidate();
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::StyleAnimationUpdate) {
            return QObject::eventFilter(watched, event);
        }
        if (sinceFrame_.isValid() && sinceFrame_.elapsed() < frameMilliseconds_) {
            // Taken as drawn: a frame the widget leaves untaken ends the style's animation.
            event->accept();
            return true;
        }
        sinceFrame_.start();
        return false;
    }

private:
    const qint64 frameMilliseconds_;
    QElapsedTimer sinceFrame_;
};

}  // namespace

void paceAnimation(QWidget& widget, int framesPerSecond) {
    new AnimationPace(widget, framesPerSecond);
}

}  // namespace vellumark::toolkit
