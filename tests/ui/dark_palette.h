#pragma once

#include <QColor>
#include <QPalette>

namespace vellumark::testing {

// A light scheme like the desktops' own, whose stock accent and dimmed text do not read as they are:
// its accent and white on it are 2.4:1, its translucent placeholder text 2.8:1 on the alternate rows.
inline QPalette lightPalette() {
    QPalette palette(QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::WindowText, QColor(0x23, 0x26, 0x27));
    palette.setColor(QPalette::Base, QColor(0xFC, 0xFC, 0xFC));
    palette.setColor(QPalette::AlternateBase, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::Text, QColor(0x23, 0x26, 0x27));
    palette.setColor(QPalette::PlaceholderText, QColor(0x23, 0x26, 0x27, 0x80));
    palette.setColor(QPalette::Button, QColor(0xFC, 0xFC, 0xFC));
    palette.setColor(QPalette::ButtonText, QColor(0x23, 0x26, 0x27));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0xAE, 0xE9));
    palette.setColor(QPalette::HighlightedText, QColor(0xFC, 0xFC, 0xFC));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0xA1, 0xA2));
    return palette;
}

// A dark scheme like the desktops' own, for pictures of the views in both kinds of palette. White on
// its selection is 3.4:1, its accent 4.4:1 on the alternate rows.
inline QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    palette.setColor(QPalette::WindowText, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::Text, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8C, 0x8C, 0x8C));
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::ButtonText, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0x8B, 0xF0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::ToolTipText, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x70));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x70, 0x70));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x70));
    return palette;
}

}  // namespace vellumark::testing
