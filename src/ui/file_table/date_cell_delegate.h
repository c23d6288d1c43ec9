#pragma once

#include "ui/file_table/date_cell.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyledItemDelegate>

namespace vellumark::file_table {

// Paints the DateCell of an index (FileTableRole::dateCell): one or two lines, with the palette's
// colours so that light and dark themes both read well, and digits of equal width so that dates line up
// down a column. A date the volume keeps has a lock after it, a date it cannot store a warning sign.
class DateCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // `base` when its digits already have one width (true of most interface fonts), else the system's
    // fixed-pitch font at the same size.
    static QFont cellFont(const QFont& base);

    // A row tall enough for a changed cell's two lines.
    static int rowHeight(const QFont& base);

    // A column wide enough for any date in `base`, with its mark, in a cell of `view`.
    static int columnWidth(const QFont& base, const QWidget* view);

    // The colour of a line in a cell drawn with `palette`, selected or not: one that reads (4.5:1, and 3:1
    // for a struck-through date) on the rows and on the selection of that palette.
    static QColor lineColor(DateCellLine::Style style, const QPalette& palette, QPalette::ColorGroup group,
                            bool selected);
};

}  // namespace vellumark::file_table
