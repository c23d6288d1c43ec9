#pragma once

#include "model/date.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

namespace vellumark::file_table {

// One date column of one row: the date stored in the item, the date the planned change would leave, and
// whether applying would change it (to the whole second), decided once when the cell is made.
class DateCell {
public:
    DateCell() = default;
    DateCell(std::optional<Date> current, std::optional<Date> newDate);

    const std::optional<Date>& current() const { return current_; }
    const std::optional<Date>& newDate() const { return new_; }
    bool changed() const { return changed_; }

private:
    std::optional<Date> current_;
    std::optional<Date> new_;
    bool changed_ = false;
};

// What a cell shows, top to bottom: the current date alone in the primary style when unchanged; when
// changed, the current date dimmed and struck through above the new date in the accent colour.
struct DateCellLine {
    enum class Style { primary, superseded, accent };

    QString text;
    Style style;

    friend bool operator==(const DateCellLine&, const DateCellLine&) = default;
};

QList<DateCellLine> dateCellLines(const DateCell& cell);

}  // namespace vellumark::file_table

Q_DECLARE_METATYPE(vellumark::file_table::DateCell)
