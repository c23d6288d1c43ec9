#include "ui/toolkit/commands.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QWidget>

namespace vellumark::toolkit {

QAction* makeCommand(QObject* parent, const QString& text, const QKeySequence& shortcut,
                     std::function<void()> run, const QIcon& icon) {
    auto* action = new QAction(icon, text, parent);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    QObject::connect(action, &QAction::triggered, action, [run = std::move(run)] {
        commitPendingEdit();
        run();
    });
    return action;
}

void commitPendingEdit() {
    if (auto* box = qobject_cast<QAbstractSpinBox*>(QApplication::focusWidget())) {
        box->interpretText();
    }
}

void setToolTip(QWidget& widget, const QString& text) {
    widget.setToolTip(text);
    widget.setAccessibleDescription(text);
}

void setToolTip(QAction& action, const QString& text) {
    action.setToolTip(text);
}

}  // namespace vellumark::toolkit
