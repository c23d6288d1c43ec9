#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QStringView>

namespace vellumark::toolkit {

// The program's symbols by the names the views use, each standing for a freedesktop icon:
//   "plus" list-add, "minus" list-remove, "trash" edit-clear-all, "checkmark.circle.fill" dialog-ok-apply,
//   "calendar.badge.clock" x-office-calendar, "folder" folder, "doc" text-x-generic,
//   "lock.fill" changes-prevent, "exclamationmark.triangle.fill" dialog-warning.
// The desktop's icon theme draws a symbol where it has one. Elsewhere our own SVG file of that name
// stands in (installed in share/vellumark/symbols, and compiled in), recoloured when drawn from the
// palette in use: symbolColor() for most, warningColor() for the warning sign, grey when disabled.
// Any other name gives a null icon.
QIcon symbolIcon(QStringView name);

// Our own drawing of a symbol in one colour, whatever the theme: for marks that take the colour of the
// text they follow. A square of `size` device-independent pixels; null for an unknown name.
QPixmap symbolPixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio = 1.0);

// The colour our symbols are drawn in with `palette` in `mode`: the window's text colour made to stand
// out (3:1) on windows and lists, the selected text colour on a selection, the disabled text colour.
QColor symbolColor(const QPalette& palette, QIcon::Mode mode);

bool isKnownSymbol(QStringView name);

}  // namespace vellumark::toolkit
