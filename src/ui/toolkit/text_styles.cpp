#include "ui/toolkit/text_styles.h"

namespace vellumark::toolkit {

namespace {

QFont scaled(QFont font, qreal factor) {
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

}  // namespace

QColor secondaryColor(const QPalette& palette) {
    return palette.color(QPalette::PlaceholderText);
}

void makeSecondary(QWidget& widget) {
    widget.setForegroundRole(QPalette::PlaceholderText);
}

QColor warningColor(const QPalette& palette) {
    return palette.color(QPalette::Base).lightnessF() > 0.5 ? QColor(0xA8, 0x5A, 0x00)
                                                            : QColor(0xF0, 0xB0, 0x40);
}

QFont calloutFont(const QFont& body) {
    return scaled(body, 12.0 / 13.0);
}

QFont title3Font(const QFont& body) {
    return scaled(body, 15.0 / 13.0);
}

}  // namespace vellumark::toolkit
