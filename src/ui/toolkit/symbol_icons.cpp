#include "ui/toolkit/symbol_icons.h"

#include "ui/toolkit/contrast.h"
#include "ui/toolkit/text_styles.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <array>
#include <memory>

namespace vellumark::toolkit {

namespace {

enum class Tone { ink, warning };

struct Symbol {
    QStringView name;
    QStringView themeName;
    Tone tone;
};

constexpr std::array kSymbols{
    Symbol{u"plus", u"list-add", Tone::ink},
    Symbol{u"minus", u"list-remove", Tone::ink},
    Symbol{u"trash", u"edit-clear-all", Tone::ink},
    Symbol{u"checkmark.circle.fill", u"dialog-ok-apply", Tone::ink},
    Symbol{u"calendar.badge.clock", u"x-office-calendar", Tone::ink},
    Symbol{u"folder", u"folder", Tone::ink},
    Symbol{u"doc", u"text-x-generic", Tone::ink},
    Symbol{u"lock.fill", u"changes-prevent", Tone::ink},
    Symbol{u"exclamationmark.triangle.fill", u"dialog-warning", Tone::warning},
};

const Symbol* symbolNamed(QStringView name) {
    for (const Symbol& symbol : kSymbols) {
        if (symbol.name == name) {
            return &symbol;
        }
    }
    return nullptr;
}

// An installed copy comes first, so that a packager can replace a drawing; the compiled-in one serves
// builds that were never installed.
QString fileOf(const Symbol& symbol) {
    const QString relative = QStringLiteral("vellumark/symbols/%1.svg").arg(symbol.themeName);
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative);
    return installed.isEmpty() ? QStringLiteral(":/") + relative : installed;
}

// One parsed drawing per symbol for the life of the program; user-interface thread only.
QSvgRenderer& rendererOf(const Symbol& symbol) {
    static std::array<std::unique_ptr<QSvgRenderer>, kSymbols.size()> renderers;
    auto& renderer = renderers[static_cast<std::size_t>(&symbol - kSymbols.data())];
    if (!renderer) {
        renderer = std::make_unique<QSvgRenderer>(fileOf(symbol));
    }
    return *renderer;
}

QColor colorOf(const Symbol& symbol, const QPalette& palette, QIcon::Mode mode) {
    if (symbol.tone == Tone::warning && (mode == QIcon::Normal || mode == QIcon::Active)) {
        return warningColor(palette);
    }
    return symbolColor(palette, mode);
}

// The drawing's black filled with `color`, in a square of `pixels` device pixels. Views paint icons for
// every visible row: a cached drawing is much cheaper than rendering the SVG again.
QPixmap render(const Symbol& symbol, int pixels, const QColor& color, qreal ratio) {
    const QString key = QStringLiteral("vellumark-symbol/%1/%2/%3/%4")
                            .arg(symbol.themeName)
                            .arg(pixels)
                            .arg(color.rgba(), 8, 16)
                            .arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    rendererOf(symbol).render(&painter, QRectF(0, 0, pixels, pixels));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

class SymbolIconEngine final : public QIconEngine {
public:
    explicit SymbolIconEngine(const Symbol& symbol) : symbol_(symbol) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        const QPixmap pixmap =
            render(symbol_, qRound(side * ratio), colorOf(symbol_, QGuiApplication::palette(), mode), ratio);
        painter->drawPixmap(QRect(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side),
                            pixmap);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // QIcon asks for device pixels (the size already multiplied by the scale) and sets the ratio itself.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal) override {
        return render(symbol_, std::min(size.width(), size.height()),
                      colorOf(symbol_, QGuiApplication::palette(), mode), 1.0);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(symbol_); }
    QString key() const override { return QStringLiteral("VellumarkSymbol"); }
    QString iconName() override { return symbol_.name.toString(); }
    bool isNull() override { return false; }

private:
    const Symbol& symbol_;
};

}  // namespace

QIcon symbolIcon(QStringView name) {
    const Symbol* symbol = symbolNamed(name);
    if (symbol == nullptr) {
        return {};
    }
    return QIcon::fromTheme(symbol->themeName.toString(), QIcon(new SymbolIconEngine(*symbol)));
}

QPixmap symbolPixmap(QStringView name, int size, const QColor& color, qreal devicePixelRatio) {
    const Symbol* symbol = symbolNamed(name);
    if (symbol == nullptr) {
        return {};
    }
    return render(*symbol, qRound(size * devicePixelRatio), color, devicePixelRatio);
}

QColor symbolColor(const QPalette& palette, QIcon::Mode mode) {
    switch (mode) {
        case QIcon::Selected:
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        case QIcon::Disabled:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case QIcon::Normal:
        case QIcon::Active:
            break;
    }
    return withContrast(
        palette.color(QPalette::Active, QPalette::WindowText),
        {palette.color(QPalette::Active, QPalette::Window), palette.color(QPalette::Active, QPalette::Base),
         palette.color(QPalette::Active, QPalette::AlternateBase)},
        kSymbolContrast);
}

bool isKnownSymbol(QStringView name) {
    return symbolNamed(name) != nullptr;
}

}  // namespace vellumark::toolkit
