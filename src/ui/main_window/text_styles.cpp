#include "ui/main_window/text_styles.h"

#include <QPalette>

namespace vellumark {

namespace {

QFont scaled(QFont font, qreal factor) {
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

}  // namespace

QColor secondaryColor(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor background = palette.color(QPalette::Window);
    return QColor::fromRgbF((text.redF() + background.redF()) / 2, (text.greenF() + background.greenF()) / 2,
                            (text.blueF() + background.blueF()) / 2);
}

void makeSecondary(QWidget& widget) {
    QPalette palette = widget.palette();
    const QColor dimmed = secondaryColor(palette);
    // Whichever of these the widget draws with depends on the background it sits on.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, dimmed);
    }
    widget.setPalette(palette);
}

QFont calloutFont(QFont body) {
    return scaled(std::move(body), 12.0 / 13.0);
}

QFont title3Font(QFont body) {
    return scaled(std::move(body), 15.0 / 13.0);
}

}  // namespace vellumark
