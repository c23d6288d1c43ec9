#include "ui/toolkit/commands.h"

#include <QWidget>

namespace vellumark::toolkit {

QAction* makeCommand(QObject* parent, const QString& text, const QKeySequence& shortcut,
                     std::function<void()> run, const QIcon& icon) {
    auto* action = new QAction(icon, text, parent);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    QObject::connect(action, &QAction::triggered, action, [run = std::move(run)] { run(); });
    return action;
}

void setToolTip(QWidget& widget, const QString& text) {
    widget.setToolTip(text);
    widget.setAccessibleDescription(text);
}

void setToolTip(QAction& action, const QString& text) {
    action.setToolTip(text);
}

}  // namespace vellumark::toolkit
