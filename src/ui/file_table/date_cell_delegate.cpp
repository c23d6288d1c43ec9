#include "ui/file_table/date_cell_delegate.h"

#include "ui/file_table/file_table_model.h"
#include "ui/toolkit/contrast.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace vellumark::file_table {

namespace {

constexpr int kLineSpacing = 1;
constexpr int kVerticalPadding = 3;
constexpr int kMarkGap = 4;

// The sign after a line that says the date will not be written as planned, or none.
QStringView markOf(DateCellLine::Style style) {
    switch (style) {
        case DateCellLine::Style::kept:
            return u"lock.fill";
        case DateCellLine::Style::refused:
            return u"exclamationmark.triangle.fill";
        case DateCellLine::Style::primary:
        case DateCellLine::Style::superseded:
        case DateCellLine::Style::accent:
            break;
    }
    return {};
}

// A mark is as tall as the font rises above the baseline, so that it sits on the line like a character.
int markSize(const QFontMetrics& metrics) {
    return metrics.ascent();
}

int markWidth(DateCellLine::Style style, const QFontMetrics& metrics) {
    return markOf(style).isEmpty() ? 0 : markSize(metrics) + kMarkGap;
}

int horizontalMargin(const QWidget* widget) {
    const QStyle* style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

bool hasEvenDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) {
            return false;
        }
    }
    return true;
}

// One text line, cut with an ellipsis when too wide; returns the width it took. The text is shaped once:
// a table repaints every visible cell after each edit, and shaping is most of what drawing text costs.
int drawLine(QPainter& painter, const QString& text, const QFont& font, const QRect& rect,
             Qt::Alignment alignment) {
    QTextLayout layout(text, font, painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(rect.width());
    layout.endLayout();
    if (line.naturalTextWidth() > rect.width()) {
        const QFontMetrics metrics(font);
        const QString elided = metrics.elidedText(text, Qt::ElideRight, rect.width());
        painter.setFont(font);
        painter.drawText(rect, static_cast<int>(alignment), elided);
        return metrics.horizontalAdvance(elided);
    }
    const qreal x =
        alignment.testFlag(Qt::AlignRight) ? rect.right() + 1 - line.naturalTextWidth() : rect.left();
    const qreal top = rect.top() + (rect.height() - line.height()) / 2;
    line.draw(&painter, QPointF(x, top));
    return static_cast<int>(std::ceil(line.naturalTextWidth()));
}

QColor colorOf(DateCellLine::Style style, const QPalette& palette, QPalette::ColorGroup group,
               bool selected) {
    // Disabled texts are meant to recede; every other line must read on the row it is drawn on.
    const bool enabled = group != QPalette::Disabled;
    const double textContrast = enabled ? toolkit::kTextContrast : 1.0;
    const double struckContrast = enabled ? toolkit::kSymbolContrast : 1.0;
    if (selected) {
        // On the selection's background the accent would vanish: every line takes the selected text
        // colour, and the superseded date stays dimmed and struck through.
        const QColor highlight = palette.color(group, QPalette::Highlight);
        const QColor text = palette.color(group, QPalette::HighlightedText);
        if (style == DateCellLine::Style::superseded) {
            return toolkit::withContrast(toolkit::flattened(text, highlight, 0.7), {highlight},
                                         struckContrast);
        }
        return toolkit::withContrast(text, {highlight}, textContrast);
    }
    const QColor base = palette.color(group, QPalette::Base);
    const QColor alternate = palette.color(group, QPalette::AlternateBase);
    const QColor secondary = toolkit::flattened(palette.color(group, QPalette::PlaceholderText), base);
    switch (style) {
        case DateCellLine::Style::primary:
            break;
        case DateCellLine::Style::superseded:
            return toolkit::withContrast(secondary, {base, alternate}, struckContrast);
        case DateCellLine::Style::accent:
            return toolkit::withContrast(palette.color(group, QPalette::Highlight), {base, alternate},
                                         textContrast);
        case DateCellLine::Style::kept:
            // Between the text and the secondary colour: the date stays, and nothing calls for attention.
            return toolkit::withContrast(
                toolkit::flattened(palette.color(group, QPalette::Text), secondary, 0.5), {base, alternate},
                textContrast);
        case DateCellLine::Style::refused:
            return enabled ? toolkit::warningColor(palette) : palette.color(group, QPalette::Text);
    }
    return toolkit::withContrast(palette.color(group, QPalette::Text), {base, alternate}, textContrast);
}

}  // namespace

QFont DateCellDelegate::cellFont(const QFont& base) {
    // Painting asks for every cell; the answer depends on the font alone.
    static QHash<QString, QFont> cache;
    const QString key = base.key();
    if (const auto found = cache.constFind(key); found != cache.cend()) {
        return *found;
    }
    QFont font = base;
    if (!hasEvenDigits(base)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (base.pointSizeF() > 0) {
            font.setPointSizeF(base.pointSizeF());
        } else {
            font.setPixelSize(base.pixelSize());
        }
    }
    cache.insert(key, font);
    return font;
}

int DateCellDelegate::rowHeight(const QFont& base) {
    const QFontMetrics metrics(cellFont(base));
    return 2 * metrics.height() + kLineSpacing + 2 * kVerticalPadding;
}

QColor DateCellDelegate::lineColor(DateCellLine::Style style, const QPalette& palette,
                                   QPalette::ColorGroup group, bool selected) {
    // Painting asks for every line of every visible cell; the answer depends on the palette alone.
    static QHash<QPair<qint64, int>, QColor> cache;
    const QPair<qint64, int> key(
        palette.cacheKey(), (static_cast<int>(style) * QPalette::NColorGroups + group) * 2 + int(selected));
    if (const auto found = cache.constFind(key); found != cache.cend()) {
        return *found;
    }
    if (cache.size() > 256) {
        cache.clear();
    }
    const QColor color = colorOf(style, palette, group, selected);
    cache.insert(key, color);
    return color;
}

void DateCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    // Only the background and the focus frame come from the style: its full item drawing would lay out
    // a text and an icon that a date cell does not have, for every visible cell on every edit.
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    QStyleOptionViewItem background = option;
    background.index = index;
    background.features |= QStyleOptionViewItem::HasDisplay;
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &background, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(
            option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled,
            option.state.testFlag(QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }

    const QList<DateCellLine> lines = dateCellLines(index.data(FileTableRole::dateCell).value<DateCell>());
    const QFont font = cellFont(option.font);
    const QFontMetrics metrics(font);
    const int margin = horizontalMargin(widget);
    const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    const int lineHeight = metrics.height();
    const auto count = static_cast<int>(lines.size());
    int y = area.top() + (area.height() - (count * lineHeight + (count - 1) * kLineSpacing)) / 2;

    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group = !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
                                       : option.state.testFlag(QStyle::State_Active) ? QPalette::Active
                                                                                     : QPalette::Inactive;
    const Qt::Alignment alignment =
        QStyle::visualAlignment(option.direction, Qt::AlignLeading | Qt::AlignVCenter);

    painter->save();
    painter->setClipRect(option.rect);
    const bool rightToLeft = option.direction == Qt::RightToLeft;
    for (const DateCellLine& line : lines) {
        QFont lineFont = font;
        lineFont.setStrikeOut(line.style == DateCellLine::Style::superseded);
        const QColor color = lineColor(line.style, option.palette, group, selected);
        // A mark follows its text, so that the dates themselves still line up down the column; the
        // text gives way to it when the column is narrow.
        const QStringView mark = markOf(line.style);
        const int reserved = markWidth(line.style, metrics);
        QRect textRect(area.left() + (rightToLeft ? reserved : 0), y, area.width() - reserved, lineHeight);
        painter->setPen(color);
        const int textWidth = drawLine(*painter, line.text, lineFont, textRect, alignment);
        if (!mark.isEmpty()) {
            const int side = markSize(metrics);
            const int markX = rightToLeft ? textRect.right() + 1 - textWidth - kMarkGap - side
                                          : textRect.left() + textWidth + kMarkGap;
            painter->drawPixmap(
                QPoint(markX, y + (lineHeight - side) / 2),
                toolkit::symbolPixmap(mark, side, color, painter->device()->devicePixelRatioF()));
        }
        y += lineHeight + kLineSpacing;
    }
    painter->restore();
}

QSize DateCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QList<DateCellLine> lines = dateCellLines(index.data(FileTableRole::dateCell).value<DateCell>());
    const QFontMetrics metrics(cellFont(option.font));
    int width = 0;
    for (const DateCellLine& line : lines) {
        width = std::max(width, markWidth(line.style, metrics) + metrics.horizontalAdvance(line.text));
    }
    const auto count = static_cast<int>(lines.size());
    return {width + 2 * horizontalMargin(option.widget),
            count * metrics.height() + (count - 1) * kLineSpacing + 2 * kVerticalPadding};
}

int DateCellDelegate::columnWidth(const QFont& base, const QWidget* view) {
    static QHash<QString, int> cache;
    const QString key = base.key();
    if (const auto found = cache.constFind(key); found != cache.cend()) {
        return *found + 2 * horizontalMargin(view);
    }
    // Digits have one width in the cell font, so the months' names and the two halves of the day are
    // what set dates apart; a kept or refused date has a mark after it.
    const QFontMetrics metrics(cellFont(base));
    int widest = metrics.horizontalAdvance(QCoreApplication::translate("FileTableView", "Out of range"));
    for (int month = 1; month <= 12; ++month) {
        for (const int hour : {10, 22}) {
            const QDateTime sample(QDate(2000, month, 28), QTime(hour, 58, 58));
            const QString text = toolkit::dateText(Date::fromParts(sample.toSecsSinceEpoch()));
            widest = std::max(widest, metrics.horizontalAdvance(text));
        }
    }
    widest += markWidth(DateCellLine::Style::kept, metrics);
    cache.insert(key, widest);
    return widest + 2 * horizontalMargin(view);
}

}  // namespace vellumark::file_table
