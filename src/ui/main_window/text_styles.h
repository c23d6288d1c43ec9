#pragma once

#include <QFont>
#include <QWidget>

namespace vellumark {

// The dimmed foreground of secondary texts: halfway from the text colour to the background, so it
// reads as quieter on light and dark palettes alike.
QColor secondaryColor(const QPalette& palette);
void makeSecondary(QWidget& widget);

// Sizes relative to the body text: callout a step below it, title 3 a few steps above.
QFont calloutFont(QFont body);
QFont title3Font(QFont body);

}  // namespace vellumark
