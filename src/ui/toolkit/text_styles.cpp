#include "ui/toolkit/text_styles.h"

#include "ui/toolkit/contrast.h"

#include <QEvent>

namespace vellumark::toolkit {

namespace {

QFont scaled(QFont font, qreal factor) {
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

// Sets the secondary colour as the widget's text colours whenever its palette changes: a colour set once
// would stay behind when the desktop switches between light and dark.
class SecondaryForeground : public QObject {
public:
    using QObject::QObject;

    static void apply(QWidget& widget) {
        QPalette palette = widget.palette();
        const QColor color = secondaryColor(palette);
        if (palette.color(QPalette::Active, QPalette::WindowText) == color &&
            palette.color(QPalette::Inactive, QPalette::WindowText) == color) {
            return;
        }
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::WindowText, color);
            palette.setColor(group, QPalette::Text, color);
        }
        widget.setPalette(palette);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) {
            apply(*static_cast<QWidget*>(watched));
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

QColor secondaryColor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    return withContrast(flattened(palette.color(QPalette::Active, QPalette::PlaceholderText), base),
                        {base, palette.color(QPalette::Active, QPalette::Window)}, kTextContrast);
}

void makeSecondary(QWidget& widget) {
    // Explicitly: a toolbar would have its widgets draw in the button text colour.
    widget.setForegroundRole(QPalette::WindowText);
    widget.installEventFilter(new SecondaryForeground(&widget));
    SecondaryForeground::apply(widget);
}

QColor warningColor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor amber = base.lightnessF() > 0.5 ? QColor(0xA8, 0x5A, 0x00) : QColor(0xF0, 0xB0, 0x40);
    return withContrast(amber,
                        {base, palette.color(QPalette::Active, QPalette::AlternateBase),
                         palette.color(QPalette::Active, QPalette::Window)},
                        kTextContrast);
}

QFont calloutFont(const QFont& body) {
    return scaled(body, 12.0 / 13.0);
}

QFont title3Font(const QFont& body) {
    return scaled(body, 15.0 / 13.0);
}

}  // namespace vellumark::toolkit
