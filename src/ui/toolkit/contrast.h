#pragma once

#include <QColor>
#include <QPalette>

#include <initializer_list>

namespace vellumark::toolkit {

// The least contrast, as WCAG 2 measures it, of a text against what it is drawn on, and of a symbol or
// a struck-through text (a date that is being replaced) against its background.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kSymbolContrast = 3.0;

// WCAG 2 relative luminance of an opaque colour: 0 for black, 1 for white.
double relativeLuminance(const QColor& color);

// WCAG 2 contrast ratio of two opaque colours, from 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// `over` laid on `under` with its alpha, as one opaque colour (palettes often give translucent dimmed
// texts). `share` scales the alpha.
QColor flattened(const QColor& over, const QColor& under, double share = 1.0);

// `color` made darker or lighter, whichever needs the smaller step, until it has `ratio` against every
// one of `backgrounds`; unchanged when it already has. Hue and saturation stay, so an accent stays that
// accent. Where no lightness reaches the ratio, black or white, whichever comes closer.
//   withContrast(blue #308CC6, {white}, 4.5) -> a darker blue (the blue is 3.7:1 on white)
QColor withContrast(const QColor& color, std::initializer_list<QColor> backgrounds, double ratio);

// `palette` with each group's Highlight darkened or lightened until its HighlightedText reads on it:
// what selected rows and chosen segments are drawn with. Disabled colours stay as they are.
QPalette withReadableSelection(QPalette palette);

}  // namespace vellumark::toolkit
