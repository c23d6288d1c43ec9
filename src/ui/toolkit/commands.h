#pragma once

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QString>

#include <functional>

namespace vellumark::toolkit {

// A command for a menu entry or a toolbar button, with its keyboard shortcut (active while its window
// is). The shortcut of a disabled command does nothing, as its button does. Before it runs, a number or
// date typed but not yet confirmed is taken (see commitPendingEdit).
QAction* makeCommand(QObject* parent, const QString& text, const QKeySequence& shortcut,
                     std::function<void()> run, const QIcon& icon = {});

// Takes the text typed into the focused spin box or date field as its value. Shortcuts and toolbar
// buttons leave the focus where it is, and a command must act on what the user sees.
void commitPendingEdit();

// Help text shown on hover; an empty text removes it. Also the accessible description.
void setToolTip(QWidget& widget, const QString& text);
void setToolTip(QAction& action, const QString& text);

}  // namespace vellumark::toolkit
