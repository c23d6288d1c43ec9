#include "ui/toolkit/symbol_icons.h"

#include "ui/toolkit/text_styles.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include <array>
#include <optional>

namespace vellumark::toolkit {

namespace {

enum class Symbol {
    plus,
    minus,
    trash,
    checkmarkCircleFill,
    calendarBadgeClock,
    folder,
    doc,
    lockFill,
    exclamationmarkTriangleFill,
};

struct NamedSymbol {
    QStringView name;
    Symbol symbol;
};

constexpr std::array kSymbols{
    NamedSymbol{u"plus", Symbol::plus},
    NamedSymbol{u"minus", Symbol::minus},
    NamedSymbol{u"trash", Symbol::trash},
    NamedSymbol{u"checkmark.circle.fill", Symbol::checkmarkCircleFill},
    NamedSymbol{u"calendar.badge.clock", Symbol::calendarBadgeClock},
    NamedSymbol{u"folder", Symbol::folder},
    NamedSymbol{u"doc", Symbol::doc},
    NamedSymbol{u"lock.fill", Symbol::lockFill},
    NamedSymbol{u"exclamationmark.triangle.fill", Symbol::exclamationmarkTriangleFill},
};

std::optional<Symbol> symbolNamed(QStringView name) {
    for (const NamedSymbol& entry : kSymbols) {
        if (entry.name == name) {
            return entry.symbol;
        }
    }
    return std::nullopt;
}

QStringView nameOf(Symbol symbol) {
    for (const NamedSymbol& entry : kSymbols) {
        if (entry.symbol == symbol) {
            return entry.name;
        }
    }
    return {};
}

struct SymbolColors {
    QColor ink;         // strokes: the text colour
    QColor accent;      // fills that carry meaning
    QColor onAccent;    // marks drawn over the accent
    QColor background;  // cut-outs, the surface the symbol sits on
    QColor warning;     // fills that call for attention
};

SymbolColors colorsFor(const QPalette& palette, QIcon::Mode mode) {
    if (mode == QIcon::Selected) {
        const QColor highlighted = palette.color(QPalette::Active, QPalette::HighlightedText);
        const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
        return {highlighted, highlighted, highlight, highlight, highlighted};
    }
    const QPalette::ColorGroup group = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
    return {palette.color(group, QPalette::Text), palette.color(group, QPalette::Highlight),
            palette.color(group, QPalette::HighlightedText), palette.color(group, QPalette::Base),
            warningColor(palette)};
}

QPen strokePen(const QColor& color, qreal width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Punches `path` out of what is drawn so far, so that whatever lies under the symbol shows through.
void cutOut(QPainter& painter, const QPainterPath& path, const QPen& pen = Qt::NoPen) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(pen);
    painter.setBrush(pen.style() == Qt::NoPen ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
    painter.drawPath(path);
    painter.restore();
}

// Drawn on a 24 by 24 grid, scaled to the target square.
void drawSymbol(QPainter& painter, Symbol symbol, const SymbolColors& colors) {
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
        case Symbol::plus:
            painter.setPen(strokePen(colors.ink, 2.2));
            painter.drawLine(QPointF(5, 12), QPointF(19, 12));
            painter.drawLine(QPointF(12, 5), QPointF(12, 19));
            break;
        case Symbol::minus:
            painter.setPen(strokePen(colors.ink, 2.2));
            painter.drawLine(QPointF(5, 12), QPointF(19, 12));
            break;
        case Symbol::trash: {
            painter.setPen(strokePen(colors.ink, 1.8));
            painter.drawLine(QPointF(3.5, 6), QPointF(20.5, 6));
            QPainterPath handle;
            handle.moveTo(9, 6);
            handle.lineTo(9, 3.5);
            handle.lineTo(15, 3.5);
            handle.lineTo(15, 6);
            painter.drawPath(handle);
            QPainterPath can;
            can.moveTo(5.5, 6);
            can.lineTo(6.8, 20);
            can.quadTo(7, 21, 8, 21);
            can.lineTo(16, 21);
            can.quadTo(17, 21, 17.2, 20);
            can.lineTo(18.5, 6);
            painter.drawPath(can);
            painter.setPen(strokePen(colors.ink, 1.5));
            painter.drawLine(QPointF(10, 10), QPointF(10.3, 17.5));
            painter.drawLine(QPointF(14, 10), QPointF(13.7, 17.5));
            break;
        }
        case Symbol::checkmarkCircleFill: {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colors.accent);
            painter.drawEllipse(QPointF(12, 12), 10, 10);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(strokePen(colors.onAccent, 2.4));
            QPainterPath check;
            check.moveTo(7, 12.5);
            check.lineTo(10.5, 16);
            check.lineTo(17, 8.5);
            painter.drawPath(check);
            break;
        }
        case Symbol::calendarBadgeClock: {
            painter.setPen(strokePen(colors.ink, 1.6));
            const QRectF page(2.5, 4.5, 16, 15);
            painter.drawRoundedRect(page, 2.5, 2.5);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colors.ink);
            QPainterPath band;
            band.addRoundedRect(page, 2.5, 2.5);
            painter.save();
            painter.setClipRect(QRectF(page.left(), page.top(), page.width(), 4));
            painter.drawPath(band);
            painter.restore();
            painter.setPen(strokePen(colors.ink, 1.6));
            painter.drawLine(QPointF(7, 2.5), QPointF(7, 5.5));
            painter.drawLine(QPointF(14, 2.5), QPointF(14, 5.5));
            painter.setPen(Qt::NoPen);
            painter.setBrush(colors.ink);
            for (const QPointF dot : {QPointF(6.5, 11.5), QPointF(10.5, 11.5), QPointF(14.5, 11.5),
                                      QPointF(6.5, 15.5), QPointF(10.5, 15.5)}) {
                painter.drawEllipse(dot, 1.0, 1.0);
            }
            // The clock badge sits over the corner, cut out of the calendar by the background colour.
            const QPointF centre(17.5, 17.5);
            painter.setBrush(colors.background);
            painter.drawEllipse(centre, 6.3, 6.3);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(strokePen(colors.accent, 1.6));
            painter.drawEllipse(centre, 5, 5);
            painter.drawLine(centre, centre + QPointF(0, -3));
            painter.drawLine(centre, centre + QPointF(2.2, 0));
            break;
        }
        case Symbol::folder: {
            QPainterPath folder;
            folder.moveTo(2.5, 6.5);
            folder.quadTo(2.5, 4.5, 4.5, 4.5);
            folder.lineTo(9, 4.5);
            folder.lineTo(11, 6.5);
            folder.lineTo(19.5, 6.5);
            folder.quadTo(21.5, 6.5, 21.5, 8.5);
            folder.lineTo(21.5, 17.5);
            folder.quadTo(21.5, 19.5, 19.5, 19.5);
            folder.lineTo(4.5, 19.5);
            folder.quadTo(2.5, 19.5, 2.5, 17.5);
            folder.closeSubpath();
            QColor fill = colors.accent;
            fill.setAlphaF(0.8f);
            painter.setBrush(fill);
            painter.setPen(strokePen(colors.accent, 1.4));
            painter.drawPath(folder);
            painter.setPen(strokePen(colors.accent.darker(125), 1.2));
            painter.drawLine(QPointF(2.5, 9), QPointF(21.5, 9));
            break;
        }
        case Symbol::doc: {
            QPainterPath page;
            page.moveTo(5, 3);
            page.lineTo(14, 3);
            page.lineTo(19, 8);
            page.lineTo(19, 21);
            page.lineTo(5, 21);
            page.closeSubpath();
            painter.setBrush(colors.background);
            painter.setPen(strokePen(colors.ink, 1.6));
            painter.drawPath(page);
            painter.setBrush(Qt::NoBrush);
            QPainterPath fold;
            fold.moveTo(14, 3);
            fold.lineTo(14, 8);
            fold.lineTo(19, 8);
            painter.drawPath(fold);
            painter.setPen(strokePen(colors.ink, 1.2));
            painter.drawLine(QPointF(8, 12), QPointF(16, 12));
            painter.drawLine(QPointF(8, 15), QPointF(16, 15));
            painter.drawLine(QPointF(8, 18), QPointF(13, 18));
            break;
        }
        case Symbol::lockFill: {
            painter.setPen(strokePen(colors.ink, 2.2));
            QPainterPath shackle;
            shackle.moveTo(8, 11);
            shackle.lineTo(8, 7.5);
            shackle.arcTo(QRectF(8, 3.5, 8, 8), 180, -180);
            shackle.lineTo(16, 11);
            painter.drawPath(shackle);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colors.ink);
            painter.drawRoundedRect(QRectF(4.5, 10, 15, 11.5), 2.5, 2.5);
            QPainterPath keyhole;
            keyhole.addEllipse(QPointF(12, 14.6), 1.9, 1.9);
            keyhole.addRect(QRectF(11.1, 15, 1.8, 3.6));
            cutOut(painter, keyhole);
            break;
        }
        case Symbol::exclamationmarkTriangleFill: {
            QPainterPath triangle;
            triangle.moveTo(12, 2.8);
            triangle.lineTo(22, 20.5);
            triangle.lineTo(2, 20.5);
            triangle.closeSubpath();
            painter.setPen(strokePen(colors.warning, 1.6));
            painter.setBrush(colors.warning);
            painter.drawPath(triangle);
            QPainterPath stem;
            stem.moveTo(12, 9);
            stem.lineTo(12, 14);
            cutOut(painter, stem, strokePen(Qt::black, 2.4));
            QPainterPath dot;
            dot.addEllipse(QPointF(12, 17.4), 1.4, 1.4);
            cutOut(painter, dot);
            break;
        }
    }
}

void paintSymbol(QPainter& painter, const QRectF& rect, Symbol symbol, const SymbolColors& colors) {
    const qreal side = std::min(rect.width(), rect.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 24.0, side / 24.0);
    drawSymbol(painter, symbol, colors);
    painter.restore();
}

QPixmap renderSymbol(Symbol symbol, QSize size, const QPalette& palette, QIcon::Mode mode, qreal scale) {
    const SymbolColors colors = colorsFor(palette, mode);
    const QString key = QString::asprintf(
        "vellumark-symbol/%d/%dx%d@%g/%08x/%08x/%08x/%08x/%08x/%d", static_cast<int>(symbol), size.width(),
        size.height(), scale, colors.ink.rgba(), colors.accent.rgba(), colors.onAccent.rgba(),
        colors.background.rgba(), colors.warning.rgba(), static_cast<int>(mode));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    pixmap = QPixmap(size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintSymbol(painter, QRectF(QPointF(0, 0), QSizeF(size)), symbol, colors);
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

class SymbolIconEngine final : public QIconEngine {
public:
    explicit SymbolIconEngine(Symbol symbol) : symbol_(symbol) {}

    // Views paint icons through here for every visible row: a cached drawing is much cheaper than the paths.
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal scale = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        const QPixmap pixmap =
            renderSymbol(symbol_, QSize(side, side), QGuiApplication::palette(), mode, scale);
        painter->drawPixmap(QRect(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side),
                            pixmap);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // QIcon asks for device pixels (the size already multiplied by `scale`) and sets the ratio itself.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal) override {
        return renderSymbol(symbol_, size, QGuiApplication::palette(), mode, 1.0);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(symbol_); }
    QString key() const override { return QStringLiteral("VellumarkSymbol"); }
    QString iconName() override { return nameOf(symbol_).toString(); }
    bool isNull() override { return false; }

private:
    Symbol symbol_;
};

}  // namespace

QIcon symbolIcon(QStringView name) {
    const std::optional<Symbol> symbol = symbolNamed(name);
    return symbol ? QIcon(new SymbolIconEngine(*symbol)) : QIcon();
}

QPixmap symbolPixmap(QStringView name, int size, const QPalette& palette, QIcon::Mode mode,
                     qreal devicePixelRatio) {
    const std::optional<Symbol> symbol = symbolNamed(name);
    if (!symbol) {
        return {};
    }
    return renderSymbol(*symbol, QSize(size, size), palette, mode, devicePixelRatio);
}

bool isKnownSymbol(QStringView name) {
    return symbolNamed(name).has_value();
}

}  // namespace vellumark::toolkit
