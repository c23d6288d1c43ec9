#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace vellumark::toolkit {

// The dimmed foreground of secondary texts: the palette's own quiet text colour, darkened or lightened
// just enough to read (4.5:1) on the window and on lists, so it follows light and dark palettes.
QColor secondaryColor(const QPalette& palette);

// Draws the widget's text in secondaryColor(), also after a change of palette while the program runs.
void makeSecondary(QWidget& widget);

// An amber for what needs attention but is no error of the user's: the palette has no such role, so it
// is picked dark on light bases and light on dark ones, and made to read (4.5:1) on lists and windows.
QColor warningColor(const QPalette& palette);

// Sizes relative to the body text: callout a step below it, title 3 a few steps above.
QFont calloutFont(const QFont& body);
QFont title3Font(const QFont& body);

}  // namespace vellumark::toolkit
