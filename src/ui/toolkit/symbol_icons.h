#pragma once

#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QStringView>

namespace vellumark::toolkit {

// The program's own symbols, drawn at any size with the colours of the palette in use when drawn, so
// they need no icon theme and follow light and dark palettes: "plus", "minus", "trash",
// "checkmark.circle.fill", "calendar.badge.clock", "folder", "doc", "lock.fill" (drawn in the text colour)
// and "exclamationmark.triangle.fill" (in the warning colour). Any other name gives a null icon.
QIcon symbolIcon(QStringView name);

// One symbol drawn with a given palette (a square of `size` device-independent pixels).
QPixmap symbolPixmap(QStringView name, int size, const QPalette& palette, QIcon::Mode mode = QIcon::Normal,
                     qreal devicePixelRatio = 1.0);

bool isKnownSymbol(QStringView name);

}  // namespace vellumark::toolkit
