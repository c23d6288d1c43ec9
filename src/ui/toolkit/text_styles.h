#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace vellumark::toolkit {

// The dimmed foreground of secondary texts: the palette's own quiet text colour, so it follows light and
// dark palettes, and changes of palette while the program runs.
QColor secondaryColor(const QPalette& palette);
void makeSecondary(QWidget& widget);

// An amber for what needs attention but is no error of the user's: the palette has no such role, so it
// is picked dark on light bases and light on dark ones, to read on both.
QColor warningColor(const QPalette& palette);

// Sizes relative to the body text: callout a step below it, title 3 a few steps above.
QFont calloutFont(const QFont& body);
QFont title3Font(const QFont& body);

}  // namespace vellumark::toolkit
